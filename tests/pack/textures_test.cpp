// The shared pictures must hold exactly the texture rectangles the damage display, the shield and
// the fire-mode switch cut from them. Texture rectangles count y from the bottom of the picture.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/pack/packFiles.h"

namespace QEL {
namespace packtest {
namespace {

struct Rect {
    const char* what;
    unsigned x, y, w, h;
    bool solid;  // stretched over a whole quad: one opaque colour, or the stretch shows seams
};

struct SharedPicture {
    const char* name;
    unsigned width, height;
    std::vector<Rect> rects;
};

TEST(SharedPictures, HaveTheSizesTheirRectanglesNeedAndEveryRectangleShowsSomething) {
    const SharedPicture pictures[] = {
        {"_switchModeButton", 192, 64, {{"single", 0, 0, 64, 64, false}, {"burst", 64, 0, 64, 64, false}, {"auto", 128, 0, 64, 64, false}}},
        {"_helmetBodyArmor", 128, 64, {{"armour icon 1", 0, 0, 64, 64, false}, {"armour icon 2", 64, 0, 64, 64, false}}},
        {"_deathGUI", 512, 512,
         {{"vignette", 0, 0, 384, 256, false}, {"blood", 0, 256, 384, 256, false}, {"backdrop", 400, 200, 5, 5, true},
          {"death picture", 385, 200, 126, 200, false}}},
        {"_deathGAME", 512, 256,
         {{"gauge", 2, 0, 100, 215, false}, {"gauge blink", 102, 0, 100, 215, false}, {"gauge complete", 202, 0, 100, 215, false},
          {"gauge complete blink", 302, 0, 100, 215, false}, {"death icon", 398, 156, 100, 100, false}, {"strip", 420, 5, 5, 5, true}}},
        {"_shield", 512, 256,
         {{"intact", 0, 0, 256, 256, false}, {"broken", 256, 0, 256, 256, false}, {"dimmer and bar", 128, 100, 2, 2, true}}},
    };
    for (const SharedPicture& s : pictures) {
        Picture p;
        if (!loadPicture(s.name, p)) continue;
        EXPECT_EQ(p.width, s.width) << s.name;
        ASSERT_EQ(p.height, s.height) << s.name;
        for (const Rect& r : s.rects) {
            SCOPED_TRACE(std::string(s.name) + " " + r.what);
            ASSERT_TRUE(r.x + r.w <= p.width && r.y + r.h <= p.height) << "outside the picture";
            bool showsSomething = false;
            const uint8_t* first = p.texel(r.x, r.y);
            for (unsigned y = r.y; y < r.y + r.h; ++y)
                for (unsigned x = r.x; x < r.x + r.w; ++x) {
                    showsSomething |= p.texel(x, y)[3] > 0;
                    if (r.solid) { ASSERT_TRUE(std::equal(first, first + 4, p.texel(x, y))) << "not one colour at " << x << "," << y; }
                }
            EXPECT_TRUE(showsSomething) << "empty";
            if (r.solid) { EXPECT_EQ(first[3], 255) << "not opaque"; }
        }
    }
}

TEST(SharedPictures, ColourTheQuadsAsTheyAreBlended) {
    Picture gui, shield;
    ASSERT_TRUE(loadPicture("_deathGUI", gui));
    ASSERT_TRUE(loadPicture("_shield", shield));
    // The vignette is multiplied over the screen: white in the middle lets the picture through.
    const uint8_t* centre = gui.texel(192, 128);
    const uint8_t* corner = gui.texel(1, 1);
    EXPECT_GT(centre[0] + centre[1] + centre[2], 3 * 240);
    EXPECT_LT(corner[0] + corner[1] + corner[2], 3 * 128);
    EXPECT_EQ(gui.texel(192, 256 + 128)[3], 0) << "the blood overlay is not see-through in the middle";
    // The shield's dimmer and energy bar take their colour from the quad, so their block is white.
    const uint8_t* bar = shield.texel(128, 100);
    EXPECT_EQ(bar[0] + bar[1] + bar[2], 3 * 255);
}

}  // namespace
}  // namespace packtest
}  // namespace QEL
