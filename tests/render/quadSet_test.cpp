// QuadSet: its states and limits without a window, then geometry, textures, blending and
// mirroring read back from a real frame buffer.
#include <gtest/gtest.h>
#include <GL/gl.h>

#include <vector>

#include "render/QuadSet.h"
#include "render/screen.h"
#include "tests/render/testFiles.h"
#include "testing/glTestContext.h"

using namespace QEL;
using namespace renderTest;
using QEL::testing::colorNear;
using QEL::testing::readPixel;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace {

// A quad covering the pixel rectangle (x, y from the top-left, w × h) of the 568 × 320 screen.
Quad* addPixelQuad(QuadSet& set, float x, float y, float w, float h, const Color& color) {
    Quad* quad = set.addQuad();
    quad->position = FloatCoords(pixelToDeviceX(x), pixelToDeviceY(y), widthFraction(w), heightFraction(h));
    quad->setAllColors(color);
    return quad;
}

void drawOnce(QuadSet& set, int32_t mode) {
    set.rebuild();
    set.draw(mode);
    set.unlock();
}

}  // namespace

TEST(QuadSetState, AddAndGetOnlyWhileEditable) {
    QuadSet set(kScreenWidth, kScreenHeight);
    EXPECT_EQ(set.addQuad(), nullptr);  // not yet unlocked
    set.unlock();
    for (int i = 0; i < 3; ++i) ASSERT_NE(set.addQuad(), nullptr);
    EXPECT_EQ(set.getQuad(3), nullptr);
    ASSERT_NE(set.getQuad(2), nullptr);
    set.unlock();  // the count changed, but no arrays were made for it yet
    set.rebuild();
    EXPECT_EQ(set.addQuad(), nullptr);
    EXPECT_EQ(set.getQuad(0), nullptr);
    ASSERT_NE(set.getIndices(), nullptr);
    EXPECT_EQ(set.getIndices()[17], 11);
    set.unlock();
    set.clearQuads();
    EXPECT_EQ(set.quadCount(), 0u);
}

TEST(QuadSetState, SixteenBitIndicesLimitTheQuadCount) {
    QuadSet set(kScreenWidth, kScreenHeight);
    set.unlock();
    for (uint32_t i = 0; i < QuadSet::kMaxQuads; ++i) ASSERT_NE(set.addQuad(), nullptr);
    EXPECT_EQ(set.addQuad(), nullptr);
    set.rebuild();
    EXPECT_EQ(set.getIndices()[QuadSet::kMaxQuads * 6 - 1], 65535);
}

class QuadSetDraw : public QEL::testing::GLTest {};

TEST_F(QuadSetDraw, FullScreenAndTopLeftQuarter) {
    QuadSet set(kScreenWidth, kScreenHeight);
    set.unlock();
    Quad* quad = set.addQuad();
    quad->position = FloatCoords(-1, 1, 1, 1);
    quad->setAllColors(Color::blue);
    drawOnce(set, kBlendOpaque);
    for (auto [x, y] : {std::pair{0, 0}, {567, 0}, {0, 319}, {567, 319}, {284, 160}})
        EXPECT_TRUE(colorNear(readPixel(x, y), 0, 0, 255)) << x << "," << y << " " << readPixel(x, y);

    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_NE(set.getQuad(0), nullptr);
    set.getQuad(0)->position = FloatCoords(-1, 1, 0.5f, 0.5f);
    set.getQuad(0)->setAllColors(Color::red);
    drawOnce(set, kBlendOpaque);
    EXPECT_TRUE(colorNear(readPixel(1, 1), 255, 0, 0));
    EXPECT_TRUE(colorNear(readPixel(282, 158), 255, 0, 0));
    EXPECT_TRUE(colorNear(readPixel(286, 158), 0, 0, 0));
    EXPECT_TRUE(colorNear(readPixel(282, 162), 0, 0, 0));
    EXPECT_TRUE(colorNear(readPixel(500, 300), 0, 0, 0));
}

TEST_F(QuadSetDraw, QuadTurnedNinetyDegreesSwapsItsPixelSize) {
    QuadSet set(kScreenWidth, kScreenHeight);
    set.unlock();
    Quad* quad = addPixelQuad(set, 184, 140, 200, 40, Color::blue);  // centre (284, 160)
    quad->colors[0] = Color::red;  // bottom-left corner
    quad->angle = 90;
    drawOnce(set, kBlendOpaque);
    // Now 40 wide and 200 tall: x 264..304, y 60..260.
    EXPECT_TRUE(colorNear(readPixel(284, 64), 0, 0, 255)) << readPixel(284, 64);
    EXPECT_TRUE(colorNear(readPixel(284, 160), 0, 0, 255, 80)) << readPixel(284, 160);
    EXPECT_TRUE(colorNear(readPixel(284, 56), 0, 0, 0));
    EXPECT_TRUE(colorNear(readPixel(260, 160), 0, 0, 0));
    EXPECT_TRUE(colorNear(readPixel(308, 160), 0, 0, 0));
    // Counter-clockwise: the bottom-left corner ends at the bottom right.
    EXPECT_GT(readPixel(301, 257).r, 150);
    EXPECT_LT(readPixel(267, 63).r, 40);
}

TEST_F(QuadSetDraw, EmptySetDrawsNothingAndUnlocks) {
    QuadSet set(kScreenWidth, kScreenHeight);
    set.unlock();
    set.rebuild();
    set.draw(kBlendOpaque);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(colorNear(readPixel(284, 160), 0, 0, 0));
    set.unlock();
    EXPECT_TRUE(set.isEditable());
    EXPECT_NE(set.addQuad(), nullptr);
}

TEST_F(QuadSetDraw, BlendModes) {
    QuadSet base(kScreenWidth, kScreenHeight), top(kScreenWidth, kScreenHeight);
    base.unlock();
    top.unlock();
    addPixelQuad(base, 0, 0, 568, 320, Color(0.5f, 0.5f, 0.5f, 1));
    addPixelQuad(top, 0, 0, 568, 320, Color(0.5f, 0.5f, 0.5f, 0.5f));

    struct Case { int32_t mode; int expected; };
    for (const Case& c : {Case{kBlendOpaque, 128}, Case{kBlendAlpha, 128}, Case{kBlendAdditive, 255},
                          Case{kBlendMultiply, 64}}) {
        glClear(GL_COLOR_BUFFER_BIT);
        drawOnce(base, kBlendOpaque);
        drawOnce(top, c.mode);
        EXPECT_TRUE(colorNear(readPixel(100, 100), c.expected, c.expected, c.expected))
            << "mode " << c.mode << " " << readPixel(100, 100);
    }
}

TEST_F(QuadSetDraw, MirrorModesMoveTheTopLeftQuarter) {
    QuadSet set(kScreenWidth, kScreenHeight);
    set.unlock();
    addPixelQuad(set, 0, 0, 284, 160, Color::green);
    struct Case { int32_t mode; int x, y; };
    for (const Case& c : {Case{0, 10, 10}, Case{1, 557, 10}, Case{2, 10, 309}, Case{3, 557, 309}}) {
        glClear(GL_COLOR_BUFFER_BIT);
        screenMirrorMode = c.mode;
        drawOnce(set, kBlendOpaque);
        EXPECT_TRUE(colorNear(readPixel(c.x, c.y), 0, 255, 0)) << "mode " << c.mode;
        int lit = 0;
        for (auto [x, y] : {std::pair{10, 10}, {557, 10}, {10, 309}, {557, 309}}) lit += readPixel(x, y).g > 128;
        EXPECT_EQ(lit, 1) << "mode " << c.mode;
    }
    screenMirrorMode = 0;
}

TEST_F(QuadSetDraw, PngTextureWithTextureRectInPixels) {
    // 100 × 50: left half red, right half blue, top row white (the picture's first row).
    std::vector<uint8_t> raw(100 * 50 * 4);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) {
            uint8_t* p = &raw[(y * 100 + x) * 4];
            const bool top = y < 3;
            p[0] = (x < 50 || top) ? 255 : 0;
            p[1] = top ? 255 : 0;
            p[2] = (x >= 50 || top) ? 255 : 0;
            p[3] = 255;
        }
    const std::string path = tempPath("texture.png");
    ASSERT_EQ(writePng(path, 100, 50, raw, LCT_RGBA, 8), 0u);

    QuadSet set(kScreenWidth, kScreenHeight);
    set.unlock();
    ASSERT_TRUE(set.loadTexture(path));
    EXPECT_TRUE(set.getTextureHasAlpha());
    Quad* quad = addPixelQuad(set, 0, 0, 568, 320, Color::white);
    quad->setTextureRect(FloatCoords(0, 0, 100, 50));
    EXPECT_FLOAT_EQ(quad->textureRect.w, 0.78125f);
    EXPECT_FLOAT_EQ(quad->textureRect.h, 0.78125f);
    drawOnce(set, kBlendOpaque);
    EXPECT_TRUE(colorNear(readPixel(100, 200), 255, 0, 0)) << readPixel(100, 200);
    EXPECT_TRUE(colorNear(readPixel(450, 200), 0, 0, 255)) << readPixel(450, 200);
    EXPECT_TRUE(colorNear(readPixel(100, 8), 255, 255, 255)) << readPixel(100, 8);  // picture top on top
}

TEST_F(QuadSetDraw, RgbTextureOfWidthTwoUploadsTightRows) {
    // 2 × 2 RGB: rows of 6 bytes, which OpenGL's default 4-byte row alignment would misread.
    const std::string path = tempPath("rgb2x2.png");
    ASSERT_EQ(writePng(path, 2, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}, LCT_RGB, 8), 0u);
    QuadSet set(kScreenWidth, kScreenHeight);
    set.unlock();
    ASSERT_TRUE(set.loadTexture(path));
    EXPECT_FALSE(set.getTextureHasAlpha());
    Quad* quad = addPixelQuad(set, 0, 0, 568, 320, Color::white);
    quad->textureRect = FloatCoords(0, 0, 1, 1);
    drawOnce(set, kBlendOpaque);
    // Quadrant centres sample texel centres exactly.
    EXPECT_TRUE(colorNear(readPixel(142, 80), 255, 0, 0)) << readPixel(142, 80);
    EXPECT_TRUE(colorNear(readPixel(426, 80), 0, 255, 0)) << readPixel(426, 80);
    EXPECT_TRUE(colorNear(readPixel(142, 240), 0, 0, 255)) << readPixel(142, 240);
    EXPECT_TRUE(colorNear(readPixel(426, 240), 255, 255, 255)) << readPixel(426, 240);
}

TEST_F(QuadSetDraw, UnusableImagesKeepThePreviousTexture) {
    const std::string path = tempPath("keep.png");
    ASSERT_EQ(writePng(path, 2, 2, std::vector<uint8_t>(16, 255), LCT_RGBA, 8), 0u);
    QuadSet set(kScreenWidth, kScreenHeight);
    set.unlock();
    ASSERT_TRUE(set.loadTexture(path));
    const uint32_t name = set.getTextureName();

    // A 2 × 2 colour-mapped TGA: 8-bit indices into 256 24-bit entries, all zero.
    std::vector<uint8_t> tga = {0, 1, 1, 0, 0, 0, 1, 24, 0, 0, 0, 0, 2, 0, 2, 0, 8, 0};
    tga.resize(18 + 768 + 4, 0);
    Image mapped;
    ASSERT_EQ(mapped.LoadTGA(tga.data(), tga.size()), 1u);
    CaptureStdout();
    EXPECT_FALSE(set.setTexture(mapped));
    EXPECT_EQ(GetCapturedStdout().rfind("W: (QEL::QuadSet::setTexture) ", 0), 0u);
    EXPECT_TRUE(set.getHasTexture());
    EXPECT_EQ(set.getTextureName(), name);
    EXPECT_EQ(glIsTexture(name), GL_TRUE);

    const std::string missing = tempPath("missing-texture.png");
    CaptureStdout();
    EXPECT_FALSE(set.loadTexture(missing));
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Could not load image: " + missing + "\n"), std::string::npos) << out;
    EXPECT_EQ(set.getTextureName(), name);
    EXPECT_EQ(set.getTextureWidth(), 2.0f);
}

TEST_F(QuadSetDraw, QuadsThatCannotShowAreLeftOutButTheBlendStateFollowsTheMode) {
    QuadSet set(kScreenWidth, kScreenHeight);
    set.unlock();
    Quad* turned = addPixelQuad(set, -20, 60, 10, 200, Color::red);  // off screen left of x = -10 ...
    turned->angle = 90;                                                // ... until turned: x -115 to 85
    Quad* corner = addPixelQuad(set, 200, 100, 100, 100, Color(0, 0, 1, 0));
    corner->colors[2] = Color(0, 0, 1, 1);  // only the top-right corner is not transparent
    addPixelQuad(set, 300, 200, 50, 50, Color(0, 1, 0, 0));
    addPixelQuad(set, 700, 100, 50, 50, Color::white);
    drawOnce(set, kBlendAlpha);
    EXPECT_TRUE(colorNear(readPixel(40, 160), 255, 0, 0)) << readPixel(40, 160);
    EXPECT_GT(readPixel(296, 104).b, 150) << readPixel(296, 104);
    EXPECT_TRUE(colorNear(readPixel(325, 225), 0, 0, 0)) << readPixel(325, 225);
    drawOnce(set, kBlendOpaque);  // without blending a transparent quad paints its colour
    EXPECT_TRUE(colorNear(readPixel(325, 225), 0, 255, 0)) << readPixel(325, 225);

    // A set with nothing to show still sets its blend mode for the draws that keep the state.
    QuadSet hidden(kScreenWidth, kScreenHeight), grey(kScreenWidth, kScreenHeight);
    hidden.unlock();
    grey.unlock();
    addPixelQuad(hidden, -100, -100, 50, 50, Color::white);
    addPixelQuad(grey, 0, 0, 568, 320, Color(0.25f, 0.25f, 0.25f, 1));
    glClear(GL_COLOR_BUFFER_BIT);
    drawOnce(hidden, kBlendAdditive);
    drawOnce(grey, 0);
    drawOnce(grey, 0);
    EXPECT_TRUE(colorNear(readPixel(100, 100), 128, 128, 128)) << readPixel(100, 100);
}

TEST_F(QuadSetDraw, PixelAlignedDrawOfAScreenPictureGivesTheFilteredPixels) {
    std::vector<uint8_t> raw(568 * 320 * 3);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    const std::string path = tempPath("screen.png");
    ASSERT_EQ(writePng(path, 568, 320, raw, LCT_RGB, 8), 0u);
    QuadSet set(kScreenWidth, kScreenHeight);
    set.unlock();
    ASSERT_TRUE(set.loadTexture(path));
    Quad* quad = addPixelQuad(set, 0, 0, 568, 320, Color::white);
    quad->setTextureRect(FloatCoords(0, 0, 568, 320));
    auto picture = [&](float size, bool aligned) {
        quad->position = FloatCoords(-1, 1, size, size);
        glClear(GL_COLOR_BUFFER_BIT);
        set.rebuild();
        aligned ? set.drawPixelAligned(kBlendOpaque) : set.draw(kBlendOpaque);
        set.unlock();
        return QEL::testing::readPixels(0, 0, kScreenWidth, kScreenHeight);
    };
    const std::vector<uint8_t> scaled = picture(0.7f, false);
    for (int mode : {0, 1, 2, 3}) {
        screenMirrorMode = mode;
        EXPECT_TRUE(picture(1, true) == picture(1, false)) << "mirror mode " << mode;
    }
    screenMirrorMode = 0;
    // The texture filters linearly again for an ordinary draw, also after a new upload.
    EXPECT_TRUE(picture(0.7f, false) == scaled);
    ASSERT_TRUE(set.loadTexture(path));
    EXPECT_TRUE(picture(0.7f, false) == scaled);
}

// An alpha-blended draw is scissored to the pixels that can sample a texel that is not fully
// transparent; the frame buffer must come out as from an unscissored draw (mode 0 keeps the alpha
// blending the reference sets by hand), whatever the turn, mirror, texture rectangle or repeat.
TEST_F(QuadSetDraw, AlphaBlendedDrawsAreKeptToTheTexelsThatCanShow) {
    auto texture = [](const char* name, int opaqueFrom, int opaqueTo) {
        std::vector<uint8_t> raw(64 * 64 * 4, 0);
        for (int y = opaqueFrom; y <= opaqueTo; ++y)
            for (int x = opaqueFrom; x <= opaqueTo; ++x) {
                uint8_t* p = &raw[(y * 64 + x) * 4];
                p[0] = static_cast<uint8_t>(x * 4);
                p[1] = static_cast<uint8_t>(y * 4);
                p[2] = 200;
                p[3] = static_cast<uint8_t>(100 + x + y);
            }
        const std::string path = tempPath(name);
        EXPECT_EQ(writePng(path, 64, 64, raw, LCT_RGBA, 8), 0u);
        return path;
    };
    QuadSet background(kScreenWidth, kScreenHeight);
    background.unlock();
    Quad* ground = addPixelQuad(background, 0, 0, 568, 320, Color::red);
    ground->colors[1] = Color::green;
    ground->colors[3] = Color::blue;

    struct Case {
        const char* texture;
        int opaqueFrom, opaqueTo;
        FloatCoords textureRect;
        float angle;
        int mirror;
    };
    for (const Case& c : {Case{"middle.png", 20, 40, FloatCoords(0, 0, 1, 1), 0, 0},
                          Case{"middle.png", 20, 40, FloatCoords(0, 0, 1, 1), 30, 3},
                          Case{"middle.png", 20, 40, FloatCoords(0.4f, 0.1f, 0.5f, 0.8f), -75, 1},
                          Case{"middle.png", 20, 40, FloatCoords(-0.5f, 0, 2, 1), 10, 2},
                          Case{"edge.png", 0, 10, FloatCoords(0.5f, 0.5f, 0.5f, 0.5f), 5, 0}}) {
        QuadSet set(kScreenWidth, kScreenHeight);
        set.unlock();
        ASSERT_TRUE(set.loadTexture(texture(c.texture, c.opaqueFrom, c.opaqueTo)));
        Quad* quad = addPixelQuad(set, 120, 40, 300, 220, Color(1, 1, 1, 0.9f));
        quad->textureRect = c.textureRect;
        quad->angle = c.angle;
        screenMirrorMode = c.mirror;
        std::vector<uint8_t> pictures[2];
        for (std::vector<uint8_t>& picture : pictures) {
            drawOnce(background, kBlendOpaque);
            if (&picture == &pictures[0]) {
                drawOnce(set, kBlendAlpha);
            } else {
                glEnable(GL_BLEND);
                glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
                drawOnce(set, 0);
            }
            picture = QEL::testing::readPixels(0, 0, kScreenWidth, kScreenHeight);
        }
        EXPECT_TRUE(pictures[0] == pictures[1]) << c.texture << " turned " << c.angle << " mirror " << c.mirror;
        EXPECT_EQ(glIsEnabled(GL_SCISSOR_TEST), GL_FALSE);
    }
    screenMirrorMode = 0;
}
