// A real OpenGL context for tests: a private Xvfb server on a free display (100 and up) and an SDL 1.2
// 568 × 320 OpenGL window (16-bit mode, as the game opens it).
//
// Use: link `kablix_test_support` and derive the test fixture from QEL::testing::GLTest:
//
//     class MyDrawTest : public QEL::testing::GLTest {};
//     TEST_F(MyDrawTest, Something) {
//         ... draw with OpenGL ...
//         QEL::testing::RGBA p = QEL::testing::readPixel(10, 10);   // x right, y down from the top
//         EXPECT_TRUE(QEL::testing::colorNear(p, 255, 0, 0)) << p;
//     }
//
// The server and window are started on first use, once per test process, and torn down at
// exit; only the Xvfb started here is killed, by its process id (it also dies with the test
// process if that crashes). Every GLTest clears the frame buffer to opaque black, resets
// screenMirrorMode to 0 and the blend state before each test.
//
// The window's 16-bit colour quantises channels (5 or 6 bits), so compare read-back colours with
// colorNear and its default tolerance rather than exactly.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

namespace QEL {
namespace testing {

constexpr int kWindowWidth = 568;
constexpr int kWindowHeight = 320;
// Enough for 5-bit channels (steps of 8) plus rounding.
constexpr int kColorTolerance = 12;

struct RGBA {
    uint8_t r, g, b, a;
};
std::ostream& operator<<(std::ostream& out, const RGBA& p);

// Starts Xvfb and the window if they are not running yet; false (with the reason on standard
// error) when that is impossible.
bool startGLContext();

// One pixel of the back buffer; x from the left, y from the TOP of the window.
RGBA readPixel(int x, int yFromTop);
// w × h RGBA pixels of the back buffer, OpenGL order: rect from the bottom-left, bottom row first.
std::vector<uint8_t> readPixels(int x, int yFromBottom, int w, int h);
bool colorNear(const RGBA& p, int r, int g, int b, int tolerance = kColorTolerance);

// Shows the back buffer (SDL_GL_SwapBuffers).
void swapBuffers();

class GLTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
};

}  // namespace testing
}  // namespace QEL
