// The weapon model: roles by name, lookup, the animation handed out per trigger pull, durations.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "render/QuadSet.h"
#include "weapon/cAsset.h"

namespace {

using QEL::cAnimation;

class AssetModel : public ::testing::Test {
protected:
    cAnimation* add(const std::string& name, int frameCount = 3) {
        cAnimation* animation = new cAnimation(&background, frameCount, name);
        asset.addAnimation(animation);
        return animation;
    }
    QEL::QuadSet background{568, 320};
    QEL::cAsset asset{nullptr};
};

TEST_F(AssetModel, IntroIsHandedOutOnceThenARandomShot) {
    add("intro");
    cAnimation* shot1 = add("shot1");
    cAnimation* shot2 = add("shot2");
    EXPECT_EQ(asset.getAnimation(QEL::kFireModeSingle)->name, "intro");
    EXPECT_FALSE(asset.hasIntro);
    std::set<cAnimation*> seen;
    for (int i = 0; i < 50; ++i) seen.insert(asset.getAnimation(QEL::kFireModeAuto));
    EXPECT_EQ(seen, (std::set<cAnimation*>{shot1, shot2}));
}

TEST_F(AssetModel, RolesNeedExactlyOneDigitAndExactCase) {
    cAnimation* first = add("shot1");
    cAnimation* second = add("shot1");
    for (const char* plain : {"Shot1", "shot10", "shot01"}) {
        cAnimation* a = add(plain);
        EXPECT_FALSE(a->isShot || a->isBurst || a->isIdle) << plain;
        EXPECT_EQ(asset.findAnimation(plain), a);
    }
    EXPECT_EQ(asset.shotAnimations, (std::vector<cAnimation*>{first, second}));
    EXPECT_EQ(asset.findAnimation("shot1"), first);
    EXPECT_EQ(asset.findAnimation("nothing"), nullptr);
    EXPECT_TRUE(add("burst9")->isBurst);
    EXPECT_EQ(asset.burstAnimations.size(), 1u);
    EXPECT_FALSE(asset.hasIdle);

    // emptyState is an idle that is never handed out as one; firstShot is a shot outside the list.
    cAnimation* empty = add("emptyState");
    EXPECT_TRUE(empty->isEmptyState && empty->isIdle);
    EXPECT_TRUE(asset.idleAnimations.empty());
    EXPECT_EQ(asset.getIdleAnimation(), nullptr);
    cAnimation* firstShot = add("firstShot");
    EXPECT_TRUE(firstShot->isShot && firstShot->isFirstShot);
    EXPECT_EQ(asset.shotAnimations.size(), 2u);
    EXPECT_TRUE(add("windDown")->isWindDown);
    EXPECT_TRUE(add("idle0")->isIdle);
    EXPECT_TRUE(asset.hasIdle);
}

TEST_F(AssetModel, NoShotsGiveTheErrorLine) {
    add("burst1");
    std::ostringstream log;
    std::streambuf* previous = std::cout.rdbuf(log.rdbuf());
    EXPECT_EQ(asset.getAnimation(QEL::kFireModeSingle), nullptr);
    EXPECT_EQ(asset.getAnimation(static_cast<QEL::FireMode>(7)), nullptr);
    std::cout.rdbuf(previous);
    EXPECT_EQ(log.str(), "E: (QEL::cAsset::getAnimation) \aCould not find single shot. (ie. shot1, shot2, shot3) \n");
    EXPECT_EQ(asset.getAnimation(QEL::kFireModeBurst)->name, "burst1");
}

TEST_F(AssetModel, DurationIsFramesAt30PerSecond) {
    const std::pair<int, int> cases[] = {{45, 1500}, {1, 33}, {3, 100}, {0, 0}, {2147483647, 2147483647}};
    for (const auto& [frames, ms] : cases) EXPECT_EQ(add("a", frames)->durationMs, ms) << frames << " frames";
}

}  // namespace
