// The TGA reader on buffers: the formats it takes, and files that lie about themselves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "render/Image.h"

using namespace QEL;

namespace {

std::vector<uint8_t> header(uint8_t imageType, uint16_t w, uint16_t h, uint8_t depth, uint8_t mapType = 0,
                            uint8_t idLength = 0) {
    std::vector<uint8_t> bytes(18, 0);
    bytes[0] = idLength;
    bytes[1] = mapType;
    bytes[2] = imageType;
    if (mapType == 1) {
        bytes[5] = 0;  // colour map of 256 entries, 24 bits each
        bytes[6] = 1;
        bytes[7] = 24;
    }
    bytes[12] = static_cast<uint8_t>(w);
    bytes[13] = static_cast<uint8_t>(w >> 8);
    bytes[14] = static_cast<uint8_t>(h);
    bytes[15] = static_cast<uint8_t>(h >> 8);
    bytes[16] = depth;
    return bytes;
}

void append(std::vector<uint8_t>& bytes, std::initializer_list<uint8_t> more) { bytes.insert(bytes.end(), more); }

// 2 × 2, 24 bit, stored B, G, R, bottom row first.
std::vector<uint8_t> plain24() {
    std::vector<uint8_t> f = header(2, 2, 2, 24);
    append(f, {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10});
    return f;
}

// 3 × 2, 32 bit, run-length: a run of 3, then 3 literal pixels.
std::vector<uint8_t> runLength32() {
    std::vector<uint8_t> f = header(10, 3, 2, 32);
    append(f, {130, 30, 20, 10, 40, 2, 3, 2, 1, 0, 6, 5, 4, 0, 9, 8, 7, 0});
    return f;
}

std::vector<int> pixelBytes(const Image& image) {
    return std::vector<int>(image.getPixels(), image.getPixels() + image.byteCount());
}

// Every failure must leave this 1 × 1 picture in place.
void expectUntouched(const Image& image) {
    EXPECT_EQ(image.getWidth(), 1);
    EXPECT_EQ(image.getBpp(), 24);
}

}  // namespace

TEST(TgaLoad, UncompressedTrueColourIsSwappedToRgbInFileRowOrder) {
    Image image;
    const std::vector<uint8_t> f = plain24();
    ASSERT_EQ(image.LoadTGA(f.data(), f.size()), 1u);
    EXPECT_EQ(image.getWidth(), 2);
    EXPECT_EQ(image.getHeight(), 2);
    EXPECT_EQ(image.getBpp(), 24);
    EXPECT_EQ(pixelBytes(image), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));

    std::vector<uint8_t> f32 = header(2, 1, 1, 32, 0, 2);
    append(f32, {0xAA, 0xBB, 3, 2, 1, 77});  // two bytes of image ID first
    ASSERT_EQ(image.LoadTGA(f32.data(), f32.size()), 1u);
    EXPECT_EQ(pixelBytes(image), (std::vector<int>{1, 2, 3, 77}));
}

TEST(TgaLoad, RunLengthPacketsExpand) {
    Image image;
    const std::vector<uint8_t> f = runLength32();
    ASSERT_EQ(image.LoadTGA(f.data(), f.size()), 1u);
    EXPECT_EQ(image.getBpp(), 32);
    EXPECT_EQ(pixelBytes(image), (std::vector<int>{10, 20, 30, 40, 10, 20, 30, 40, 10, 20, 30, 40,
                                                   1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}));
}

TEST(TgaLoad, ColourMappedKeepsIndicesAndCannotOverrun) {
    std::vector<uint8_t> f = header(9, 4, 2, 8, 1);
    f.resize(f.size() + 768, 0);
    append(f, {0x80 + 1, 5, 1, 6, 7, 0x80 + 20, 9});  // the last run is longer than the picture
    Image image;
    ASSERT_EQ(image.LoadTGA(f.data(), f.size()), 1u);
    EXPECT_EQ(image.getBpp(), 8);
    EXPECT_EQ(pixelBytes(image), (std::vector<int>{5, 5, 6, 7, 9, 9, 9, 9}));
    image.mirrorImageY();
    EXPECT_EQ(pixelBytes(image), (std::vector<int>{9, 9, 9, 9, 5, 5, 6, 7}));
}

TEST(TgaLoad, TheOriginDoesNotChangeTheSize) {
    std::vector<uint8_t> f = plain24();
    f[8] = 1;   // x origin 1
    f[10] = 5;  // y origin 5
    Image image;
    ASSERT_EQ(image.LoadTGA(f.data(), f.size()), 1u);
    EXPECT_EQ(image.getWidth(), 2);
    EXPECT_EQ(image.getHeight(), 2);
}

TEST(TgaLoad, TruncatedFilesAreRefused) {
    for (const std::vector<uint8_t>& whole : {plain24(), runLength32()}) {
        for (size_t length = 0; length < whole.size(); ++length) {
            Image image;
            const uint8_t one[3] = {1, 1, 1};
            ASSERT_TRUE(image.Load(1, 1, 24, one));
            // A copy of exactly `length` bytes, so a sanitizer sees any read past it.
            std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(length));
            EXPECT_EQ(image.LoadTGA(cut.empty() ? nullptr : cut.data(), cut.size()), 3u) << length;
            expectUntouched(image);
        }
    }
}

TEST(TgaLoad, HostileHeadersAreRefused) {
    std::vector<std::vector<uint8_t>> files;
    auto add = [&](std::vector<uint8_t> f, size_t at, uint8_t value) {
        f[at] = value;
        files.push_back(f);
    };
    const std::vector<uint8_t> good = plain24();
    add(good, 12, 0xFF);  // width 255: far more pixels than bytes
    std::vector<uint8_t> huge = header(10, 0xFFFF, 0xFFFF, 32);
    append(huge, {0xFF, 1, 2, 3, 4});
    files.push_back(huge);  // run-length claiming four billion pixels
    add(good, 0, 250);      // image ID longer than the file
    add(good, 1, 1);        // a colour map on a true-colour picture
    add(good, 1, 2);        // unknown colour-map type
    add(good, 2, 3);        // grey pictures are not supported
    add(good, 2, 12);
    add(good, 16, 16);      // 16-bit true colour
    add(good, 16, 0);       // zero bytes per pixel
    add(good, 17, 40);      // descriptor above 32
    add(good, 12, 0);       // width 0
    std::vector<uint8_t> mapped = header(1, 2, 2, 8, 1);
    append(mapped, {0, 1, 2, 3});  // no room for the 768-byte palette
    files.push_back(mapped);
    std::vector<uint8_t> badMap = header(1, 1, 1, 8, 1);
    badMap.resize(18 + 768 + 1, 0);
    add(badMap, 7, 16);  // 16-bit palette entries
    add(badMap, 16, 24); // colour-mapped with 24-bit "indices"

    for (size_t i = 0; i < files.size(); ++i) {
        Image image;
        const uint8_t one[3] = {1, 1, 1};
        ASSERT_TRUE(image.Load(1, 1, 24, one));
        EXPECT_EQ(image.LoadTGA(files[i].data(), files[i].size()), 3u) << "file " << i;
        expectUntouched(image);
    }
}

TEST(TgaLoad, SurvivesEveryByteFlipped) {
    for (const std::vector<uint8_t>& whole : {plain24(), runLength32()}) {
        for (size_t at = 0; at < whole.size(); ++at) {
            for (int value : {0, 1, 0x7F, 0x80, 0xFF}) {
                std::vector<uint8_t> f = whole;
                f[at] = static_cast<uint8_t>(value);
                Image image;
                const uint32_t result = image.LoadTGA(f.data(), f.size());
                ASSERT_TRUE(result == 1u || result == 3u);
                if (result == 1u) {
                    EXPECT_LE(image.byteCount(), static_cast<size_t>(image.getWidth()) * image.getHeight() * 4);
                }
            }
        }
    }
}

TEST(TgaLoad, MissingFileIsUnreadable) {
    Image image;
    EXPECT_EQ(image.LoadTGA("/nonexistent/kablix.tga"), 3u);
}
