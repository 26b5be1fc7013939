// The TGA reader on buffers: the formats it takes, and files that lie about themselves.
#include <gtest/gtest.h>

#include <vector>

#include "render/Image.h"

using namespace QEL;
using Bytes = std::vector<uint8_t>;

namespace {

// An 18-byte header; a colour-mapped one declares 256 palette entries of 24 bits.
Bytes header(uint8_t imageType, uint16_t w, uint16_t h, uint8_t depth, uint8_t mapType = 0, uint8_t idLength = 0) {
    Bytes bytes(18, 0);
    bytes[0] = idLength;
    bytes[1] = mapType;
    bytes[2] = imageType;
    if (mapType == 1) bytes[6] = 1, bytes[7] = 24;
    bytes[12] = uint8_t(w), bytes[13] = uint8_t(w >> 8);
    bytes[14] = uint8_t(h), bytes[15] = uint8_t(h >> 8);
    bytes[16] = depth;
    return bytes;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// 2 × 2, 24 bit, stored B, G, R, bottom row first.
const Bytes kPlain24 = header(2, 2, 2, 24) + Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10};
// 3 × 2, 32 bit, run-length: a run of 3, then 3 literal pixels.
const Bytes kRunLength32 =
    header(10, 3, 2, 32) + Bytes{130, 30, 20, 10, 40, 2, 3, 2, 1, 0, 6, 5, 4, 0, 9, 8, 7, 0};

Bytes with(Bytes bytes, size_t at, uint8_t value) {
    bytes[at] = value;
    return bytes;
}

// Loads `bytes` over a 1 × 1 picture and expects result 3 with that picture left in place.
void expectRefused(const Bytes& bytes) {
    Image image;
    const uint8_t one[3] = {1, 1, 1};
    ASSERT_TRUE(image.Load(1, 1, 24, one));
    // `bytes` is exactly as long as the file, so a sanitizer sees any read past it.
    EXPECT_EQ(image.LoadTGA(bytes.empty() ? nullptr : bytes.data(), bytes.size()), 3u);
    EXPECT_EQ(image.getWidth(), 1);
    EXPECT_EQ(image.getBpp(), 24);
}

}  // namespace

TEST(TgaLoad, TrueColourRunLengthAndColourMappedFilesDecode) {
    struct Case {
        const char* what;
        Bytes file;
        int w, h, bpp;
        std::vector<int> pixels;
    };
    const Case cases[] = {
        {"24 bit, swapped to RGB in file row order", kPlain24, 2, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"an origin does not change the size", with(with(kPlain24, 8, 1), 10, 5), 2, 2, 24,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"32 bit after two bytes of image ID", header(2, 1, 1, 32, 0, 2) + Bytes{0xAA, 0xBB, 3, 2, 1, 77}, 1, 1, 32,
         {1, 2, 3, 77}},
        {"run-length packets expand", kRunLength32, 3, 2, 32,
         {10, 20, 30, 40, 10, 20, 30, 40, 10, 20, 30, 40, 1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}},
        {"colour-mapped keeps indices; a run longer than the picture stops at its end",
         header(9, 4, 2, 8, 1) + Bytes(768, 0) + Bytes{0x80 + 1, 5, 1, 6, 7, 0x80 + 20, 9}, 4, 2, 8,
         {5, 5, 6, 7, 9, 9, 9, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Image image;
        ASSERT_EQ(image.LoadTGA(c.file.data(), c.file.size()), 1u);
        EXPECT_EQ(image.getWidth(), c.w);
        EXPECT_EQ(image.getHeight(), c.h);
        EXPECT_EQ(image.getBpp(), c.bpp);
        EXPECT_EQ(std::vector<int>(image.getPixels(), image.getPixels() + image.byteCount()), c.pixels);
    }
}

TEST(TgaLoad, TruncatedFilesAndHostileHeadersAreRefused) {
    for (const Bytes& whole : {kPlain24, kRunLength32})
        for (size_t length = 0; length < whole.size(); ++length) {
            SCOPED_TRACE("cut to " + std::to_string(length));
            expectRefused(Bytes(whole.begin(), whole.begin() + static_cast<long>(length)));
        }

    const Bytes badMap = header(1, 1, 1, 8, 1) + Bytes(768 + 1, 0);
    const std::pair<const char*, Bytes> hostile[] = {
        {"width 255: far more pixels than bytes", with(kPlain24, 12, 0xFF)},
        {"run-length claiming four billion pixels", header(10, 0xFFFF, 0xFFFF, 32) + Bytes{0xFF, 1, 2, 3, 4}},
        {"image ID longer than the file", with(kPlain24, 0, 250)},
        {"a colour map on a true-colour picture", with(kPlain24, 1, 1)},
        {"unknown colour-map type", with(kPlain24, 1, 2)},
        {"grey", with(kPlain24, 2, 3)},
        {"grey, run-length", with(kPlain24, 2, 12)},
        {"16-bit true colour", with(kPlain24, 16, 16)},
        {"zero bytes per pixel", with(kPlain24, 16, 0)},
        {"descriptor above 32", with(kPlain24, 17, 40)},
        {"width 0", with(kPlain24, 12, 0)},
        {"no room for the 768-byte palette", header(1, 2, 2, 8, 1) + Bytes{0, 1, 2, 3}},
        {"16-bit palette entries", with(badMap, 7, 16)},
        {"colour-mapped with 24-bit indices", with(badMap, 16, 24)},
    };
    for (const auto& [what, file] : hostile) {
        SCOPED_TRACE(what);
        expectRefused(file);
    }

    Image image;
    EXPECT_EQ(image.LoadTGA("/nonexistent/kablix.tga"), 3u);
}

TEST(TgaLoad, SurvivesEveryByteFlipped) {
    for (const Bytes& whole : {kPlain24, kRunLength32})
        for (size_t at = 0; at < whole.size(); ++at)
            for (int value : {0, 1, 0x7F, 0x80, 0xFF}) {
                const Bytes f = with(whole, at, static_cast<uint8_t>(value));
                Image image;
                const uint32_t result = image.LoadTGA(f.data(), f.size());
                ASSERT_TRUE(result == 1u || result == 3u);
                if (result == 1u) {
                    EXPECT_LE(image.byteCount(), static_cast<size_t>(image.getWidth()) * image.getHeight() * 4);
                }
            }
}
