#include <gtest/gtest.h>

#include <set>

#include "effects/cEmitter.h"
#include "effects/overlayEffects.h"
#include "sound/cSoundManager.h"
#include "tests/effects/effectsTestWorld.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponTest.h"

using namespace QEL;
using effectsTest::EffectsTest;

namespace {

const char* const kEffectsFile = R"(<?xml version="1.0"?>
<overlayHitEffects>
  <emitters>
    <emitter name="spark" durationMS="5000" scale="8" rangeX="200" rangeY="100"/>
    <emitter name="smoke" durationMS="5000" scale="8"/>
  </emitters>
  <effects>
    <effect id="0" name="graze">
      <spurt spurtID="3" dMin="5" dMax="5" duration="1000">
        <emitter name="spark" count="10"/>
        <sound file="hitA"/><sound file="hitB"/>
      </spurt>
    </effect>
    <effect name="noId"><spurt/></effect>
    <effect id="-1" name="minus"><spurt/></effect>
    <effect id="2"><spurt spurtID="1" dMin="5" dMax="10"/></effect>
    <effect id="3" name="empty"/>
    <effect id="4" name="late"><spurt duration="1000"><emitter name="smoke" count="3" delay="400"/></spurt></effect>
    <effect id="5" name="inverted"><spurt dMin="7" dMax="2"><emitter name="nowhere" count="4"/></spurt></effect>
    <effect id="6" name="swap"><spurt dMin="9" dMax="9"><emitter name="spark" count="2"/>
      <command type="1" cmd="rifle"/><command type="1" cmd="ignored"/></spurt></effect>
    <effect id="7" name="swapMissing"><spurt dMin="9" dMax="9"><emitter name="spark" count="2"/>
      <command type="1" cmd="nosuch"/></spurt></effect>
    <effect id="8" name="swapOther"><spurt dMin="9" dMax="9"><emitter name="spark" count="2"/>
      <command type="1" cmd="pistol"/></spurt></effect>
  </effects>
</overlayHitEffects>
)";

int32_t liveParticles(const cEmitter* emitter) {
    int32_t live = 0;
    for (int i = 0; i < cEmitter::kParticleCount; ++i) live += emitter->particle(i).active ? 1 : 0;
    return live;
}

class OverlayEffectsTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        effectsTest::writePng("spark", 4, 4, 255, 255, 0);
        effectsTest::writePng("smoke", 4, 4, 128, 128, 128);
        effectsTest::writeOgg("hitB");
        effectsTest::writeText("EFFECTS.xml", kEffectsFile);
    }
    void TearDown() override {
        releaseLastTestedDocument();
        EffectsTest::TearDown();
    }

    // Plays effect `id` at the current clock reading; the damage it deals (-1 when it dealt none).
    int32_t play(int32_t id) {
        int32_t damage = -1;
        fx.findEffect(id)->play(damage);
        return damage;
    }
    // Moves the clock to `ms` and runs one manager update.
    void at(uint32_t ms) {
        effectsTest::setNow(ms);
        fx.update(ms);
    }
    cEffectSpurt* spurtOf(int32_t id) { return fx.findEffect(id)->spurts[0]; }

    cSoundManager sounds;
    cOverlayFXMgr fx{&sounds, nullptr, 568, 320};
};

TEST_F(OverlayEffectsTest, TheEffectsFileIsReadWithItsWarningsAndDefaults) {
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(fx.loadRulesFile("../assets/EFFECTS.xml"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "W: (QEL::cOverlayFXMgr::processEffect) WARNING: id not specified in <effect> element.\n\n"
              "W: (QEL::cOverlayFXMgr::processEffect) WARNING: id not specified in <effect> element.\n\n"
              "W: (QEL::cOverlayFXMgr::processEffect) WARNING: name not specified in <effect> element.\n\n");

    ASSERT_EQ(fx.emitters.size(), 2u);
    std::vector<int32_t> ids;
    for (cOverlayEffect* effect : fx.effects) ids.push_back(effect->id);
    EXPECT_EQ(ids, (std::vector<int32_t>{0, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(fx.findEffect(-1), nullptr);
    EXPECT_EQ(fx.findEffect(2)->name, "");  // kept without a name

    const cEffectSpurt* graze = spurtOf(0);
    EXPECT_EQ(graze->soundFile, "hitB");  // the later <sound> wins
    EXPECT_EQ(graze->emitters[0], fx.findEmitter("spark"));
    EXPECT_FLOAT_EQ(graze->intervals[0], 100.0f);
    EXPECT_EQ(spurtOf(2)->durationMs, 100);
    EXPECT_EQ(spurtOf(4)->intervals[0], 200.0f);
    EXPECT_EQ(spurtOf(5)->emitters[0], nullptr);
    EXPECT_EQ(spurtOf(6)->commandType, 1);
    EXPECT_EQ(spurtOf(6)->command, "rifle");  // only the first <command>
}

TEST_F(OverlayEffectsTest, AFileWithAnotherRootLoadsNothing) {
    effectsTest::writeText("wrong.xml", "<overlayHitEffect><effects><effect id=\"1\"/></effects></overlayHitEffect>");
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(fx.loadRulesFile("../assets/wrong.xml"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "E: (QEL::cOverlayFXMgr::processRoot) \a[overlayEffects.cpp] Error: Invalid rules file. Missing "
              "<overlayHitEffects>\n");
    EXPECT_TRUE(fx.effects.empty());
    EXPECT_TRUE(fx.emitters.empty());
}

TEST_F(OverlayEffectsTest, DamageComesFromTheSpurtsRange) {
    ASSERT_TRUE(fx.loadRulesFile("../assets/EFFECTS.xml"));
    int32_t damage = 0;
    EXPECT_EQ(fx.findEffect(0)->play(damage), 3);
    EXPECT_EQ(damage, 5);

    std::set<int32_t> seen;
    for (int i = 0; i < 300; ++i) seen.insert(play(2));
    EXPECT_EQ(seen, (std::set<int32_t>{5, 6, 7, 8, 9, 10}));

    EXPECT_EQ(play(5), 7);  // dMax below dMin deals dMin; its unknown emitter is skipped
    at(3000);
    EXPECT_EQ(spurtOf(5)->spawned[0], 0);

    ::testing::internal::CaptureStdout();
    damage = 42;
    EXPECT_EQ(fx.findEffect(3)->play(damage), -1);
    EXPECT_EQ(damage, 42);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "W: (QEL::cOverlayEffect::play) [overlayEffects.cpp] Attempted to use an empty effect with ID: 3\n");
}

TEST_F(OverlayEffectsTest, TheSoundPoolIsMadeOnFirstPlayAndKept) {
    ASSERT_TRUE(fx.loadRulesFile("../assets/EFFECTS.xml"));
    EXPECT_EQ(spurtOf(0)->pool, nullptr);
    play(0);
    cSoundPool* pool = spurtOf(0)->pool;
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->instanceCount, 2);
    EXPECT_NE(pool->instances[0], nullptr);  // made from the real hitB.ogg
    play(0);
    EXPECT_EQ(spurtOf(0)->pool, pool);
}

TEST_F(OverlayEffectsTest, TenParticlesSpreadOverASecond) {
    ASSERT_TRUE(fx.loadRulesFile("../assets/EFFECTS.xml"));
    at(1000);
    play(0);
    const cEffectSpurt* spurt = spurtOf(0);
    EXPECT_EQ(spurt->spawned[0], 1);  // one at the start
    for (uint32_t t = 1010; t <= 1990; t += 10) {
        at(t);
        const int32_t expected = 1 + static_cast<int32_t>((t - 1000) / 100);
        EXPECT_NEAR(spurt->spawned[0], expected, 1) << "at " << t;
    }
    at(2001);
    EXPECT_EQ(spurt->spawned[0], 10);
    EXPECT_FALSE(spurt->running());
    EXPECT_EQ(liveParticles(fx.findEmitter("spark")), 10);
}

TEST_F(OverlayEffectsTest, WhatIsStillOwedGoesOutAfterTheEnd) {
    ASSERT_TRUE(fx.loadRulesFile("../assets/EFFECTS.xml"));
    at(1000);
    play(0);
    at(1320);  // 3.2 intervals: three more
    EXPECT_EQ(spurtOf(0)->spawned[0], 4);
    at(2001);
    EXPECT_EQ(spurtOf(0)->spawned[0], 10);
    EXPECT_FALSE(fx.findEffect(0)->active);
}

TEST_F(OverlayEffectsTest, ADelayedEntryWaitsForItsDelay) {
    ASSERT_TRUE(fx.loadRulesFile("../assets/EFFECTS.xml"));
    at(1000);
    play(4);
    const cEffectSpurt* spurt = spurtOf(4);
    for (uint32_t t = 1010; t < 1400; t += 10) {
        at(t);
        ASSERT_EQ(spurt->spawned[0], 0) << "at " << t;
    }
    EXPECT_FALSE(fx.findEmitter("smoke")->anyActive);
    at(1400);
    EXPECT_GT(spurt->spawned[0], 0);
    at(2001);
    EXPECT_EQ(spurt->spawned[0], 3);
}

TEST_F(OverlayEffectsTest, AWeaponChangeToTheWeaponInHandDoesNothing) {
    effectsTest::writeText("rifle.xml", "<kablixWeapon name=\"Rifle\" allowInterrupt=\"false\"><images/></kablixWeapon>");
    ASSERT_TRUE(testWeapon("rifle"));
    ASSERT_TRUE(fx.loadRulesFile("../assets/EFFECTS.xml"));
    EXPECT_EQ(play(6), -1);
    at(2500);
    EXPECT_EQ(liveParticles(fx.findEmitter("spark")), 0);
    EXPECT_FALSE(spurtOf(6)->running());
}

TEST_F(OverlayEffectsTest, AWeaponChangeToAMissingWeaponWarnsAndPlaysOn) {
    effectsTest::writeText("rifle.xml", "<kablixWeapon name=\"Rifle\" allowInterrupt=\"false\"><images/></kablixWeapon>");
    ASSERT_TRUE(testWeapon("rifle"));
    ASSERT_TRUE(fx.loadRulesFile("../assets/EFFECTS.xml"));
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(play(7), 9);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "   XML for nosuch was not found.\n"
              "W: (QEL::cEffectSpurt::play) Impact effect could not load weapon: nosuch\n");
    at(2500);
    EXPECT_EQ(spurtOf(7)->spawned[0], 2);
    EXPECT_EQ(lastTestedWeaponName, "rifle");  // the weapon in hand stays checked
}

TEST_F(OverlayEffectsTest, AWeaponChangeLoadsTheNamedWeaponIntoTheAssetManager) {
    effectsTest::writeText("rifle.xml", "<kablixWeapon name=\"Rifle\" allowInterrupt=\"false\"><images/></kablixWeapon>");
    effectsTest::writeText("pistol.xml", R"(<kablixWeapon name="Pistol" allowInterrupt="false"><images/>
        <shotTypes><single>1</single></shotTypes></kablixWeapon>)");
    ASSERT_TRUE(testWeapon("rifle"));
    cAssetMgr manager(&sounds);  // reads ../assets/EFFECTS.xml itself
    ASSERT_NE(manager.hitEffects->findEffect(8), nullptr);

    int32_t damage = -1;
    ::testing::internal::CaptureStdout();
    manager.hitEffects->findEffect(8)->play(damage);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(damage, -1);  // the play ended with the weapon change
    EXPECT_EQ(lastTestedWeaponName, "pistol");
    ASSERT_NE(manager.asset, nullptr);
    EXPECT_EQ(manager.asset->name, "Pistol");
}

}  // namespace
