#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "effects/teamDamage.h"
#include "render/QuadSet.h"
#include "sound/cSoundManager.h"
#include "testing/effectsTestWorld.h"

using namespace QEL;
using effectsTest::setNow;

namespace {

// Where a quad placed at screen pixel (x, y) with size (w, h) must be.
void expectAt(const Quad* quad, float x, float y, float w, float h, float angle) {
    ASSERT_NE(quad, nullptr);
    EXPECT_NEAR(quad->position.x, x / 568 * 2 - 1, 1e-5);
    EXPECT_NEAR(quad->position.y, 1 - y / 320 * 2, 1e-5);
    EXPECT_NEAR(quad->position.w, w / 568, 1e-5);
    EXPECT_NEAR(quad->position.h, h / 320, 1e-5);
    EXPECT_FLOAT_EQ(quad->angle, angle);
}

class TeamDamageTest : public effectsTest::EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        effectsTest::writePng("_helmetBodyArmor", 128, 64, 0xFFFFFFFF);
        effectsTest::writePng("_deathGUI", 512, 512, 0xFF0000FF, 0x808080FF);  // blood above, vignette below
        effectsTest::writePng("_deathGAME", 512, 256, 0x0000FFFF);
        effectsTest::writePng("_shield", 512, 256, 0x00FFFFFF);
        for (const char* name : {"resurrect", "Digout_01", "Digout_02", "Digout_03", "Digout_04", "Digout_05",
                                 "Digout_06", "dodgeOn", "dodgeOn1", "dodgeOn2", "dodgeOff", "dodgeOff1", "dodgeOff2",
                                 "dodgeFail", "dodgeFail1", "dodgeFail2", "dodgeShieldRecharged"})
            effectsTest::writeOgg(name);
        effectsTest::writeText("damage.txt", "1\n");  // factor 1.0
        damage = std::make_unique<teamDamage>(&sounds);
    }
    void TearDown() override {
        damage.reset();
        EffectsTest::TearDown();
    }

    // Presses the input while dead, releasing it first (the release arms the next dig).
    void releaseAndDig(int times) {
        for (int i = 0; i < times; ++i) {
            damage->armDig();
            damage->digPress();
        }
    }

    cSoundManager sounds;
    std::unique_ptr<teamDamage> damage;
};

TEST_F(TeamDamageTest, TheDamageSettingScalesHitsAndTheArmourIconsShowWhatIsLeft) {
    effectsTest::writeText("damage.txt", "51\n");
    damage->set(2);
    EXPECT_FLOAT_EQ(damage->damageFactor, 0.5f);
    EXPECT_TRUE(damage->hit(-100));
    EXPECT_FLOAT_EQ(damage->health, 150.0f);
    EXPECT_FLOAT_EQ(damage->armourIcon1->colors[0].a, 0.0f);
    EXPECT_FLOAT_EQ(damage->armourIcon2->colors[0].a, 1.0f);
    EXPECT_FLOAT_EQ(damage->armourIcon2->colors[0].r, 1.0f);  // red team
    expectAt(damage->armourIcon1, 206, 10, 50, 50, 0);
    expectAt(damage->armourIcon2, 256, 10, 50, 50, 0);
    damage->hit(-50);  // 125: icon 2 half faded
    EXPECT_NEAR(damage->armourIcon2->colors[0].a, 0.5f, 1e-5);

    effectsTest::writeText("damage.txt", "150\n");
    damage->set(3);
    EXPECT_FLOAT_EQ(damage->damageFactor, 0.007f);
    EXPECT_FLOAT_EQ(damage->armourIcon1->colors[0].g, 1.0f);  // green team
    std::remove(effectsTest::assetFile("damage.txt").c_str());
    damage->set(4);
    EXPECT_FLOAT_EQ(damage->damageFactor, 1.01f);
}

TEST_F(TeamDamageTest, FallingBelowAHundredHidesTheIconsAndLoadsTheOverlayOnce) {
    damage->set(2);
    damage->health = 110.0f;
    EXPECT_FALSE(damage->damageSet->getHasTexture());
    EXPECT_TRUE(damage->hit(-20));
    EXPECT_FLOAT_EQ(damage->health, 90.0f);
    EXPECT_FLOAT_EQ(damage->armourIcon1->colors[0].a, 0.0f);
    EXPECT_FLOAT_EQ(damage->armourIcon2->colors[0].a, 0.0f);
    EXPECT_TRUE(damage->damageSet->getHasTexture());
    EXPECT_EQ(damage->damageSet->quadCount(), 3u);  // vignette, backdrop, death picture
    damage->hit(-10);
    EXPECT_EQ(damage->damageSet->quadCount(), 3u);
}

TEST_F(TeamDamageTest, RegenerationCountsFromTheMomentHealthFellAndStopsAtExactlyAHundred) {
    damage->set(2);
    setNow(100000);  // long after any earlier update
    damage->hit(-150);
    EXPECT_TRUE(damage->update(100010));
    EXPECT_NEAR(damage->health, 50.1f, 1e-4);
    damage->update(105010);
    EXPECT_NEAR(damage->health, 100.0f, 1e-4);
    EXPECT_FALSE(damage->update(105020));  // healthy: nothing to do

    setNow(105020);
    damage->hit(-1);
    damage->health = 99.995f;
    damage->update(105030);
    EXPECT_EQ(damage->health, 100.0f);
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    damage->draw();
    EXPECT_TRUE(QEL::testing::colorNear(QEL::testing::readPixel(284, 160), 128, 128, 128));
    EXPECT_TRUE(QEL::testing::colorNear(QEL::testing::readPixel(230, 35), 128, 128, 128));  // no icons
}

TEST_F(TeamDamageTest, ABreakingShieldLetsTheWholeHitThrough) {
    damage->set(2);
    damage->setDodge(true);
    ASSERT_NE(damage->shield->picture, nullptr);
    EXPECT_TRUE(damage->hit(-20));  // soaked up
    EXPECT_FLOAT_EQ(damage->health, 200.0f);
    damage->update(2000);
    damage->update(3000);
    EXPECT_FLOAT_EQ(damage->shield->energy, 300.0f);  // an intact shield does not recharge

    damage->shield->energy = 10.0f;
    EXPECT_TRUE(damage->hit(-20));
    EXPECT_FLOAT_EQ(damage->health, 180.0f);
    EXPECT_TRUE(damage->shield->broken);
    EXPECT_EQ(damage->shield->energy, 0.0f);
    EXPECT_FLOAT_EQ(damage->shield->picture->textureRect.x, 0.5f);  // the broken picture
    EXPECT_NE(sounds.findGroup("dodgeFail"), nullptr);

    damage->update(4000);
    damage->update(5000);  // 1000 ms × 0.04
    EXPECT_FLOAT_EQ(damage->shield->energy, 80.0f);
    EXPECT_TRUE(damage->shield->broken);
    damage->update(12001);
    EXPECT_FALSE(damage->shield->broken);
    EXPECT_FLOAT_EQ(damage->shield->energy, 320.0f);
    EXPECT_FLOAT_EQ(damage->shield->picture->textureRect.x, 0.0f);
    EXPECT_NE(sounds.findGroup("dodgeRecharge"), nullptr);
    expectAt(damage->shield->bar, 234, 150, 100, 20, 0);
}

TEST_F(TeamDamageTest, DeathComesBelowMinusFifteen) {
    damage->set(2);
    damage->health = 0.0f;
    EXPECT_TRUE(damage->hit(-15));
    EXPECT_FALSE(damage->dead);
    damage->health = -0.01f;
    EXPECT_FALSE(damage->hit(-15));
    EXPECT_TRUE(damage->dead);
    EXPECT_FALSE(damage->hit(-1));
    expectAt(damage->deathPicture, 284, 60, 128, 200, 0);
    expectAt(damage->backdrop, -10, -10, 588, 340, 0);
    expectAt(damage->deathIcon, 154, 225, 100, 100, 0);
    expectAt(damage->gauge, 164, 270, 100, 215, 0);
}

TEST_F(TeamDamageTest, DiggingOutTakesQuickPressesEachReleasedBeforeTheNext) {
    damage->set(2);
    damage->health = 0.0f;
    EXPECT_FALSE(damage->hit(-50, true));  // killed while the trigger was down
    damage->digPress();
    EXPECT_EQ(damage->digProgress, 0.0f);
    damage->armDig();
    damage->digPress();
    damage->digPress();  // no release in between
    EXPECT_FLOAT_EQ(damage->digProgress, 17.0f);

    uint32_t t = 1000;
    for (int i = 0; i < 30; ++i) {
        releaseAndDig(1);
        damage->update(t += 250);  // slower than 17 / 0.08 = 212.5 ms: the gauge drains faster
    }
    EXPECT_LT(damage->digProgress, 17.0f);
    EXPECT_EQ(damage->gaugeComplete, 0);

    releaseAndDig(12);
    damage->update(t + 10);
    EXPECT_EQ(damage->gaugeComplete, 200);
    EXPECT_FLOAT_EQ(damage->digProgress, 200.0f);
    damage->update(t + 1500);
    EXPECT_TRUE(damage->dead);
    damage->update(t + 1501);  // 1500 ms after the gauge filled
    EXPECT_FALSE(damage->dead);
    EXPECT_FLOAT_EQ(damage->health, 200.0f);
    EXPECT_FLOAT_EQ(damage->deathPicture->position.x, 1000.0f / 568 * 2 - 1);  // hidden again

    damage->die();  // nothing held at death: the first press counts
    damage->digPress();
    EXPECT_FLOAT_EQ(damage->digProgress, 17.0f);
}

TEST_F(TeamDamageTest, ThePortraitLayoutTurnsTheDisplay) {
    damage->setPortrait(true);
    damage->set(3);
    expectAt(damage->armourIcon1, 10, 146, 50, 50, 90);
    expectAt(damage->armourIcon2, 10, 106, 50, 50, 90);
    damage->setDodge(true);
    expectAt(damage->shield->picture, 156, 32, 256, 256, 90);
    EXPECT_FLOAT_EQ(damage->shield->bar->angle, 90.0f);
    damage->setDodge(false);
    damage->die();
    expectAt(damage->deathPicture, 244, 10, 128, 200, 90);
    expectAt(damage->deathIcon, 382, 175, 100, 100, 90);
    expectAt(damage->strip, 474, 0, 568, 320, 0);
    damage->digPress();
    damage->update(1000);
    EXPECT_NEAR(damage->gauge->position.x, (484.0f - 17.0f) / 568 * 2 - 1, 1e-5);
    EXPECT_FLOAT_EQ(damage->gauge->angle, 90.0f + std::sin(1000.0f / 15.0f));
}

TEST_F(TeamDamageTest, MissingPicturesAreReportedAndTheDamageGoesOn) {
    for (const char* name : {"_helmetBodyArmor.png", "_deathGUI.png", "_deathGAME.png"})
        std::remove(effectsTest::assetFile(name).c_str());
    const std::string out = effectsTest::stdoutOf([&] {
        damage->set(2);
        damage->hit(-150);
        damage->hit(-100);
    });
    for (const std::string line :
         {"W: (QEL::teamDamage::set) [teamDamage] could not load image file: ../assets/_helmetBodyArmor.png\n",
          "W: (QEL::teamDamage::loadDamageTexture) [teamDamage] could not load 'deathGUI' image file: "
          "../assets/_deathGUI.png\n",
          "W: (QEL::teamDamage::loadDeathTexture) [teamDamage] could not load deathGame image file: "
          "../assets/_deathGAME.png\n"})
        EXPECT_NE(out.find(line), std::string::npos) << out;
    EXPECT_TRUE(damage->dead);
    damage->update(1100);
    damage->draw();
    damage->digPress();
}

TEST_F(TeamDamageTest, WithoutATeamTheDisplayStaysOff) {
    damage->set(1);
    EXPECT_TRUE(damage->hit(-500));
    EXPECT_FLOAT_EQ(damage->health, 200.0f);
    EXPECT_FALSE(damage->update(2000));
    EXPECT_EQ(damage->armourSet->quadCount(), 0u);
}

}  // namespace
