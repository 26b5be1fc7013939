// The weapon model: roles by name, lookup, the animation handed out per trigger pull, durations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>

#include "render/QuadSet.h"
#include "weapon/cAsset.h"

namespace {

using QEL::cAnimation;
using QEL::cAsset;

class AssetModel : public ::testing::Test {
protected:
    cAnimation* add(const std::string& name, int frameCount = 3) {
        cAnimation* animation = new cAnimation(&background, frameCount, name);
        asset.addAnimation(animation);
        return animation;
    }
    QEL::QuadSet background{568, 320};
    cAsset asset{nullptr};
};

TEST_F(AssetModel, IntroIsHandedOutOnceThenShots) {
    add("intro");
    cAnimation* shot1 = add("shot1");
    cAnimation* shot2 = add("shot2");
    ASSERT_TRUE(asset.hasIntro);
    EXPECT_EQ(asset.getAnimation(QEL::kFireModeSingle)->name, "intro");
    EXPECT_FALSE(asset.hasIntro);
    std::set<cAnimation*> seen;
    for (int i = 0; i < 50; ++i) seen.insert(asset.getAnimation(QEL::kFireModeAuto));
    EXPECT_EQ(seen, (std::set<cAnimation*>{shot1, shot2}));
}

TEST_F(AssetModel, RolesNeedExactlyOneDigitAndExactCase) {
    cAnimation* first = add("shot1");
    cAnimation* second = add("shot1");
    cAnimation* capital = add("Shot1");
    cAnimation* ten = add("shot10");
    cAnimation* padded = add("shot01");
    cAnimation* burst = add("burst9");
    cAnimation* idle = add("idle0");
    ASSERT_EQ(asset.shotAnimations.size(), 2u);
    EXPECT_EQ(asset.shotAnimations[0], first);
    EXPECT_EQ(asset.shotAnimations[1], second);
    EXPECT_EQ(asset.findAnimation("shot1"), first);
    for (cAnimation* plain : {capital, ten, padded}) {
        EXPECT_FALSE(plain->isShot || plain->isBurst || plain->isIdle) << plain->name;
    }
    EXPECT_EQ(asset.findAnimation("shot10"), ten);
    EXPECT_TRUE(burst->isBurst);
    ASSERT_EQ(asset.burstAnimations.size(), 1u);
    EXPECT_TRUE(idle->isIdle);
    EXPECT_TRUE(asset.hasIdle);
    EXPECT_EQ(asset.findAnimation("nothing"), nullptr);
}

TEST_F(AssetModel, NamedRoles) {
    cAnimation* empty = add("emptyState");
    cAnimation* first = add("firstShot");
    cAnimation* windDown = add("windDown");
    EXPECT_TRUE(empty->isEmptyState);
    EXPECT_TRUE(empty->isIdle);
    EXPECT_TRUE(asset.idleAnimations.empty());
    EXPECT_FALSE(asset.hasIdle);
    EXPECT_EQ(asset.getIdleAnimation(), nullptr);
    EXPECT_TRUE(first->isShot && first->isFirstShot);
    EXPECT_TRUE(asset.shotAnimations.empty());
    EXPECT_TRUE(windDown->isWindDown);
}

TEST_F(AssetModel, NoShotsGiveTheErrorLine) {
    add("burst1");
    std::ostringstream log;
    std::streambuf* previous = std::cout.rdbuf(log.rdbuf());
    EXPECT_EQ(asset.getAnimation(QEL::kFireModeSingle), nullptr);
    EXPECT_EQ(asset.getAnimation(7), nullptr);
    std::cout.rdbuf(previous);
    EXPECT_EQ(log.str(), "E: (QEL::cAsset::getAnimation) \aCould not find single shot. (ie. shot1, shot2, shot3) \n");
    EXPECT_EQ(asset.getAnimation(QEL::kFireModeBurst)->name, "burst1");
}

TEST_F(AssetModel, DurationAndBackgroundPlacement) {
    background.unlock();
    background.addQuad();
    EXPECT_EQ(add("a", 45)->durationMs, 1500);
    EXPECT_EQ(add("b", 1)->durationMs, 33);
    EXPECT_EQ(add("c", 3)->durationMs, 100);
    EXPECT_EQ(add("huge", 2147483647)->durationMs, 2147483647);  // held at the int range, not wrapped
    EXPECT_EQ(add("d", 0)->durationMs, 0);
    // The background's first quad covers the whole screen.
    const float* v = background.getVertices();
    EXPECT_FLOAT_EQ(v[0], -1.0f);  // bottom-left
    EXPECT_FLOAT_EQ(v[1], -1.0f);
    EXPECT_FLOAT_EQ(v[6], 1.0f);   // top-right
    EXPECT_FLOAT_EQ(v[7], 1.0f);
}

}  // namespace
