// Pictures in and out (PNG, TGA, saving, mirroring) and QuadSet's limits and drawing, read back
// from a real frame buffer.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "render/Image.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "testing/effectsTestWorld.h"

using namespace QEL;
using namespace effectsTest;
using Bytes = std::vector<uint8_t>;
using QEL::testing::colorNear;
using QEL::testing::readPixel;

namespace {

Bytes row(const Image& image, int row, int from, int count) {  // row 0 is the picture's bottom
    const uint8_t* p = image.getPixels() + (row * image.getWidth() + from) * image.getBpp() / 8;
    return Bytes(p, p + count * image.getBpp() / 8);
}

// An 18-byte header (with 256 zero palette entries of 24 bits when colour-mapped), then `pixels`.
Bytes tga(uint8_t imageType, uint8_t w, uint8_t h, uint8_t depth, const Bytes& pixels) {
    const uint8_t mapped = imageType % 8 == 1;
    Bytes file = {0, mapped, imageType, 0, 0, 0, mapped, uint8_t(mapped * 24), 0, 0, 0, 0, w, 0, h, 0, depth, 0};
    file.resize(18 + mapped * 768, 0);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

// A refused load returns `expected` and leaves the 2 × 1 picture loaded before untouched.
void expectKept(Image& image, uint32_t expected, const std::function<uint32_t()>& load) {
    const uint8_t before[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(image.Load(2, 1, 24, before));
    stdoutOf([&] { EXPECT_EQ(load(), expected); });
    EXPECT_EQ(row(image, 0, 0, 2), Bytes(before, before + 6));
}

}  // namespace

TEST(Pictures, PngsArePaddedToPowersOfTwoBottomRowFirstAndRefusedOnesChangeNothing) {
    const struct {
        LodePNGColorType type;
        unsigned w, h;
        Bytes raw, palette, topRow;  // the top row as loaded: picture, then padding
    } rows[] = {
        {LCT_RGBA, 3, 2, {9, 8, 7, 6, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {},
         {9, 8, 7, 6, 0, 0, 0, 0, 1, 1, 1, 1, 255, 0, 255, 0}},
        {LCT_RGB, 3, 1, Bytes(9, 7), {}, {7, 7, 7, 7, 7, 7, 7, 7, 7, 255, 0, 255}},
        {LCT_GREY, 2, 1, {40, 90}, {}, {40, 40, 40, 90, 90, 90}},
        {LCT_PALETTE, 2, 1, {1, 0}, {10, 20, 30, 255, 40, 50, 60, 0}, {40, 50, 60, 0, 10, 20, 30, 255}},
        {LCT_PALETTE, 2, 1, {1, 0}, {10, 20, 30, 255, 40, 50, 60, 1}, {40, 50, 60, 1, 10, 20, 30, 255}},  // translucent kept
    };
    Image image;
    for (const auto& r : rows) {
        writePng(assetFile("in.png"), r.w, r.h, r.raw, r.type, 8, r.palette);
        EXPECT_EQ(image.Load(assetFile("in.png")), 1u);
        EXPECT_EQ(row(image, r.h - 1, 0, image.getWidth()), r.topRow) << r.type;
    }
    Bytes badHeader = {137, 80, 78, 71, 13, 10, 26, 10, 0, 0, 0, 13, 'C', 'g', 'B', 'I'};
    badHeader.resize(45, 0);
    lodepng::save_file(badHeader, assetFile("header.png"));
    expectKept(image, 3, [&] { return image.LoadPNG_forcePowerOfTwo(assetFile("header.png")); });
    expectKept(image, 3, [&] { return image.Load(assetFile("missing.png"), kImageFilePNG); });
    expectKept(image, 3, [&] { return image.Load("unknown type", 0); });
}

TEST(Pictures, TgasAreReadWithinTheirBytesAtTheirStoredSize) {
    Bytes origin = tga(2, 1, 2, 24, {3, 2, 1, 6, 5, 4}), rle = tga(10, 3, 1, 32, {130, 30, 20, 10, 40});
    origin[8] = 1, origin[10] = 5;  // an origin says where the picture sits, not its size
    for (const auto& [file, height, bytes] :
         {std::tuple{origin, 2, Bytes{1, 2, 3, 4, 5, 6}}, {rle, 1, Bytes{10, 20, 30, 40, 10, 20, 30, 40, 10, 20, 30, 40}},
          {tga(9, 4, 2, 8, {0x81, 5, 1, 6, 7, 0x80 + 20, 9}), 2, Bytes{5, 5, 6, 7, 9, 9, 9, 9}}}) {  // runs stop at the end
        Image image;
        ASSERT_EQ(image.LoadTGA(file.data(), file.size()), 1u);
        EXPECT_TRUE(image.getHeight() == height && Bytes(image.getPixels(), image.getPixels() + image.byteCount()) == bytes);
        image.mirrorImageY();  // moves bpp / 8 bytes per pixel
        EXPECT_TRUE(image.getBpp() != 8 || row(image, 0, 0, 4) == (Bytes{9, 9, 9, 9}));
    }
    Image image;
    for (const Bytes& file : {Bytes(rle.begin(), rle.end() - 1), Bytes(origin.begin(), origin.end() - 1),
                              tga(10, 255, 255, 32, {0xFF, 1, 2, 3, 4})})  // 65025 pixels from 5 bytes
        expectKept(image, 3, [&] { return image.LoadTGA(file.data(), file.size()); });
    expectKept(image, 3, [&] { return image.LoadTGA(assetFile("missing.tga")); });
    lodepng::save_file(origin, assetFile("picture.tga"));
    EXPECT_EQ(image.Load(assetFile("picture.tga")), 1u);  // not a PNG: read as a TGA
}

TEST(Pictures, SavedPngsHoldTheBufferTopRowFirstAndFailuresAreReported) {
    Image image;  // nothing to mirror or save yet
    stdoutOf([&] { image.mirrorImageY(); });
    EXPECT_FALSE(stdoutOf([&] { image.saveToFilePNG(assetFile("nothing.png")); }).empty());
    const uint8_t rgba[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 128, 0, 0, 0, 0};
    expectKept(image, 0, [&] { return image.Load(2, 2, 16, rgba); });
    ASSERT_TRUE(image.Load(2, 2, 32, rgba) && image.saveToFilePNG(assetFile("saved.png")));
    Bytes decoded;
    unsigned w, h;
    EXPECT_TRUE(lodepng::decode(decoded, w, h, assetFile("saved.png")) == 0 && decoded == Bytes(rgba, rgba + 16));
    stdoutOf([&] { EXPECT_FALSE(image.saveToFilePNG(assetFile("no-such-folder/shot.png"))); });
}

class QuadSetDraw : public QEL::testing::GLTest {
protected:
    static Quad* add(QuadSet& set, float x, float y, float w, float h, const Color& color) {  // pixels, from the top-left
        Quad* quad = set.addQuad();
        quad->position = FloatCoords(pixelToDeviceX(x), pixelToDeviceY(y), widthFraction(w), heightFraction(h));
        quad->setAllColors(color);
        return quad;
    }
    static Bytes draw(QuadSet& set, BlendMode mode, bool aligned = false) {
        set.rebuild();
        aligned ? set.drawPixelAligned(mode) : set.draw(mode);
        set.unlock();
        return QEL::testing::readPixels(0, 0, kScreenWidth, kScreenHeight);
    }
    QuadSet set{kScreenWidth, kScreenHeight}, base{kScreenWidth, kScreenHeight};
};

TEST_F(QuadSetDraw, QuadsAreMadeWhileEditableUpToSixteenBitIndicesAndDrawnInEveryMode) {
    EXPECT_EQ(set.addQuad(), nullptr);  // not yet unlocked
    set.unlock(), base.unlock();
    add(base, 0, 0, 568, 320, Color(0.5f, 0.5f, 0.5f, 1));
    add(set, -100, -100, 50, 50, Color::white);
    set.unlock();  // quads added after an unlock still get their arrays
    add(set, 0, 0, 284, 160, Color(0.5f, 0.5f, 0.5f, 0.5f));
    for (auto [mode, mirror, x, y, grey] : {std::tuple{BlendMode::opaque, 0, 10, 10, 128}, {BlendMode::alpha, 1, 557, 10, 128},
                                            {BlendMode::additive, 2, 10, 309, 255}, {BlendMode::multiply, 3, 557, 309, 64}}) {
        screenMirrorMode = static_cast<MirrorMode>(mirror);
        draw(base, BlendMode::opaque), draw(set, mode);
        EXPECT_TRUE(colorNear(readPixel(x, y), grey, grey, grey) && colorNear(readPixel(567 - x, 319 - y), 128, 128, 128))
            << static_cast<int>(mode);
    }
    set.clearQuads();
    add(set, -100, -100, 50, 50, Color::white);  // nothing to show, yet the blend mode is set ...
    draw(base, BlendMode::opaque), draw(set, BlendMode::multiply), draw(base, BlendMode::keep);  // ... for mode 0, which keeps it
    EXPECT_TRUE(colorNear(readPixel(100, 250), 64, 64, 64));
    set.clearQuads();
    screenMirrorMode = MirrorMode::none;
    add(set, -20, 60, 10, 200, Color::red)->angle = 90;  // off screen until turned: x -115 to 85
    add(set, 200, 100, 100, 100, Color(0, 0, 1, 0))->colors[2] = Color(0, 0, 1, 1);  // one corner shows
    add(set, 300, 200, 50, 50, Color(0, 1, 0, 0));  // transparent: left out under alpha blending
    glClear(GL_COLOR_BUFFER_BIT);
    draw(set, BlendMode::alpha);
    EXPECT_TRUE(colorNear(readPixel(40, 160), 255, 0, 0) && readPixel(296, 104).b > 150 &&
                colorNear(readPixel(325, 225), 0, 0, 0));
    draw(set, BlendMode::opaque);  // without blending the transparent quad paints its colour
    EXPECT_TRUE(colorNear(readPixel(325, 225), 0, 255, 0));
    while (set.quadCount() < QuadSet::kMaxQuads) ASSERT_NE(set.addQuad(), nullptr);
    EXPECT_EQ(set.addQuad(), nullptr);
}

TEST_F(QuadSetDraw, TexturesUploadTightRowsAndUnusableImagesKeepThePreviousOne) {
    writePng(assetFile("rgb.png"), 2, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}, LCT_RGB);
    set.unlock();
    ASSERT_TRUE(set.loadTexture(assetFile("rgb.png")));
    add(set, 0, 0, 568, 320, Color::white)->setTextureRect(FloatCoords(0, 0, 2, 2));
    draw(set, BlendMode::opaque);
    EXPECT_TRUE(colorNear(readPixel(142, 80), 255, 0, 0) && colorNear(readPixel(426, 80), 0, 255, 0) &&
                colorNear(readPixel(142, 240), 0, 0, 255));
    Image mapped;
    const Bytes file = tga(1, 2, 2, 8, {0, 0, 0, 0});
    const uint32_t name = set.getTextureName();
    ASSERT_EQ(mapped.LoadTGA(file.data(), file.size()), 1u);
    stdoutOf([&] { EXPECT_FALSE(set.setTexture(mapped) || set.loadTexture(assetFile("missing.png"))); });
    EXPECT_TRUE(set.getTextureName() == name && glIsTexture(name));
}

// Left-out quads, the pixel-aligned draw of a screen picture and the scissored alpha draw must give
// exactly the pixels of the plain draw, whatever the mirror, turn, texture rectangle or repeat.
TEST_F(QuadSetDraw, ShortcutsDrawTheSamePixels) {
    Bytes noise(568 * 320 * 3), spot(64 * 64 * 4, 0);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    for (int i = 20 * 64 + 20; i <= 40 * 64 + 40; ++i)
        if (i % 64 >= 20 && i % 64 <= 40) std::copy_n(Bytes{uint8_t(i), uint8_t(i / 16), 200, uint8_t(i / 32)}.data(), 4, &spot[i * 4]);
    writePng(assetFile("screen.png"), 568, 320, noise, LCT_RGB);
    writePng(assetFile("spot.png"), 64, 64, spot);
    writePng(assetFile("clear.png"), 2, 2, Bytes(16, 0));
    set.unlock();
    ASSERT_TRUE(set.loadTexture(assetFile("screen.png")));
    Quad* quad = add(set, 0, 0, 568 * 0.7f, 320 * 0.7f, Color::white);
    quad->setTextureRect(FloatCoords(0, 0, 568, 320));
    const Bytes scaled = draw(set, BlendMode::opaque);
    quad->position.w = quad->position.h = 1.0f;
    for (int mirror : {0, 1, 2, 3}) {
        screenMirrorMode = static_cast<MirrorMode>(mirror);
        EXPECT_TRUE(draw(set, BlendMode::opaque, true) == draw(set, BlendMode::opaque)) << mirror;
    }
    screenMirrorMode = MirrorMode::none, quad->position.w = quad->position.h = 0.7f;
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(draw(set, BlendMode::opaque) == scaled);  // filtered linearly again for a plain draw
    ASSERT_TRUE(set.loadTexture(assetFile("spot.png")));
    quad->setAllColors(Color(1, 1, 1, 0.9f));
    for (auto [rect, angle, mirror] : {std::tuple{FloatCoords(0, 0, 1, 1), 30.0f, 3},
                                       {FloatCoords(0.4f, 0.1f, 0.5f, 0.8f), -75.0f, 1},
                                       {FloatCoords(-0.5f, 0, 2, 1), 10.0f, 2}, {FloatCoords(1, 0, -1, 1), 0.0f, 0},
                                       {FloatCoords(0, 0, 0.25f, 0.25f), 0.0f, 0}, {FloatCoords(0, 0, 1, 1), -1.0f, 0}}) {
        if (angle == -1.0f) {
            ASSERT_TRUE(set.loadTexture(assetFile("clear.png")));  // nothing can show
        }
        quad->textureRect = rect, quad->angle = angle, screenMirrorMode = static_cast<MirrorMode>(mirror);
        glClear(GL_COLOR_BUFFER_BIT);
        const Bytes scissored = draw(set, BlendMode::alpha);
        glClear(GL_COLOR_BUFFER_BIT);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);  // mode 0 keeps it, unscissored
        EXPECT_TRUE(draw(set, BlendMode::keep) == scissored && !glIsEnabled(GL_SCISSOR_TEST)) << angle;
    }
}
