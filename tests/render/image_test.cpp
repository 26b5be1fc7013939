// Image: PNG loading with padding and flipping, its log lines, saving, mirroring, raw loads.
#include <gtest/gtest.h>

#include "render/Image.h"
#include "tests/render/testFiles.h"

using namespace QEL;
using namespace renderTest;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace {

const uint8_t* pixelAt(const Image& image, int x, int row) {
    return image.getPixels() + (static_cast<size_t>(row) * image.getWidth() + x) * (image.getBpp() / 8);
}

std::string errorLine(const std::string& fn, const std::string& text) { return "E: (" + fn + ") \a" + text + "\n"; }

const std::string kPngFn = "QEL::Image::LoadPNG_forcePowerOfTwo";

// A 2 × 2 RGB image loaded raw, so tests can see whether a failed load touched it.
void loadSentinel(Image& image) {
    const uint8_t raw[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_TRUE(image.Load(2, 2, 24, raw));
}

void expectSentinel(const Image& image) {
    EXPECT_EQ(image.getWidth(), 2);
    EXPECT_EQ(image.getHeight(), 2);
    EXPECT_EQ(image.getBpp(), 24);
    EXPECT_EQ(pixelAt(image, 1, 1)[2], 12);
}

}  // namespace

TEST(PngLoad, RgbaIsPaddedFlippedAndFilledWithThePadColour) {
    const std::string path = tempPath("rgba100x50.png");
    ASSERT_EQ(writePng(path, 100, 50, patternRGBA(100, 50), LCT_RGBA, 8), 0u);
    Image image;
    CaptureStdout();
    EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(path), 1u);
    EXPECT_EQ(GetCapturedStdout(), "");
    ASSERT_EQ(image.getWidth(), 128);
    ASSERT_EQ(image.getHeight(), 64);
    ASSERT_EQ(image.getBpp(), 32);
    // Buffer row 0 is the picture's bottom row (49).
    const uint8_t* p = pixelAt(image, 7, 0);
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{7, 49, 56, 200}));
    p = pixelAt(image, 99, 49);
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{99, 0, 99, 200}));
    for (int row = 0; row < 64; ++row)
        for (int x = (row < 50 ? 100 : 0); x < 128; ++x) {
            p = pixelAt(image, x, row);
            ASSERT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{255, 0, 255, 0}))
                << "padding at " << x << "," << row;
        }
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
    ASSERT_EQ(image.getHeight(), 4);
    const uint8_t* p = pixelAt(image, 0, 0);  // picture row 2, column 0
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), (std::vector<int>{180, 190, 200}));
    p = pixelAt(image, 3, 1);
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), (std::vector<int>{1, 2, 3}));
    p = pixelAt(image, 2, 3);
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), (std::vector<int>{1, 2, 3}));
}

TEST(PngLoad, GreyAndPaletteFormats) {
    Image image;
    const std::string grey = tempPath("grey.png");
    ASSERT_EQ(writePng(grey, 2, 1, {40, 90}, LCT_GREY, 8), 0u);
    EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(grey), 1u);
    EXPECT_EQ(image.getBpp(), 24);
    EXPECT_EQ((std::vector<int>{pixelAt(image, 1, 0)[0], pixelAt(image, 1, 0)[1], pixelAt(image, 1, 0)[2]}),
              (std::vector<int>{90, 90, 90}));

    std::vector<uint8_t> indices(64 * 64);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>(i % 3);
    const std::string clear = tempPath("paletteClear.png");
    ASSERT_EQ(writePng(clear, 64, 64, indices, LCT_PALETTE, 8, {10, 20, 30, 255, 40, 50, 60, 0, 70, 80, 90, 128}), 0u);
    EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(clear), 1u);
    EXPECT_EQ(image.getBpp(), 32);
    EXPECT_EQ(image.getWidth(), 64);
    EXPECT_EQ(pixelAt(image, 1, 63)[3], 0);  // picture (1, 0) is index 1, fully transparent

    const std::string partial = tempPath("palettePartial.png");
    ASSERT_EQ(writePng(partial, 64, 64, indices, LCT_PALETTE, 8, {10, 20, 30, 255, 40, 50, 60, 1, 70, 80, 90, 128}), 0u);
    EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(partial), 1u);
    EXPECT_EQ(image.getBpp(), 24);
    EXPECT_EQ(pixelAt(image, 2, 63)[0], 70);
}

TEST(PngLoad, SixteenBitRgbIsRefusedAndTheImageKept) {
    const std::string path = tempPath("rgb16.png");
    ASSERT_EQ(writePng(path, 2, 2, std::vector<uint8_t>(24, 7), LCT_RGB, 16), 0u);
    Image image;
    loadSentinel(image);
    CaptureStdout();
    EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(path), 4u);
    EXPECT_EQ(GetCapturedStdout(), errorLine(kPngFn, "Unsupported PNG color format: " + path));
    expectSentinel(image);
    EXPECT_EQ(image.Load(path), 4u);  // refused, so no TGA attempt
}

TEST(PngLoad, OnePixelBecomesTwoByTwo) {
    const std::string path = tempPath("one.png");
    ASSERT_EQ(writePng(path, 1, 1, {9, 8, 7, 6}, LCT_RGBA, 8), 0u);
    Image image;
    EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(path), 1u);
    EXPECT_EQ(image.getWidth(), 2);
    EXPECT_EQ(image.getHeight(), 2);
    EXPECT_EQ(pixelAt(image, 0, 0)[3], 6);
    EXPECT_EQ(pixelAt(image, 1, 1)[0], 255);
}

TEST(PngLoad, UnreadableFilesLogTheReaderStatus) {
    Image image;
    loadSentinel(image);
    const std::string missing = tempPath("missing.png");
    CaptureStdout();
    EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(missing), 3u);
    EXPECT_EQ(GetCapturedStdout(), errorLine(kPngFn, "Could not read file: error (0) " + missing));

    const std::string empty = tempPath("empty.png");
    writeBytes(empty, {});
    CaptureStdout();
    EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(empty), 3u);
    EXPECT_EQ(GetCapturedStdout(), errorLine(kPngFn, "Could not read file: error (-1) " + empty));
    expectSentinel(image);
}

TEST(PngLoad, BadFirstChunkGivesError29AndItsFiveLines) {
    // The signature, then a 13-byte chunk that is not the header chunk.
    std::vector<uint8_t> bytes = {137, 80, 78, 71, 13, 10, 26, 10, 0, 0, 0, 13, 'C', 'g', 'B', 'I'};
    bytes.resize(bytes.size() + 13 + 4 + 12, 0);
    const std::string path = tempPath("cgbi.png");
    writeBytes(path, bytes);
    Image image;
    loadSentinel(image);
    CaptureStdout();
    EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(path), 3u);
    EXPECT_EQ(GetCapturedStdout(),
              errorLine(kPngFn, "Could not load PNG: " + path + " decoder ERROR: 29") +
                  errorLine(kPngFn, "Your PNG has failed to load with error 29.") +
                  errorLine(kPngFn, "Error 29 signifies a bad header chunk, likely caused by XCODE compressing the PNG.") +
                  errorLine(kPngFn, "This XCODE optimization can be disabled by adding the following user variable to the target:") +
                  errorLine(kPngFn, "key: IPHONE_OPTIMIZE_OPTIONS    value: -skip-PNGs\n"));
    expectSentinel(image);

    writeBytes(path, {137, 80, 78, 71, 13, 10, 26, 10, 1, 2, 3});
    CaptureStdout();
    EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(path), 3u);  // too short for a header: LodePNG's 27, one line
    EXPECT_EQ(GetCapturedStdout(), errorLine(kPngFn, "Could not load PNG: " + path + " decoder ERROR: 27"));
}

TEST(ImageLoad, PathLoadersDispatchByFileType) {
    Image image;
    CaptureStdout();
    EXPECT_EQ(image.Load(tempPath("never-read"), 3), 3u);
    EXPECT_EQ(image.Load("also-never-read", 0), 3u);
    EXPECT_EQ(GetCapturedStdout(), "");

    // A TGA named like anything: the PNG attempt fails with 3, then the TGA loader takes it.
    const std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 1, 0, 24, 0,
                                      1, 2, 3, 4, 5, 6, 7, 8, 9};
    const std::string path = tempPath("picture.tga");
    writeBytes(path, tga);
    CaptureStdout();
    EXPECT_EQ(image.Load(path), 1u);
    GetCapturedStdout();
    EXPECT_EQ(image.getWidth(), 3);  // the TGA's own size, no padding
    EXPECT_EQ(image.getHeight(), 1);
    EXPECT_EQ(pixelAt(image, 0, 0)[0], 3);
    EXPECT_EQ(image.Load(path.c_str(), kImageFileTGA), 1u);
}

TEST(ImageLoad, RawPixelsNeedThreeOrFourBytes) {
    Image image;
    loadSentinel(image);
    const uint8_t data[64] = {};
    CaptureStdout();
    EXPECT_FALSE(image.Load(2, 2, 16, data));
    EXPECT_EQ(GetCapturedStdout(), errorLine("QEL::Image::Load", "Unsupported color format: 16 bpp."));
    expectSentinel(image);
    EXPECT_TRUE(image.Load(4, 4, 32, data));
    EXPECT_EQ(image.byteCount(), 64u);
}

TEST(ImageMirror, ReversesRowsAndWarnsWhenEmpty) {
    Image image;
    CaptureStdout();
    image.mirrorImageY();
    EXPECT_EQ(GetCapturedStdout().rfind("W: (QEL::Image::mirrorImageY) ", 0), 0u);

    const uint8_t rows[3 * 2 * 4] = {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6};
    ASSERT_TRUE(image.Load(2, 3, 32, rows));
    image.mirrorImageY();
    EXPECT_EQ(pixelAt(image, 0, 0)[3], 5);
    EXPECT_EQ(pixelAt(image, 1, 1)[0], 4);
    EXPECT_EQ(pixelAt(image, 1, 2)[0], 2);
}

TEST(ImageSave, WritesTheStoredColourTypeWithBufferRowZeroOnTop) {
    Image image;
    const uint8_t rgba[2 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 128, 0, 0, 0, 0};
    ASSERT_TRUE(image.Load(2, 2, 32, rgba));
    const std::string path = tempPath("saved.png");
    EXPECT_TRUE(image.saveToFilePNG(path));
    std::vector<uint8_t> decoded;
    unsigned w = 0, h = 0;
    lodepng::State state;
    ASSERT_EQ(lodepng::decode(decoded, w, h, state, readBytes(path)), 0u);
    EXPECT_EQ(state.info_png.color.colortype, LCT_RGBA);
    EXPECT_EQ(state.info_png.color.bitdepth, 8u);
    EXPECT_EQ(decoded, std::vector<uint8_t>(rgba, rgba + 16));

    const uint8_t rgb[2 * 1 * 3] = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(image.Load(2, 1, 24, rgb));
    EXPECT_TRUE(image.saveToFilePNG(path));
    lodepng::State rgbState;
    ASSERT_EQ(lodepng::decode(decoded, w, h, rgbState, readBytes(path)), 0u);
    EXPECT_EQ(rgbState.info_png.color.colortype, LCT_RGB);
}

TEST(ImageSave, FailuresAreReported) {
    Image image;
    CaptureStdout();
    EXPECT_FALSE(image.saveToFilePNG(tempPath("nothing.png")));
    EXPECT_EQ(GetCapturedStdout(), errorLine("QEL::Image::saveToFilePNG", "[QEL::Image] No image to save!"));

    const uint8_t rgb[12] = {};
    ASSERT_TRUE(image.Load(2, 2, 24, rgb));
    CaptureStdout();
    EXPECT_FALSE(image.saveToFilePNG(tempPath("no-such-folder/shot.png")));
    EXPECT_EQ(GetCapturedStdout(), errorLine("QEL::Image::saveToFilePNG", "LodePNG file save failed with Error Code: 79"));
}
