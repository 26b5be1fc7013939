// Image: PNG loading with padding and flipping, its log lines, saving, mirroring, raw loads.
#include <gtest/gtest.h>

#include <tuple>

#include "render/Image.h"
#include "tests/render/testFiles.h"

using namespace QEL;
using namespace renderTest;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace {

// The pixel at column x of buffer row `row` (row 0 is the picture's bottom), one int per channel.
std::vector<int> pixelAt(const Image& image, int x, int row) {
    const int channels = image.getBpp() / 8;
    const uint8_t* p = image.getPixels() + (static_cast<size_t>(row) * image.getWidth() + x) * channels;
    return std::vector<int>(p, p + channels);
}

std::string errorLine(const std::string& fn, const std::string& text) { return "E: (" + fn + ") \a" + text + "\n"; }
std::string pngError(const std::string& text) { return errorLine("QEL::Image::LoadPNG_forcePowerOfTwo", text); }

// A 2 × 2 RGB image loaded raw, so tests can see whether a failed load touched it.
void loadSentinel(Image& image) {
    const uint8_t raw[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_TRUE(image.Load(2, 2, 24, raw));
}

void expectSentinel(const Image& image) {
    EXPECT_EQ(image.getWidth(), 2);
    EXPECT_EQ(image.getBpp(), 24);
    EXPECT_EQ(pixelAt(image, 1, 1), (std::vector<int>{10, 11, 12}));
}

}  // namespace

TEST(PngLoad, RgbaIsPaddedFlippedAndFilledWithThePadColour) {
    // 100 × 50 whose pixel (x, y), y from the top, is (x, y, x + y, 200).
    std::vector<uint8_t> raw;
    for (unsigned y = 0; y < 50; ++y)
        for (unsigned x = 0; x < 100; ++x) raw.insert(raw.end(), {uint8_t(x), uint8_t(y), uint8_t(x + y), 200});
    const std::string path = tempPath("rgba100x50.png");
    ASSERT_EQ(writePng(path, 100, 50, raw, LCT_RGBA, 8), 0u);
    Image image;
    CaptureStdout();
    EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(path), 1u);
    EXPECT_EQ(GetCapturedStdout(), "");
    ASSERT_EQ(image.getWidth(), 128);
    ASSERT_EQ(image.getHeight(), 64);
    ASSERT_EQ(image.getBpp(), 32);
    EXPECT_EQ(pixelAt(image, 7, 0), (std::vector<int>{7, 49, 56, 200}));  // row 0 is the picture's bottom row
    EXPECT_EQ(pixelAt(image, 99, 49), (std::vector<int>{99, 0, 99, 200}));
    for (int row = 0; row < 64; ++row)
        for (int x = (row < 50 ? 100 : 0); x < 128; ++x)
            ASSERT_EQ(pixelAt(image, x, row), (std::vector<int>{255, 0, 255, 0})) << "padding at " << x << "," << row;

    const std::string one = tempPath("one.png");
    ASSERT_EQ(writePng(one, 1, 1, {9, 8, 7, 6}, LCT_RGBA, 8), 0u);
    EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(one), 1u);
    EXPECT_EQ(image.getWidth(), 2);
    EXPECT_EQ(image.getHeight(), 2);
    EXPECT_EQ(pixelAt(image, 0, 0), (std::vector<int>{9, 8, 7, 6}));
}

TEST(PngLoad, RgbUsesThreeBytesAndACustomPadColour) {
    const std::string path = tempPath("rgb3x3.png");
    std::vector<uint8_t> raw(27);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(10 * i);
    ASSERT_EQ(writePng(path, 3, 3, raw, LCT_RGB, 8), 0u);
    Image image;
    image.padR = 0x101;  // only the low byte counts
    image.padG = 2;
    image.padB = 3;
    EXPECT_EQ(image.Load(path, kImageFilePNG), 1u);
    ASSERT_EQ(image.getBpp(), 24);
    ASSERT_EQ(image.getWidth(), 4);
    EXPECT_EQ(pixelAt(image, 0, 0), (std::vector<int>{180, 190, 200}));  // picture row 2, column 0
    EXPECT_EQ(pixelAt(image, 3, 1), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(pixelAt(image, 2, 3), (std::vector<int>{1, 2, 3}));
}

TEST(PngLoad, GreyAndPaletteFormats) {
    Image image;
    const std::string grey = tempPath("grey.png");
    ASSERT_EQ(writePng(grey, 2, 1, {40, 90}, LCT_GREY, 8), 0u);
    EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(grey), 1u);
    EXPECT_EQ(pixelAt(image, 1, 0), (std::vector<int>{90, 90, 90}));

    std::vector<uint8_t> indices(64 * 64);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>(i % 3);
    // A fully transparent entry makes RGBA; a merely translucent one leaves RGB.
    for (const uint8_t alpha : {0, 1}) {
        SCOPED_TRACE(int(alpha));
        const std::string path = tempPath("palette.png");
        ASSERT_EQ(writePng(path, 64, 64, indices, LCT_PALETTE, 8, {10, 20, 30, 255, 40, 50, 60, alpha, 70, 80, 90, 128}),
                  0u);
        EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(path), 1u);
        EXPECT_EQ(image.getWidth(), 64);
        EXPECT_EQ(image.getBpp(), alpha == 0 ? 32 : 24);
        EXPECT_EQ(pixelAt(image, 2, 63)[0], 70);
        if (alpha == 0) {
            EXPECT_EQ(pixelAt(image, 1, 63)[3], 0);  // picture (1, 0) is index 1
        }
    }
}

TEST(PngLoad, RefusedAndUnreadableFilesLogAndLeaveTheImage) {
    const std::string rgb16 = tempPath("rgb16.png"), missing = tempPath("missing.png"), empty = tempPath("empty.png"),
                      cgbi = tempPath("cgbi.png"), shortHeader = tempPath("short.png");
    ASSERT_EQ(writePng(rgb16, 2, 2, std::vector<uint8_t>(24, 7), LCT_RGB, 16), 0u);
    lodepng::save_file({}, empty);
    // The signature, then a 13-byte chunk that is not the header chunk.
    std::vector<uint8_t> bytes = {137, 80, 78, 71, 13, 10, 26, 10, 0, 0, 0, 13, 'C', 'g', 'B', 'I'};
    bytes.resize(bytes.size() + 13 + 4 + 12, 0);
    lodepng::save_file(bytes, cgbi);
    lodepng::save_file({137, 80, 78, 71, 13, 10, 26, 10, 1, 2, 3}, shortHeader);

    const struct {
        std::string path;
        uint32_t result;
        std::string log;
    } cases[] = {
        {rgb16, 4, pngError("Unsupported PNG color format: " + rgb16)},
        {missing, 3, pngError("Could not read file: error (0) " + missing)},
        {empty, 3, pngError("Could not read file: error (-1) " + empty)},
        {cgbi, 3,
         pngError("Could not load PNG: " + cgbi + " decoder ERROR: 29") +
             pngError("Your PNG has failed to load with error 29.") +
             pngError("Error 29 signifies a bad header chunk, likely caused by XCODE compressing the PNG.") +
             pngError("This XCODE optimization can be disabled by adding the following user variable to the target:") +
             pngError("key: IPHONE_OPTIMIZE_OPTIONS    value: -skip-PNGs\n")},
        {shortHeader, 3, pngError("Could not load PNG: " + shortHeader + " decoder ERROR: 27")},  // one line only
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Image image;
        loadSentinel(image);
        CaptureStdout();
        EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(c.path), c.result);
        EXPECT_EQ(GetCapturedStdout(), c.log);
        expectSentinel(image);
    }
    Image image;
    CaptureStdout();
    EXPECT_EQ(image.Load(rgb16), 4u);  // refused, so no TGA attempt
    GetCapturedStdout();
}

TEST(ImageLoad, PathLoadersDispatchByFileType) {
    Image image;
    CaptureStdout();
    EXPECT_EQ(image.Load(tempPath("never-read"), 3), 3u);
    EXPECT_EQ(image.Load("also-never-read", 0), 3u);
    EXPECT_EQ(GetCapturedStdout(), "");

    // A TGA named like anything: the PNG attempt fails with 3, then the TGA loader takes it.
    const std::string path = tempPath("picture.tga");
    lodepng::save_file({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 1, 0, 24, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, path);
    CaptureStdout();
    EXPECT_EQ(image.Load(path), 1u);
    GetCapturedStdout();
    EXPECT_EQ(image.getWidth(), 3);  // the TGA's own size, no padding
    EXPECT_EQ(image.getHeight(), 1);
    EXPECT_EQ(image.Load(path.c_str(), kImageFileTGA), 1u);
}

TEST(ImageLoad, RawPixelsNeedThreeOrFourBytesAndMirrorByRows) {
    Image image;
    CaptureStdout();
    image.mirrorImageY();
    EXPECT_EQ(GetCapturedStdout().rfind("W: (QEL::Image::mirrorImageY) ", 0), 0u);

    loadSentinel(image);
    const uint8_t data[64] = {};
    CaptureStdout();
    EXPECT_FALSE(image.Load(2, 2, 16, data));
    EXPECT_EQ(GetCapturedStdout(), errorLine("QEL::Image::Load", "Unsupported color format: 16 bpp."));
    expectSentinel(image);

    const uint8_t rows[3 * 2 * 4] = {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6};
    ASSERT_TRUE(image.Load(2, 3, 32, rows));
    image.mirrorImageY();
    EXPECT_EQ(pixelAt(image, 0, 0)[3], 5);
    EXPECT_EQ(pixelAt(image, 1, 1)[0], 4);
    EXPECT_EQ(pixelAt(image, 1, 2)[0], 2);
}

TEST(ImageSave, WritesTheStoredColourTypeWithBufferRowZeroOnTopAndReportsFailures) {
    Image image;
    CaptureStdout();
    EXPECT_FALSE(image.saveToFilePNG(tempPath("nothing.png")));
    EXPECT_EQ(GetCapturedStdout(), errorLine("QEL::Image::saveToFilePNG", "[QEL::Image] No image to save!"));

    const std::string path = tempPath("saved.png");
    const uint8_t rgba[2 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 128, 0, 0, 0, 0};
    const uint8_t rgb[2 * 1 * 3] = {1, 2, 3, 4, 5, 6};
    for (const auto& [bpp, data, size, type] : {std::tuple{32, rgba, 2, LCT_RGBA}, std::tuple{24, rgb, 1, LCT_RGB}}) {
        ASSERT_TRUE(image.Load(2, size, bpp, data));
        EXPECT_TRUE(image.saveToFilePNG(path));
        std::vector<uint8_t> file, decoded;
        unsigned w = 0, h = 0;
        lodepng::State state;
        lodepng::load_file(file, path);
        ASSERT_EQ(lodepng::decode(decoded, w, h, state, file), 0u);
        EXPECT_EQ(state.info_png.color.colortype, type);
        EXPECT_EQ(state.info_png.color.bitdepth, 8u);
        if (bpp == 32) {
            EXPECT_EQ(decoded, std::vector<uint8_t>(rgba, rgba + 16));
        }
    }

    CaptureStdout();
    EXPECT_FALSE(image.saveToFilePNG(tempPath("no-such-folder/shot.png")));
    EXPECT_EQ(GetCapturedStdout(), errorLine("QEL::Image::saveToFilePNG", "LodePNG file save failed with Error Code: 79"));
}
