// The world of the effects and rendering tests: a scratch tree whose play/ folder is the working
// directory (so the program's "../assets/" is its assets/), files written there, a program clock
// set by hand and a real GL context (EffectsTest: the clock at 1000 ms, rand() seeded alike).
#pragma once

#include <lodepng.h>

#include <string>
#include <vector>

#include "testing/glTestContext.h"

namespace effectsTest {

std::string assetFile(const std::string& fileName);
// `raw` in exactly the colour type given; `palette` as RGBA quadruples.
void writePng(const std::string& path, unsigned w, unsigned h, const std::vector<uint8_t>& raw,
              LodePNGColorType type = LCT_RGBA, unsigned bits = 8, const std::vector<uint8_t>& palette = {});
// assets/<baseName>.png, colours 0xRRGGBBAA: `top` in the upper half, `bottom` in the lower.
void writePicture(const std::string& baseName, unsigned w, unsigned h, uint32_t top, uint32_t bottom);
void writeOgg(const std::string& baseName);  // a short tone
void writeText(const std::string& fileName, const std::string& text);
void setNow(uint32_t ms);

template <typename Work>
std::string stdoutOf(Work work) {
    ::testing::internal::CaptureStdout();
    work();
    return ::testing::internal::GetCapturedStdout();
}

class EffectsTest : public QEL::testing::GLTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace effectsTest
