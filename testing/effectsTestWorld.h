// What the effects tests share: a scratch folder tree in which the test process works from
// <root>/play, so that the program's "../assets/" is <root>/assets; pictures and sounds written
// there by the tests; a program clock the tests set by hand; and a real GL context (GLTest).
#pragma once

#include <cstdint>
#include <string>

#include "testing/glTestContext.h"

namespace effectsTest {

// A file in the scratch assets folder (created, and made the working directory's "../assets", on first use).
std::string assetFile(const std::string& fileName);

// An RGBA PNG of w × h pixels: its top half (as the file shows it) `top`, its bottom half `bottom`,
// colours written 0xRRGGBBAA.
void writePng(const std::string& baseName, unsigned w, unsigned h, uint32_t top, uint32_t bottom);
inline void writePng(const std::string& baseName, unsigned w, unsigned h, uint32_t colour) {
    writePng(baseName, w, h, colour, colour);
}
// A short real Ogg Vorbis sound.
void writeOgg(const std::string& baseName);
void writeText(const std::string& fileName, const std::string& text);

// The program clock reads this value while a test runs.
void setNow(uint32_t ms);

// What `work` writes to standard output.
template <typename Work>
std::string stdoutOf(Work work) {
    ::testing::internal::CaptureStdout();
    work();
    return ::testing::internal::GetCapturedStdout();
}

// Every effects test: a GL context, a hand-set clock starting at 1000 ms, and the scratch assets.
class EffectsTest : public QEL::testing::GLTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace effectsTest
