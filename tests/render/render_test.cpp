// Pictures in and out (PNG, TGA, saving, mirroring) and QuadSet's limits and drawing, read back
// from a real frame buffer.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "render/Image.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "testing/effectsTestWorld.h"

using namespace QEL;
using Bytes = std::vector<uint8_t>;
using effectsTest::writePng;
using QEL::testing::colorNear;
using QEL::testing::readPixel;
using QEL::testing::readPixels;

namespace {

std::string temp(const std::string& name) { return effectsTest::assetFile(name); }

Bytes pixel(const Image& image, int x, int row) {  // row 0 is the picture's bottom
    const int n = image.getBpp() / 8;
    const uint8_t* p = image.getPixels() + (static_cast<size_t>(row) * image.getWidth() + x) * n;
    return Bytes(p, p + n);
}

Bytes tga(uint8_t imageType, uint8_t w, uint8_t h, uint8_t depth, Bytes pixels, uint8_t idLength = 0) {
    Bytes file = {idLength, imageType == 1 || imageType == 9, imageType, 0, 0, 0, 0, 0, 0, 0, 0, 0, w, 0, h, 0, depth, 0};
    if (file[1]) file[6] = 1, file[7] = 24, file.resize(file.size() + idLength + 768, 0);  // 256 24-bit entries
    file.resize(file.size() + (file[1] ? 0 : idLength), 0xAA);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

// Whatever a refused load does, the 2 × 1 picture loaded before stays as it was.
void expectKept(Image& image, uint32_t expected, const std::function<uint32_t()>& load) {
    const uint8_t before[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(image.Load(2, 1, 24, before));
    effectsTest::stdoutOf([&] { EXPECT_EQ(load(), expected); });
    EXPECT_EQ(image.getWidth(), 2);
    EXPECT_EQ(pixel(image, 1, 0), (Bytes{4, 5, 6}));
}

}  // namespace

TEST(Pictures, PngsArePaddedToPowersOfTwoBottomRowFirst) {
    const struct {
        LodePNGColorType type;
        unsigned w, h;
        Bytes raw, palette;
        int bpp, paddedW;
        Bytes topLeft, pad;
    } rows[] = {
        {LCT_RGBA, 3, 2, {9, 8, 7, 6, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {}, 32, 4,
         {9, 8, 7, 6}, {255, 0, 255, 0}},
        {LCT_RGB, 5, 1, Bytes(15, 7), {}, 24, 8, {7, 7, 7}, {255, 0, 255}},
        {LCT_GREY, 2, 1, {40, 90}, {}, 24, 2, {40, 40, 40}, {}},
        {LCT_PALETTE, 2, 2, {1, 0, 0, 0}, {10, 20, 30, 255, 40, 50, 60, 0}, 32, 2, {40, 50, 60, 0}, {}},
        {LCT_PALETTE, 2, 2, {1, 0, 0, 0}, {10, 20, 30, 255, 40, 50, 60, 1}, 24, 2, {40, 50, 60}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        writePng(temp("in.png"), row.w, row.h, row.raw, row.type, 8, row.palette);
        Image image;
        EXPECT_EQ(image.LoadPNG_forcePowerOfTwo(temp("in.png")), 1u);
        EXPECT_EQ(image.getBpp(), row.bpp);
        EXPECT_EQ(image.getWidth(), row.paddedW);
        EXPECT_EQ(pixel(image, 0, row.h - 1), row.topLeft);
        if (!row.pad.empty()) EXPECT_EQ(pixel(image, row.w, 0), row.pad);
    }
    Image image;  // 16-bit channels are refused (4); unreadable files give 3
    writePng(temp("rgb16.png"), 1, 1, Bytes(6, 7), LCT_RGB, 16);
    Bytes cgbi = {137, 80, 78, 71, 13, 10, 26, 10, 0, 0, 0, 13, 'C', 'g', 'B', 'I'};
    cgbi.resize(45, 0);
    lodepng::save_file(cgbi, temp("cgbi.png"));
    expectKept(image, 4, [&] { return image.Load(temp("rgb16.png")); });
    expectKept(image, 3, [&] { return image.LoadPNG_forcePowerOfTwo(temp("cgbi.png")); });
    expectKept(image, 3, [&] { return image.LoadPNG_forcePowerOfTwo(temp("missing.png")); });
    expectKept(image, 3, [&] { return image.Load("x", 0); });
}

TEST(Pictures, TgasDecodeWithinTheirBytesAndTheStoredSize) {
    const Bytes rle = tga(10, 3, 2, 32, {130, 30, 20, 10, 40, 2, 3, 2, 1, 0, 6, 5, 4, 0, 9, 8, 7, 0});
    Bytes origin = tga(2, 1, 2, 24, {3, 2, 1, 6, 5, 4});
    origin[8] = 1, origin[10] = 5;  // an origin does not change the size
    const struct {
        Bytes file;
        int w, h, bpp;
        Bytes pixels;
    } rows[] = {
        {origin, 1, 2, 24, {1, 2, 3, 4, 5, 6}},
        {tga(2, 1, 1, 32, {3, 2, 1, 77}, 2), 1, 1, 32, {1, 2, 3, 77}},
        {rle, 3, 2, 32, {10, 20, 30, 40, 10, 20, 30, 40, 10, 20, 30, 40, 1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}},
        {tga(9, 4, 2, 8, {0x81, 5, 1, 6, 7, 0x80 + 20, 9}), 4, 2, 8, {5, 5, 6, 7, 9, 9, 9, 9}},  // a run stops at the end
    };
    for (const auto& row : rows) {
        Image image;
        ASSERT_EQ(image.LoadTGA(row.file.data(), row.file.size()), 1u);
        EXPECT_EQ(image.getWidth() * 100 + image.getHeight() * 10 + image.getBpp() / 8, row.w * 100 + row.h * 10 + row.bpp / 8);
        EXPECT_EQ(Bytes(image.getPixels(), image.getPixels() + image.byteCount()), row.pixels);
        if (row.bpp == 8) {  // mirroring moves bpp / 8 bytes per pixel
            image.mirrorImageY();
            EXPECT_EQ(Bytes(image.getPixels(), image.getPixels() + image.byteCount()), (Bytes{9, 9, 9, 9, 5, 5, 6, 7}));
        }
    }
    Image image;
    for (const Bytes& file : {Bytes(rle.begin(), rle.end() - 1), Bytes(origin.begin(), origin.end() - 1),
                              tga(10, 255, 255, 32, {0xFF, 1, 2, 3, 4}), tga(2, 200, 1, 24, {1, 2, 3})})
        expectKept(image, 3, [&] { return image.LoadTGA(file.data(), file.size()); });
    lodepng::save_file(origin, temp("picture.tga"));
    expectKept(image, 3, [&] { return image.LoadTGA(temp("missing.tga")); });
    EXPECT_EQ(image.Load(temp("picture.tga")), 1u);  // not a PNG: read as a TGA
    EXPECT_EQ(image.getHeight(), 2);
}

TEST(Pictures, SavedPngsHoldTheBufferTopRowFirstAndFailuresAreReported) {
    Image image;
    effectsTest::stdoutOf([&] {
        image.mirrorImageY();
        EXPECT_FALSE(image.saveToFilePNG(temp("nothing.png")));
    });
    const uint8_t rgba[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 128, 0, 0, 0, 0};
    expectKept(image, 0, [&] { return image.Load(2, 2, 16, rgba); });
    ASSERT_TRUE(image.Load(2, 2, 32, rgba));
    ASSERT_TRUE(image.saveToFilePNG(temp("saved.png")));
    Bytes decoded;
    unsigned w, h;
    ASSERT_EQ(lodepng::decode(decoded, w, h, temp("saved.png")), 0u);
    EXPECT_EQ(decoded, Bytes(rgba, rgba + 16));
    effectsTest::stdoutOf([&] { EXPECT_FALSE(image.saveToFilePNG(temp("no-such-folder/shot.png"))); });
}

class QuadSetDraw : public QEL::testing::GLTest {
protected:
    // A quad over the pixel rectangle (x, y from the top-left, w × h).
    static Quad* add(QuadSet& set, float x, float y, float w, float h, const Color& color) {
        Quad* quad = set.addQuad();
        quad->position = FloatCoords(pixelToDeviceX(x), pixelToDeviceY(y), widthFraction(w), heightFraction(h));
        quad->setAllColors(color);
        return quad;
    }
    static Bytes draw(QuadSet& set, int32_t mode, bool aligned = false) {
        set.rebuild();
        aligned ? set.drawPixelAligned(mode) : set.draw(mode);
        set.unlock();
        return readPixels(0, 0, kScreenWidth, kScreenHeight);
    }
    QuadSet set{kScreenWidth, kScreenHeight}, base{kScreenWidth, kScreenHeight};
};

TEST_F(QuadSetDraw, QuadsAreMadeWhileEditableUpToSixteenBitIndices) {
    EXPECT_EQ(set.addQuad(), nullptr);  // not yet unlocked
    set.unlock();
    add(set, 0, 0, 10, 10, Color::red);
    set.unlock();  // more quads after an unlock still get their arrays
    add(set, 100, 100, 10, 10, Color::blue);
    draw(set, kBlendOpaque);
    EXPECT_TRUE(colorNear(readPixel(105, 105), 0, 0, 255));
    while (set.quadCount() < QuadSet::kMaxQuads) ASSERT_NE(set.addQuad(), nullptr);
    EXPECT_EQ(set.addQuad(), nullptr);
}

TEST_F(QuadSetDraw, BlendModesMirrorsAndTurnsPlaceTheColours) {
    base.unlock();
    set.unlock();
    add(base, 0, 0, 568, 320, Color(0.5f, 0.5f, 0.5f, 1));
    Quad* top = add(set, 0, 0, 284, 160, Color(0.5f, 0.5f, 0.5f, 0.5f));
    for (auto [mode, mirror, x, y, grey] : {std::tuple{kBlendOpaque, 0, 10, 10, 128}, {kBlendAlpha, 1, 557, 10, 128},
                                            {kBlendAdditive, 2, 10, 309, 255}, {kBlendMultiply, 3, 557, 309, 64}}) {
        screenMirrorMode = mirror;
        draw(base, kBlendOpaque);
        draw(set, mode);
        EXPECT_TRUE(colorNear(readPixel(x, y), grey, grey, grey)) << mode << " " << readPixel(x, y);
        EXPECT_TRUE(colorNear(readPixel(567 - x, 319 - y), 128, 128, 128));
    }
    screenMirrorMode = 0;
    glClear(GL_COLOR_BUFFER_BIT);
    top->position = FloatCoords(pixelToDeviceX(184), pixelToDeviceY(140), widthFraction(200), heightFraction(40));
    top->setAllColors(Color::blue);
    top->angle = 90;  // now 40 wide and 200 tall about the same centre
    draw(set, kBlendOpaque);
    for (auto [x, y, blue] : {std::tuple{284, 64, 255}, {284, 56, 0}, {260, 160, 0}, {300, 250, 255}})
        EXPECT_TRUE(colorNear(readPixel(x, y), 0, 0, blue)) << x << "," << y;
}

TEST_F(QuadSetDraw, TexturesUploadTightRowsAndUnusableImagesKeepThePreviousOne) {
    writePng(temp("rgb2x2.png"), 2, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}, LCT_RGB);
    set.unlock();
    ASSERT_TRUE(set.loadTexture(temp("rgb2x2.png")));
    add(set, 0, 0, 568, 320, Color::white)->setTextureRect(FloatCoords(0, 0, 2, 2));
    draw(set, kBlendOpaque);
    for (auto [x, y, r, g, b] : {std::tuple{142, 80, 255, 0, 0}, {426, 80, 0, 255, 0}, {142, 240, 0, 0, 255}})
        EXPECT_TRUE(colorNear(readPixel(x, y), r, g, b)) << x << "," << y;

    Image mapped;
    const Bytes file = tga(1, 2, 2, 8, {0, 0, 0, 0});
    ASSERT_EQ(mapped.LoadTGA(file.data(), file.size()), 1u);
    const uint32_t name = set.getTextureName();
    effectsTest::stdoutOf([&] {
        EXPECT_FALSE(set.setTexture(mapped));  // colour-mapped: refused
        EXPECT_FALSE(set.loadTexture(temp("missing.png")));
    });
    EXPECT_EQ(set.getTextureName(), name);
    EXPECT_EQ(glIsTexture(name), GL_TRUE);
}

// Quads that cannot show are left out, yet the blend mode is still set for draws that keep it.
TEST_F(QuadSetDraw, HiddenQuadsAreLeftOutButSetTheBlendState) {
    set.unlock();
    base.unlock();
    add(set, -20, 60, 10, 200, Color::red)->angle = 90;  // off screen until turned: x -115 to 85
    add(set, 200, 100, 100, 100, Color(0, 0, 1, 0))->colors[2] = Color(0, 0, 1, 1);  // one corner shows
    add(set, 300, 200, 50, 50, Color(0, 1, 0, 0));
    draw(set, kBlendAlpha);
    EXPECT_TRUE(colorNear(readPixel(40, 160), 255, 0, 0));
    EXPECT_GT(readPixel(296, 104).b, 150);
    EXPECT_TRUE(colorNear(readPixel(325, 225), 0, 0, 0));
    draw(set, kBlendOpaque);  // without blending a transparent quad paints its colour
    EXPECT_TRUE(colorNear(readPixel(325, 225), 0, 255, 0));
    set.clearQuads();
    add(set, -100, -100, 50, 50, Color::white);
    add(base, 0, 0, 568, 320, Color(0.25f, 0.25f, 0.25f, 1));
    draw(set, kBlendAdditive);
    draw(base, 0);
    draw(base, 0);
    EXPECT_TRUE(colorNear(readPixel(100, 100), 128, 128, 128));  // drawn twice, added
}

// The pixel-aligned draw of a screen picture and the scissored alpha draw give exactly the
// pixels of the plain draw, whatever the mirror, turn, texture rectangle or repeat.
TEST_F(QuadSetDraw, ShortcutsDrawTheSamePixels) {
    Bytes noise(568 * 320 * 3), spot(64 * 64 * 4, 0);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    for (int y = 20; y <= 40; ++y)
        for (int x = 20; x <= 40; ++x) std::copy_n(Bytes{uint8_t(x * 4), uint8_t(y * 4), 200, uint8_t(100 + x + y)}.begin(), 4, &spot[(y * 64 + x) * 4]);
    writePng(temp("screen.png"), 568, 320, noise, LCT_RGB);
    writePng(temp("spot.png"), 64, 64, spot);
    set.unlock();
    ASSERT_TRUE(set.loadTexture(temp("screen.png")));
    Quad* quad = add(set, 0, 0, 568, 320, Color::white);
    quad->setTextureRect(FloatCoords(0, 0, 568, 320));
    quad->position.w = quad->position.h = 0.7f;
    const Bytes scaled = draw(set, kBlendOpaque);  // over the black of the start
    quad->position.w = quad->position.h = 1.0f;
    for (int mirror : {0, 1, 2, 3}) {
        screenMirrorMode = mirror;
        EXPECT_TRUE(draw(set, kBlendOpaque, true) == draw(set, kBlendOpaque)) << mirror;
    }
    screenMirrorMode = 0;
    quad->position.w = quad->position.h = 0.7f;
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(draw(set, kBlendOpaque) == scaled);  // linear filtering again for a plain draw
    ASSERT_TRUE(set.loadTexture(temp("spot.png")));
    quad->setAllColors(Color(1, 1, 1, 0.9f));
    for (auto [rect, angle, mirror] : {std::tuple{FloatCoords(0, 0, 1, 1), 30.0f, 3},
                                       {FloatCoords(0.4f, 0.1f, 0.5f, 0.8f), -75.0f, 1},
                                       {FloatCoords(-0.5f, 0, 2, 1), 10.0f, 2}}) {
        quad->textureRect = rect;
        quad->angle = angle;
        screenMirrorMode = mirror;
        glClear(GL_COLOR_BUFFER_BIT);
        const Bytes scissored = draw(set, kBlendAlpha);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_BLEND);  // mode 0 keeps this blending, unscissored
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        EXPECT_TRUE(draw(set, 0) == scissored) << angle;
        EXPECT_EQ(glIsEnabled(GL_SCISSOR_TEST), GL_FALSE);
    }
    screenMirrorMode = 0;
}
