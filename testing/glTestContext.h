// A real OpenGL context for tests: a private Xvfb server and an SDL 1.2 568 × 320 OpenGL window
// (16-bit, as the game opens it), started on first use once per process and torn down at exit
// (only the Xvfb started here is killed, by its process id; it also dies with a crashed test).
// Derive fixtures from GLTest: each test starts on an opaque black frame buffer, mirror mode 0 and
// no blending. The 16-bit colour quantises channels, so compare read-back colours with colorNear.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

namespace QEL::testing {

struct RGBA { uint8_t r, g, b, a; };
std::ostream& operator<<(std::ostream& out, const RGBA& p);

// False (with the reason on standard error) when no window can be opened.
bool startGLContext();
// One back-buffer pixel; y from the TOP of the window.
RGBA readPixel(int x, int yFromTop);
// w × h RGBA back-buffer pixels in OpenGL order: from the bottom-left, bottom row first.
std::vector<uint8_t> readPixels(int x, int yFromBottom, int w, int h);
// 12 covers 5-bit channels (steps of 8) plus rounding.
bool colorNear(const RGBA& p, int r, int g, int b, int tolerance = 12);

class GLTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
};

}  // namespace QEL::testing
