// The shared pictures must hold exactly the texture rectangles the damage display, the shield and
// the fire-mode switch cut from them. Texture rectangles count y from the bottom of the picture.
#include <gtest/gtest.h>

#include "tests/pack/packFiles.h"

namespace QEL {
namespace packtest {
namespace {

struct Rect {
    const char* what;
    unsigned x, y, w, h;
};

struct SharedPicture {
    const char* name;
    unsigned width, height;
    std::vector<Rect> rects;
};

const std::vector<SharedPicture>& sharedPictures() {
    static const std::vector<SharedPicture> pictures = {
        {"_switchModeButton", 192, 64, {{"single", 0, 0, 64, 64}, {"burst", 64, 0, 64, 64}, {"auto", 128, 0, 64, 64}}},
        {"_helmetBodyArmor", 128, 64, {{"armour icon 1", 0, 0, 64, 64}, {"armour icon 2", 64, 0, 64, 64}}},
        {"_deathGUI", 512, 512,
         {{"vignette", 0, 0, 384, 256}, {"blood", 0, 256, 384, 256}, {"backdrop", 400, 200, 5, 5}, {"death picture", 385, 200, 126, 200}}},
        {"_deathGAME", 512, 256,
         {{"gauge", 2, 0, 100, 215}, {"gauge blink", 102, 0, 100, 215}, {"gauge complete", 202, 0, 100, 215},
          {"gauge complete blink", 302, 0, 100, 215}, {"death icon", 398, 156, 100, 100}, {"strip", 420, 5, 5, 5}}},
        {"_shield", 512, 256, {{"intact", 0, 0, 256, 256}, {"broken", 256, 0, 256, 256}, {"dimmer and bar", 128, 100, 2, 2}}},
    };
    return pictures;
}

bool showsSomething(const Picture& p, const Rect& r) {
    for (unsigned y = r.y; y < r.y + r.h; ++y)
        for (unsigned x = r.x; x < r.x + r.w; ++x)
            if (p.texel(x, y)[3] > 0) return true;
    return false;
}

// Blocks that are stretched over a whole quad must be one opaque colour, or the stretch shows seams.
void expectSolid(const Picture& p, const Rect& r, const char* picture) {
    const uint8_t* first = p.texel(r.x, r.y);
    EXPECT_EQ(first[3], 255) << picture << " " << r.what << " is not opaque";
    for (unsigned y = r.y; y < r.y + r.h; ++y)
        for (unsigned x = r.x; x < r.x + r.w; ++x)
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(p.texel(x, y)[c], first[c]) << picture << " " << r.what << " is not one colour at " << x << "," << y;
}

TEST(SharedPictures, HaveTheSizesTheirRectanglesNeedAndEveryRectangleShowsSomething) {
    for (const SharedPicture& s : sharedPictures()) {
        Picture p;
        if (!loadPicture(s.name, p)) continue;
        EXPECT_EQ(p.width, s.width) << s.name;
        EXPECT_EQ(p.height, s.height) << s.name;
        for (const Rect& r : s.rects) {
            EXPECT_LE(r.x + r.w, p.width) << s.name << " " << r.what;
            EXPECT_LE(r.y + r.h, p.height) << s.name << " " << r.what;
            if (r.x + r.w <= p.width && r.y + r.h <= p.height) { EXPECT_TRUE(showsSomething(p, r)) << s.name << " " << r.what << " is empty"; }
        }
    }
}

TEST(SharedPictures, StretchedBlocksAreSolid) {
    Picture gui, game, shield;
    ASSERT_TRUE(loadPicture("_deathGUI", gui));
    ASSERT_TRUE(loadPicture("_deathGAME", game));
    ASSERT_TRUE(loadPicture("_shield", shield));
    expectSolid(gui, {"backdrop", 400, 200, 5, 5}, "_deathGUI");
    expectSolid(game, {"strip", 420, 5, 5, 5}, "_deathGAME");
    // The dimmer and the energy bar take their colour from the quad, so the block must be white.
    Rect bar{"dimmer and bar", 128, 100, 2, 2};
    expectSolid(shield, bar, "_shield");
    const uint8_t* t = shield.texel(bar.x, bar.y);
    EXPECT_EQ(t[0] + t[1] + t[2], 3 * 255) << "the shield's bar block is not white";
}

TEST(SharedPictures, VignetteIsClearInTheMiddleAndDarkAtTheRim) {
    // The vignette is multiplied over the screen: white lets the picture through.
    Picture gui;
    ASSERT_TRUE(loadPicture("_deathGUI", gui));
    const uint8_t* centre = gui.texel(192, 128);
    const uint8_t* corner = gui.texel(1, 1);
    EXPECT_GT(centre[0] + centre[1] + centre[2], 3 * 240);
    EXPECT_LT(corner[0] + corner[1] + corner[2], 3 * 128);
    // The blood overlay is see-through in the middle.
    EXPECT_EQ(gui.texel(192, 256 + 128)[3], 0);
}

}  // namespace
}  // namespace packtest
}  // namespace QEL
