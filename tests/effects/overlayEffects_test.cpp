#include <gtest/gtest.h>

#include <set>

#include "effects/cEmitter.h"
#include "effects/overlayEffects.h"
#include "sound/cSoundManager.h"
#include "testing/effectsTestWorld.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponTest.h"

using namespace QEL;
using effectsTest::stdoutOf;

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

class OverlayEffectsTest : public effectsTest::EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        effectsTest::writePng("spark", 4, 4, 0xFFFF00FF);
        effectsTest::writePng("smoke", 4, 4, 0x808080FF);
        effectsTest::writeOgg("hitB");
        effectsTest::writeText("EFFECTS.xml", kEffectsFile);
    }
    void TearDown() override {
        releaseLastTestedDocument();
        EffectsTest::TearDown();
    }
    void load() { stdoutOf([&] { ASSERT_TRUE(fx.loadRulesFile("../assets/EFFECTS.xml")); }); }

    // Plays effect `id` of `in` at the current clock reading; the damage it deals (-1 when it dealt none).
    static int32_t play(cOverlayFXMgr& in, int32_t id) {
        int32_t damage = -1;
        in.findEffect(id)->play(damage);
        return damage;
    }
    int32_t play(int32_t id) { return play(fx, id); }
    // Moves the clock to `ms` and runs one manager update.
    void at(uint32_t ms) {
        effectsTest::setNow(ms);
        fx.update(ms);
    }
    cEffectSpurt* spurtOf(int32_t id) { return fx.findEffect(id)->spurts[0]; }

    cSoundManager sounds;
    cOverlayFXMgr fx{&sounds, 568, 320};
};

TEST_F(OverlayEffectsTest, TheEffectsFileIsReadWithItsWarningsAndDefaults) {
    EXPECT_EQ(stdoutOf([&] { ASSERT_TRUE(fx.loadRulesFile("../assets/EFFECTS.xml")); }),
              "W: (QEL::cOverlayFXMgr::processEffect) WARNING: id not specified in <effect> element.\n\n"
              "W: (QEL::cOverlayFXMgr::processEffect) WARNING: id not specified in <effect> element.\n\n"
              "W: (QEL::cOverlayFXMgr::processEffect) WARNING: name not specified in <effect> element.\n\n");
    ASSERT_EQ(fx.emitters.size(), 2u);
    std::vector<int32_t> ids;
    for (cOverlayEffect* effect : fx.effects) ids.push_back(effect->id);
    EXPECT_EQ(ids, (std::vector<int32_t>{0, 2, 3, 4, 5, 6, 7, 8}));  // id 0 is valid; none and -1 are not
    EXPECT_EQ(fx.findEffect(2)->name, "");                          // kept without a name

    const cEffectSpurt* graze = spurtOf(0);
    EXPECT_EQ(graze->soundFile, "hitB");  // the later <sound> wins
    EXPECT_EQ(graze->emitters[0], fx.findEmitter("spark"));
    EXPECT_EQ(spurtOf(2)->durationMs, 100);
    EXPECT_EQ(spurtOf(5)->emitters[0], nullptr);
    EXPECT_EQ(spurtOf(6)->command, "rifle");  // only the first <command>

    effectsTest::writeText("wrong.xml", "<overlayHitEffect><effects><effect id=\"1\"/></effects></overlayHitEffect>");
    cOverlayFXMgr wrong(&sounds, 568, 320);
    EXPECT_EQ(stdoutOf([&] { EXPECT_FALSE(wrong.loadRulesFile("../assets/wrong.xml")); }),
              "E: (QEL::cOverlayFXMgr::processRoot) \a[overlayEffects.cpp] Error: Invalid rules file. Missing "
              "<overlayHitEffects>\n");
    EXPECT_TRUE(wrong.effects.empty());
    EXPECT_TRUE(wrong.emitters.empty());
}

TEST_F(OverlayEffectsTest, DamageComesFromTheSpurtsRange) {
    load();
    int32_t damage = 0;
    EXPECT_EQ(fx.findEffect(0)->play(damage), 3);  // the spurt's id
    EXPECT_EQ(damage, 5);

    std::set<int32_t> seen;
    for (int i = 0; i < 300; ++i) seen.insert(play(2));
    EXPECT_EQ(seen, (std::set<int32_t>{5, 6, 7, 8, 9, 10}));

    EXPECT_EQ(play(5), 7);  // dMax below dMin deals dMin; its unknown emitter is skipped
    at(3000);
    EXPECT_EQ(spurtOf(5)->spawned[0], 0);

    damage = 42;
    EXPECT_EQ(stdoutOf([&] { EXPECT_EQ(fx.findEffect(3)->play(damage), -1); }),
              "W: (QEL::cOverlayEffect::play) [overlayEffects.cpp] Attempted to use an empty effect with ID: 3\n");
    EXPECT_EQ(damage, 42);
}

TEST_F(OverlayEffectsTest, TheSoundPoolIsMadeOnFirstPlayAndKept) {
    load();
    EXPECT_EQ(spurtOf(0)->pool, nullptr);
    play(0);
    cSoundPool* pool = spurtOf(0)->pool;
    ASSERT_NE(pool, nullptr);
    EXPECT_NE(pool->instances[0], nullptr);  // made from the real hitB.ogg
    play(0);
    EXPECT_EQ(spurtOf(0)->pool, pool);
}

TEST_F(OverlayEffectsTest, TenParticlesSpreadOverASecondAndWhatIsOwedGoesOutAfterTheEnd) {
    load();
    at(1000);
    play(0);
    const cEffectSpurt* spurt = spurtOf(0);
    EXPECT_EQ(spurt->spawned[0], 1);  // one at the start
    for (uint32_t t = 1010; t <= 1500; t += 10) {
        at(t);
        EXPECT_NEAR(spurt->spawned[0], 1 + static_cast<int32_t>((t - 1000) / 100), 1) << "at " << t;
    }
    at(2001);  // no update between 1500 and the end: the other four come at once
    EXPECT_EQ(spurt->spawned[0], 10);
    EXPECT_FALSE(fx.findEffect(0)->active);
    int32_t live = 0;
    for (int i = 0; i < cEmitter::kParticleCount; ++i) live += fx.findEmitter("spark")->particle(i).active;
    EXPECT_EQ(live, 10);
}

TEST_F(OverlayEffectsTest, ADelayedEntryWaitsForItsDelay) {
    load();
    at(1000);
    play(4);
    for (uint32_t t = 1010; t < 1400; t += 10) {
        at(t);
        ASSERT_EQ(spurtOf(4)->spawned[0], 0) << "at " << t;
    }
    at(1400);
    EXPECT_GT(spurtOf(4)->spawned[0], 0);
    at(2001);
    EXPECT_EQ(spurtOf(4)->spawned[0], 3);
}

TEST_F(OverlayEffectsTest, AWeaponChangeLoadsAnotherWeaponAndLeavesTheOneInHand) {
    effectsTest::writeText("rifle.xml", "<kablixWeapon name=\"Rifle\" allowInterrupt=\"false\"><images/></kablixWeapon>");
    effectsTest::writeText("pistol.xml", R"(<kablixWeapon name="Pistol" allowInterrupt="false"><images/>
        <shotTypes><single>1</single></shotTypes></kablixWeapon>)");
    ASSERT_TRUE(testWeapon("rifle"));
    cAssetMgr manager(&sounds);  // reads ../assets/EFFECTS.xml itself

    // The weapon in hand: nothing at all; a missing weapon: the effect plays on.
    EXPECT_EQ(stdoutOf([&] { manager.receiveHit(6); }), "   E: incomingHit data1: 6 data2: 0\n");
    EXPECT_EQ(stdoutOf([&] { manager.receiveHit(7); }),
              "   XML for nosuch was not found.\n"
              "W: (QEL::cEffectSpurt::play) Impact effect could not load weapon: nosuch\n"
              "   E: incomingHit data1: 7 data2: 9\n");
    EXPECT_EQ(lastTestedWeaponName, "rifle");

    stdoutOf([&] { manager.receiveHit(8); });  // the play ends with the weapon change
    EXPECT_EQ(lastTestedWeaponName, "pistol");
    ASSERT_NE(manager.weapon(), nullptr);
    EXPECT_EQ(manager.weapon()->name, "Pistol");
}

}  // namespace
