// What the effects tests share: a scratch folder tree in which the test process works from
// <root>/play, so that the program's "../assets/" is <root>/assets; pictures and sounds written
// there by the tests; a program clock the tests set by hand; and a real GL context (GLTest).
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/glTestContext.h"

namespace effectsTest {

// The scratch assets folder (created, and made the working directory's "../assets", on first use).
std::string assetsDir();
std::string assetFile(const std::string& fileName);

// A solid-colour RGBA PNG of w × h pixels.
void writePng(const std::string& baseName, unsigned w, unsigned h, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);
// An RGBA PNG whose top half (as the file shows it) is `top` and bottom half `bottom` (r, g, b, a).
void writeTwoTonePng(const std::string& baseName, unsigned w, unsigned h, const uint8_t top[4], const uint8_t bottom[4]);
// A short real Ogg Vorbis sound.
void writeOgg(const std::string& baseName);
void writeText(const std::string& fileName, const std::string& text);
void removeAsset(const std::string& fileName);

// The program clock reads this value while a test runs.
void setNow(uint32_t ms);
uint32_t now();

// Every effects test: a GL context, a hand-set clock starting at 1000 ms, and the scratch assets.
class EffectsTest : public QEL::testing::GLTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace effectsTest
