// Particles, cartridges, hit effects, the debug light and the damage display, watched through what
// they draw, play, log and report.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cmath>
#include <set>

#include "effects/cCartridgeEjector.h"
#include "effects/cEmitter.h"
#include "effects/debugLight.h"
#include "effects/overlayEffects.h"
#include "effects/teamDamage.h"
#include "render/QuadSet.h"
#include "sound/cSoundManager.h"
#include "testing/effectsTestWorld.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponTest.h"

using namespace QEL;
using namespace effectsTest;
using QEL::testing::colorNear;
using QEL::testing::readPixel;

namespace {

class Effects : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        writePicture("spark", 4, 4, 0xFF0000FF, 0xFF0000FF);
    }
    static cEmitter& read(cEmitter& into, const std::string& xml) {
        TiXmlDocument doc;
        doc.Parse(xml.c_str());
        into.processRoot(doc.RootElement());
        return into;
    }
    static int count(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
    cSoundManager sounds;
};

TEST_F(Effects, ParticlesLiveInARingOfTwentyMoveSettleAndFade) {
    cEmitter e(568, 320);
    e.setup("DYN_spark", "spark", 2);
    cParticleParams p;
    p.size = 10.0f;
    p.lifeMs = 300;
    for (int i = 0; i < 25; ++i, p.x += 10.0f) e.spawn(p);
    EXPECT_FLOAT_EQ(e.particle(0).params.x, 200.0f);  // the 21st spawn took the oldest place
    EXPECT_FLOAT_EQ(e.particle(5).params.x, 50.0f);
    EXPECT_EQ(e.getQuads()->quadCount(), 20u);
    const float& alpha = e.particle(0).quad->colors[0].a;
    for (const auto [dt, expected] : {std::pair{100, 1.0f}, {150, 0.5f}, {150, 0.0f}}) {
        e.update(dt);  // opaque for a third of its life, then fading
        EXPECT_NEAR(alpha, expected, 1e-6);
    }
    EXPECT_TRUE(e.update(1));  // dies now, but was alive when the step began
    EXPECT_FALSE(e.particle(0).active);
    EXPECT_FALSE(e.update(10));

    p = cParticleParams{};
    p.size = 10.0f, p.x = 200.0f, p.y = 100.0f, p.lifeMs = 10000;
    p.friction = 0.001f, p.vx = 0.05f, p.vy = -0.5f, p.spin = 0.0005f, p.sizeSpeed = -0.1f;
    e.spawn(p);
    p = cParticleParams{};  // a life of 0 fades out at once instead of dividing 0 by 0
    e.spawn(p);
    e.update(0);
    EXPECT_EQ(e.particle(6).quad->colors[0].a, 0.0f);
    e.update(10);
    const cParticleParams& slowed = e.particle(5).params;
    EXPECT_EQ(slowed.vx, 0.0f);  // motion below the friction stops, faster motion slows
    EXPECT_EQ(slowed.spin, 0.0f);
    EXPECT_FLOAT_EQ(slowed.vy, -0.49f);
    EXPECT_NEAR(slowed.x + slowed.size / 2, 205.0f, 1e-4);  // shrinking about its centre
    e.update(90);
    EXPECT_FALSE(e.particle(5).active);
}

TEST_F(Effects, EmittersLaunchFromTheirAreaAndRecordsIntoTheirEmitter) {
    cEmitter e(568, 320), point(568, 320);
    EXPECT_EQ(count(stdoutOf([&] { read(e, "<emitter/>"); }), "WARNING"), 3);  // name, duration, scale
    read(e, R"(<emitter name="spark" blend="add" durationMS="300" scale="8" speed="0.2" angle="90"
        rangeX="100" rangeY="50"/>)").emit(5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(e.particle(i).params.vx, 0.0f, 1e-6);
        EXPECT_FLOAT_EQ(e.particle(i).params.vy, 0.2f);      // down the screen
        EXPECT_FLOAT_EQ(e.particle(i).params.x, 96.0f);      // the area's point is the centre
    }
    e.update(250);
    EXPECT_NEAR(e.particle(0).quad->colors[2].r, 0.5f, 1e-6);  // additive particles fade their colour
    read(point, R"(<emitter name="spark" durationMS="100" scale="10" rangeX="50" rangeY="60" rangeW="-1"
        rangeH="-7" angle="30" angleRange="20" speed="1"/>)").emit(20);
    for (int i = 0; i < 20; ++i) {
        EXPECT_FLOAT_EQ(point.particle(i).params.x, 45.0f);  // a negative area is a single point
        EXPECT_NEAR(std::atan2(point.particle(i).params.vy, point.particle(i).params.vx) * 180 / M_PI, 30.0, 10.001);
    }

    cSpawnRecord record;
    record.count = 3, record.ms = 600, record.iRot = 370.0f, record.ang = 180.0f, record.sp = 0.3f;
    cEmitter::emitFromRecord(record);  // no emitter: nothing at all
    record.emitter = &e;
    cEmitter::emitFromRecord(record);
    EXPECT_NEAR(e.particle(5).params.rotation, 10.0f, 1e-4);
    EXPECT_NEAR(e.particle(7).params.vx, -0.3f, 1e-6);
    EXPECT_FALSE(e.particle(8).active);
}

TEST_F(Effects, CartridgesFlyUpAndTheDropSoundPlaysWhenTheLastButOneLands) {
    writeOgg("drop");
    writePicture("shell", 8, 8, 0xC8B428FF, 0xC8B428FF);
    cSoundPool* drop = sounds.createSoundPool(3, "shellHitFloor", "../assets/drop.ogg");
    QuadSet slot(568, 320);
    cCartridgeEjector ejector(drop);
    ejector.throwCartridge(300.0f, 200.0f, 0.0f, true, true);  // no image yet: nothing
    EXPECT_FALSE(ejector.update(5000));
    slot.unlock();
    slot.loadTexture("../assets/shell.png");
    ejector.setup(&slot, 12);
    ejector.gravityY = 0.004f;
    ejector.lastTime = 1000;
    for (int i = 0; i < 21; ++i) ejector.throwCartridge(10.0f * i, 200.0f, 0.0f, true, true);
    EXPECT_FLOAT_EQ(ejector.cartridge(0).x, 200.0f);  // the 21st throw took over the first
    for (int i = 1; i < 20; ++i) {
        const cCartridge& c = ejector.cartridge(i);
        EXPECT_LT(c.vy, 0.0f);
        EXPECT_NEAR(std::hypot(c.vx, c.vy), 1.0f, 0.2f + 1e-5f);
        EXPECT_NEAR(c.spin, 0.6f, 0.3f + 1e-5f);
        EXPECT_NEAR(c.rotation, 0.0f, 10.0f + 1e-5f);
    }
    ejector.update(1001);
    ejector.update(9000);  // all fall out of the screen: 20 → 0 is one drop sound
    ejector.update(9001);
    EXPECT_EQ(drop->position, 1);
    ejector.throwCartridge(300.0f, 300.0f, 0.0f, false, false);  // falls out at once
    ejector.throwCartridge(300.0f, 20.0f, 0.0f, false, false);   // takes longer
    for (uint32_t t : {9002u, 9502u, 9503u, 11503u, 11504u}) ejector.update(t);
    EXPECT_EQ(drop->position, 0);  // 2 → 1 and 1 → 0: two more, the pool of three came round
    ejector.dropSoundEnabled = false;
    ejector.throwCartridge(300.0f, 300.0f, 0.0f, false, false);
    for (uint32_t t : {11505u, 13505u, 13506u}) ejector.update(t);
    EXPECT_EQ(drop->position, 0);
}

TEST_F(Effects, TheDebugLightShowsForJustOverTenMillisecondsWhenSwitchedOn) {
    debugLight light;
    EXPECT_EQ(stdoutOf([&] { light.toggle(); light.toggle(); }), "   Debug light on.\n   Debug light off.\n");
    light.request();
    light.update(1000);
    EXPECT_FALSE(light.on);  // nothing before the first weapon was put down
    light.reset();
    light.request();
    light.update(1000);
    light.draw();
    EXPECT_TRUE(colorNear(readPixel(15, 15), 0, 0, 0));  // switched off
    stdoutOf([&] { light.toggle(); });
    light.draw();
    for (auto [x, y, red] : {std::tuple{10, 10, 255}, {19, 19, 255}, {21, 15, 0}, {15, 21, 0}})
        EXPECT_TRUE(colorNear(readPixel(x, y), red, 0, 0)) << x << "," << y;
    light.update(1010);
    EXPECT_TRUE(light.on);
    light.update(1011);
    EXPECT_FALSE(light.on);
}

class HitEffects : public Effects {
protected:
    void SetUp() override {
        Effects::SetUp();
        writeOgg("hitB");
        writeText("EFFECTS.xml", R"(<overlayHitEffects><emitters>
          <emitter name="spark" durationMS="5000" scale="8" rangeX="200" rangeY="100"/></emitters><effects>
          <effect id="0" name="graze"><spurt spurtID="3" dMin="5" dMax="5" duration="1000">
            <emitter name="spark" count="10"/><sound file="hitA"/><sound file="hitB"/></spurt></effect>
          <effect name="noId"><spurt/></effect>
          <effect id="2"><spurt dMin="5" dMax="10"/></effect>
          <effect id="3" name="empty"/>
          <effect id="4" name="late"><spurt duration="1000"><emitter name="spark" count="3" delay="400"/></spurt></effect>
          <effect id="5" name="inverted"><spurt dMin="7" dMax="2"><emitter name="nowhere" count="4"/></spurt></effect>
          <effect id="6" name="swap"><spurt dMin="9" dMax="9"><command type="1" cmd="rifle"/></spurt></effect>
          <effect id="7" name="swap"><spurt dMin="9" dMax="9"><command type="1" cmd="nosuch"/></spurt></effect>
          <effect id="8" name="swap"><spurt dMin="9" dMax="9"><command type="1" cmd="pistol"/></spurt></effect>
          </effects></overlayHitEffects>)");
    }
    void TearDown() override {
        releaseLastTestedDocument();
        Effects::TearDown();
    }
    static int32_t play(cOverlayFXMgr& in, int32_t id) {
        int32_t damage = -1;
        in.findEffect(id)->play(damage);
        return damage;
    }
    int32_t play(int32_t id) { return play(fx, id); }
    int32_t spawnedAt(uint32_t ms, int32_t id) {
        setNow(ms);
        fx.update(ms);
        return fx.findEffect(id)->spurts[0]->spawned[0];
    }
    cOverlayFXMgr fx{&sounds, 568, 320};
};

TEST_F(HitEffects, TheFileGivesEffectsWhoseSpurtsDealDamageAndSpreadTheirParticles) {
    EXPECT_EQ(count(stdoutOf([&] { ASSERT_TRUE(fx.loadRulesFile("../assets/EFFECTS.xml")); }), "WARNING"), 2);
    EXPECT_EQ(fx.effects.size(), 8u);  // all but the one without an id; 0 is an id
    std::set<int32_t> seen;
    for (int i = 0; i < 300; ++i) seen.insert(play(2));
    EXPECT_EQ(seen, (std::set<int32_t>{5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(play(5), 7);  // dMax below dMin deals dMin; its unknown emitter never emits
    int32_t damage = 42;
    stdoutOf([&] { EXPECT_EQ(fx.findEffect(3)->play(damage), -1); });
    EXPECT_EQ(damage, 42);

    setNow(1000);
    EXPECT_EQ(play(0), 5);
    play(4);
    EXPECT_NE(sounds.findGroup("FX_hitB"), nullptr);  // never taken for a weapon slot's "hitB" pool
    for (uint32_t t = 1010; t < 1400; t += 10) {
        ASSERT_NEAR(spawnedAt(t, 0), 1 + int32_t(t - 1000) / 100, 1) << t;  // 10 over the second
        ASSERT_EQ(fx.findEffect(4)->spurts[0]->spawned[0], 0) << t;          // not before its delay
    }
    EXPECT_GT(spawnedAt(1400, 4), 0);
    EXPECT_EQ(spawnedAt(2001, 0), 10);  // what is owed goes out after the end
    EXPECT_EQ(spawnedAt(2002, 4), 3);
    EXPECT_EQ(spawnedAt(3000, 5), 0);

    writeText("wrong.xml", "<overlayHitEffect><effects><effect id=\"1\"/></effects></overlayHitEffect>");
    cOverlayFXMgr wrong(&sounds, 568, 320);
    stdoutOf([&] { EXPECT_FALSE(wrong.loadRulesFile("../assets/wrong.xml")); });
    EXPECT_TRUE(wrong.effects.empty());
}

TEST_F(HitEffects, AWeaponChangeTakesUpAnotherWeaponAndLeavesTheOneInHand) {
    writeText("rifle.xml", "<kablixWeapon name=\"Rifle\" allowInterrupt=\"false\"><images/></kablixWeapon>");
    writeText("pistol.xml", R"(<kablixWeapon name="Pistol" allowInterrupt="false"><images/>
        <shotTypes><single>1</single></shotTypes></kablixWeapon>)");
    ASSERT_TRUE(testWeapon("rifle"));
    cAssetMgr manager(&sounds);  // reads ../assets/EFFECTS.xml itself
    cOverlayFXMgr& hits = *manager.hitEffects;
    EXPECT_EQ(play(hits, 6), -1);  // the weapon in hand: nothing at all
    EXPECT_EQ(count(stdoutOf([&] { EXPECT_EQ(play(hits, 7), 9); }), "could not load weapon: nosuch"), 1);
    EXPECT_EQ(lastTestedWeaponName, "rifle");
    stdoutOf([&] { EXPECT_EQ(play(hits, 8), -1); });  // the play ends with the change
    ASSERT_NE(manager.asset, nullptr);
    EXPECT_EQ(manager.asset->name, "Pistol");
}

class Damage : public Effects {
protected:
    void SetUp() override {
        Effects::SetUp();
        writePicture("_helmetBodyArmor", 128, 64, 0xFFFFFFFF, 0xFFFFFFFF);
        writePicture("_deathGUI", 512, 512, 0xFF0000FF, 0x808080FF);
        writePicture("_deathGAME", 512, 256, 0x0000FFFF, 0x0000FFFF);
        writePicture("_shield", 512, 256, 0x00FFFFFF, 0x00FFFFFF);
        for (const char* name : {"resurrect", "Digout_01", "Digout_02", "Digout_03", "Digout_04", "Digout_05",
                                 "Digout_06", "dodgeOn", "dodgeOff", "dodgeFail", "dodgeShieldRecharged"})
            writeOgg(name);
        writeText("damage.txt", "51\n");  // hits halved
    }
    // The display drawn over grey: the colour at (x, y).
    QEL::testing::RGBA shown(int x, int y) {
        glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        damage.draw();
        return readPixel(x, y);
    }
    teamDamage damage{&sounds};
};

TEST_F(Damage, ArmourThenHealthGoAndComeBackFromTheMomentHealthFell) {
    damage.set(1);
    EXPECT_TRUE(damage.hit(-500));  // no team: no damage
    EXPECT_EQ(damage.health(), 200.0f);
    damage.set(2);
    damage.update(1000);
    EXPECT_TRUE(damage.hit(-100));
    EXPECT_EQ(damage.health(), 150.0f);
    EXPECT_TRUE(colorNear(shown(230, 35), 128, 128, 128));  // the first armour icon is gone
    EXPECT_TRUE(colorNear(shown(280, 35), 255, 0, 0));      // the second is in the red team's colour
    setNow(100000);
    damage.hit(-110);  // 95: regeneration counts from here, not from the last update
    EXPECT_FALSE(colorNear(shown(284, 160), 128, 128, 128));
    EXPECT_TRUE(damage.update(99000));  // a clock reading before the hit counts as no time
    EXPECT_EQ(damage.health(), 95.0f);
    damage.update(99010);
    EXPECT_NEAR(damage.health(), 95.1f, 1e-4);
    damage.update(200000);
    EXPECT_EQ(damage.health(), 100.0f);
    EXPECT_FALSE(damage.update(200010));
    EXPECT_TRUE(colorNear(shown(284, 160), 128, 128, 128));  // healthy: nothing shown
}

TEST_F(Damage, ABreakingShieldLetsTheWholeHitThroughAndRecharges) {
    damage.set(3);
    damage.update(1000);
    damage.setDodge(true);
    EXPECT_TRUE(damage.hit(-600));  // 300 of the shield's 320 soaked up
    EXPECT_TRUE(damage.shieldUp());
    EXPECT_EQ(damage.health(), 200.0f);
    EXPECT_TRUE(damage.hit(-60));
    EXPECT_EQ(damage.health(), 170.0f);
    EXPECT_FALSE(damage.shieldUp());
    EXPECT_NE(sounds.findGroup("dodgeFail"), nullptr);
    damage.update(8000);
    EXPECT_FALSE(damage.shieldUp());
    damage.update(9001);  // 320 / 0.04 per ms from the last update
    EXPECT_TRUE(damage.shieldUp());
    EXPECT_NE(sounds.findGroup("dodgeRecharge"), nullptr);
}

// Death below -15; each dig press counts once the input was released after the one before, and
// after the press that killed; a full gauge revives 1500 ms later. Portrait turns the death screen.
TEST_F(Damage, DiggingOutNeedsTwelveReleasedPresses) {
    const struct {
        bool portrait, heldAtDeath;
        int pressesAfterFirst;
        bool revived;
    } rows[] = {{false, true, 11, false}, {false, true, 12, true}, {false, false, 11, true}, {true, false, 11, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.portrait << row.heldAtDeath << row.pressesAfterFirst);
        damage.setPortrait(row.portrait);
        damage.set(2);
        EXPECT_TRUE(damage.hit(-430));  // -15
        EXPECT_FALSE(damage.dead());
        EXPECT_FALSE(damage.hit(-1, row.heldAtDeath));
        EXPECT_TRUE(damage.dead());
        EXPECT_EQ(shown(520, 160).b > 200, row.portrait);  // the dig strip
        damage.digPress();
        damage.digPress();  // not released in between: does not count
        for (int i = 0; i < row.pressesAfterFirst; ++i) {
            damage.armDig();
            damage.digPress();
        }
        damage.update(1001);
        damage.update(2600);
        EXPECT_EQ(!damage.dead(), row.revived);
        if (!damage.dead()) EXPECT_EQ(damage.health(), 200.0f);
    }
}

TEST_F(Damage, MissingPicturesAreReportedAndTheGameGoesOn) {
    for (const char* name : {"_helmetBodyArmor.png", "_deathGUI.png", "_deathGAME.png"})
        std::remove(assetFile(name).c_str());
    const std::string out = stdoutOf([&] {
        damage.set(2);
        damage.hit(-300);
        damage.hit(-200);
        damage.update(1100);
        damage.draw();
        damage.digPress();
    });
    for (const char* name : {"_helmetBodyArmor.png", "_deathGUI.png", "_deathGAME.png"}) EXPECT_NE(out.find(name), std::string::npos);
    EXPECT_TRUE(damage.dead());
}

}  // namespace
