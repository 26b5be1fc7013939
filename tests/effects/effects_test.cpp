// Particles, cartridges, hit effects, the debug light and the damage display, watched through what
// they draw, play, log and report; and, as they run for hours, nothing allocated per frame.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <atomic>
#include <cmath>
#include <set>

#include "effects/cCartridgeEjector.h"
#include "effects/cEmitter.h"
#include "effects/debugLight.h"
#include "effects/overlayEffects.h"
#include "effects/teamDamage.h"
#include "sound/cSoundManager.h"
#include "testing/effectsTestWorld.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponTest.h"

std::atomic<long> allocations{0};
#ifndef __SANITIZE_ADDRESS__  // the sanitizer brings its own allocator: the count runs in the plain build
void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#endif

using namespace QEL;
using namespace effectsTest;
using QEL::testing::colorNear;
using QEL::testing::readPixel;

namespace {

class Effects : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        for (const char* name : {"spark", "_helmetBodyArmor", "_deathGAME", "_shield"}) writePicture(name, 512, 256, ~0u, ~0u);
        writePicture("_deathGUI", 512, 512, 0xFF0000FF, 0x808080FF);
        writeText("damage.txt", "51\n");  // hits halved
        writeOgg("hitB");
        writeText("EFFECTS.xml", R"(<overlayHitEffects><emitters><emitter name="spark" durationMS="5000" scale="8"/>
          </emitters><effects><effect id="0" name="graze"><spurt dMin="5" dMax="10" duration="1000">
            <emitter name="spark" count="10"/><sound file="hitA"/><sound file="hitB"/></spurt></effect>
          <effect name="noId"><spurt/></effect><effect id="3"/>
          <effect id="4" name="late"><spurt duration="1000"><emitter name="spark" count="3" delay="400"/>
            <emitter name="spark" count="2" delay="1000"/></spurt></effect>
          <effect id="5" name="inverted"><spurt dMin="7" dMax="2"><emitter name="nowhere" count="4"/></spurt></effect>
          <effect id="6" name="swap"><spurt dMin="9" dMax="9"><command type="1" cmd="rifle"/></spurt></effect>
          <effect id="7" name="swap"><spurt dMin="9" dMax="9"><command type="1" cmd="nosuch"/></spurt></effect>
          <effect id="8" name="swap"><spurt dMin="9" dMax="9"><command type="1" cmd="pistol"/></spurt></effect>
          </effects></overlayHitEffects>)");
        stdoutOf([&] { fx.loadRulesFile("../assets/EFFECTS.xml"); });
    }
    const cParticleParams& at(int i) const { return e.particle(i).params; }
    static int32_t play(cOverlayFXMgr& in, int32_t id, int32_t damage = -1) {
        in.findEffect(id)->play(damage);
        return damage;
    }
    int32_t spawnedAt(uint32_t ms, int32_t id) {
        setNow(ms), fx.update(ms);
        return fx.findEffect(id)->spurts[0]->spawned[0];
    }
    QEL::testing::RGBA shown(int x, int y) {  // the damage display drawn over grey
        glClearColor(0.5f, 0.5f, 0.5f, 1.0f), glClear(GL_COLOR_BUFFER_BIT), damage.draw();
        return readPixel(x, y);
    }
    cSoundManager sounds;
    cEmitter e{568, 320};
    cOverlayFXMgr fx{&sounds, 568, 320};
    teamDamage damage{&sounds};
};

TEST_F(Effects, ParticlesLiveInARingOfTwentyMoveSettleAndFade) {
    e.setup("DYN_spark", "spark", BlendMode::alpha);
    cParticleParams p;
    p.lifeMs = 300;
    for (int i = 0; i < 25; ++i, p.x += 10.0f) e.spawn(p);
    EXPECT_TRUE(at(0).x == 200.0f && e.getQuads()->quadCount() == 20);  // the 21st spawn took the oldest place
    for (auto [dt, alpha] : {std::pair{100, 1.0f}, {150, 0.5f}, {150, 0.0f}})  // opaque for a third of its life
        EXPECT_NEAR((e.update(dt), e.particle(0).quad->colors[0].a), alpha, 1e-6);
    EXPECT_TRUE(e.update(1));  // all die now, but were alive when the step began
    EXPECT_FALSE(e.update(10));
    e.spawn(p = cParticleParams{});  // a life of 0 is faded out at once instead of dividing 0 by 0
    p.size = 10.0f, p.x = 200.0f, p.lifeMs = 10000, p.friction = 0.001f;
    p.vx = 0.05f, p.vy = -0.5f, p.spin = 0.0005f, p.sizeSpeed = -0.1f;
    e.spawn(p);
    e.update(0);
    EXPECT_EQ(e.particle(5).quad->colors[0].a, 0.0f);
    e.update(10);
    EXPECT_EQ(at(6).vx + at(6).spin, 0.0f);  // motion below the friction stops, faster slows
    EXPECT_FLOAT_EQ(at(6).vy, -0.49f);
    EXPECT_NEAR(at(6).x + at(6).size / 2, 205.0f, 1e-4);  // shrinking about its centre
    EXPECT_FALSE((e.update(90), e.particle(6).active));
}

TEST_F(Effects, EmittersLaunchFromTheirAreaAndRecordsIntoTheirOwnEmitter) {
    TiXmlDocument empty, doc;
    empty.Parse("<emitter/>");
    EXPECT_NE(stdoutOf([&] { e.processRoot(empty.RootElement()); }).find("scale is 0"), std::string::npos);
    doc.Parse(R"(<emitter name="spark" blend="add" durationMS="300" scale="8" speed="0.2" angle="90"
        angleRange="20" rangeX="100" rangeY="50" rangeW="-1" rangeH="-7"/>)");
    e.processRoot(doc.RootElement());
    e.emit(20);
    for (int i = 0; i < 20; ++i)  // a negative area is one point, the particle's centre; down the screen
        EXPECT_TRUE(at(i).x == 96.0f && std::fabs(std::atan2(at(i).vy, at(i).vx) * 180 / M_PI - 90) <= 10.001);
    e.update(250);
    EXPECT_NEAR(e.particle(0).quad->colors[2].r, 0.5f, 1e-6);  // additive particles fade their colour
    cSpawnRecord record;
    record.count = 2, record.iRot = 370.0f, record.ang = 180.0f, record.sp = 0.3f;
    cEmitter::emitFromRecord(record);  // no emitter: nothing at all
    record.emitter = &e;
    cEmitter::emitFromRecord(record);
    EXPECT_TRUE(std::fabs(at(1).rotation - 10.0f) < 1e-4 && std::fabs(at(1).vx + 0.3f) < 1e-6);
}

TEST_F(Effects, CartridgesFlyAndTheDropSoundPlaysWhenAllButOneLanded) {
    writeOgg("drop");
    cSoundPool* drop = sounds.createSoundPool(4, "shellHitFloor", "../assets/drop.ogg");
    QuadSet slot(568, 320);
    slot.unlock();
    slot.loadTexture("../assets/spark.png");
    cCartridgeEjector ejector(drop);
    ejector.setup(&slot, 12);
    ejector.gravityY = 0.004f;
    ejector.lastTime = 1000;
    for (int i = 0; i < 21; ++i) ejector.throwCartridge(10.0f * i, 200.0f, 0.0f, true, true);
    EXPECT_EQ(ejector.cartridge(0).x, 200.0f);  // the 21st throw took over the first
    for (uint32_t t : {1001u, 9000u, 9001u}) ejector.update(t);
    ejector.throwCartridge(300.0f, 300.0f, 0.0f, false, true);  // falls out at once, turning
    ejector.throwCartridge(300.0f, 20.0f, 0.0f, false, false);   // takes longer
    for (uint32_t t : {9002u, 9502u, 9503u, 11503u, 11504u}) ejector.update(t);
    EXPECT_EQ(drop->position, 3);  // 20 → 0, 2 → 1, 1 → 0
}

TEST_F(Effects, TheDebugLightShowsForJustOverTenMillisecondsWhenSwitchedOn) {
    debugLight light;
    light.reset();
    EXPECT_EQ(stdoutOf([&] { light.toggle(); }), "   Debug light on.\n");
    light.request();
    for (auto [now, red] : {std::pair{1000u, 255}, {1010u, 255}, {1011u, 0}}) {
        glClear(GL_COLOR_BUFFER_BIT);
        light.update(now);
        light.draw();
        EXPECT_TRUE(colorNear(readPixel(15, 15), red, 0, 0) && colorNear(readPixel(21, 15), 0, 0, 0)) << now;
    }
}

TEST_F(Effects, HitEffectsDealDamageInTheirRangeAndSpreadTheirParticlesOverTheirTime) {
    EXPECT_EQ(fx.effects.size(), 7u);  // all but the one without an id; 0 is an id
    std::set<int32_t> seen;
    for (int i = 0; i < 300; ++i) seen.insert(play(fx, 0));
    EXPECT_EQ(seen, (std::set<int32_t>{5, 6, 7, 8, 9, 10}));
    EXPECT_NE(sounds.findGroup("FX_hitB"), nullptr);  // never taken for a weapon slot's "hitB" pool
    EXPECT_EQ(play(fx, 5), 7);                        // dMax below dMin deals dMin; its unknown emitter never emits
    stdoutOf([&] { EXPECT_EQ(play(fx, 3, 42), 42); });
    play(fx, 0);
    play(fx, 4);
    for (uint32_t t = 1010; t < 1400; t += 10) {
        ASSERT_NEAR(spawnedAt(t, 0), 1 + int32_t(t - 1000) / 100, 1) << t;  // 10 over the second
        ASSERT_EQ(fx.findEffect(4)->spurts[0]->spawned[0], 0) << t;          // not before its delay
    }
    EXPECT_GT(spawnedAt(1400, 4), 0);
    spawnedAt(2000, 4);
    EXPECT_EQ(fx.findEffect(4)->spurts[0]->spawned[1], 2);  // no time to spread over: all at its delay
    EXPECT_EQ(spawnedAt(2001, 0), 10);  // what is owed goes out after the end
    EXPECT_EQ(spawnedAt(2002, 4) + spawnedAt(2003, 5), 3);
    writeText("wrong.xml", "<overlayHitEffect><effects><effect id=\"1\"/></effects></overlayHitEffect>");
    stdoutOf([&] { EXPECT_FALSE(cOverlayFXMgr(&sounds, 568, 320).loadRulesFile("../assets/wrong.xml")); });
}

TEST_F(Effects, AWeaponChangeTakesUpAnotherWeaponAndLeavesTheOneInHand) {
    writeText("rifle.xml", "<kablixWeapon name=\"rifle\" allowInterrupt=\"false\"><images/></kablixWeapon>");
    writeText("pistol.xml", "<kablixWeapon name=\"pistol\" allowInterrupt=\"false\"><images/>"
                            "<shotTypes><single>1</single></shotTypes></kablixWeapon>");
    cAssetMgr manager(&sounds);  // reads ../assets/EFFECTS.xml itself
    ASSERT_TRUE(stdoutOf([&] { manager.loadAsset(testWeapon("rifle")); }).find("SUCCESS") != std::string::npos);
    // The weapon in hand: nothing at all; a missing weapon: the effect plays on.
    EXPECT_EQ(stdoutOf([&] { manager.receiveHit(6); }), "   E: incomingHit data1: 6 data2: 0\n");
    EXPECT_NE(stdoutOf([&] { manager.receiveHit(7); }).find("could not load weapon: nosuch\n   E: incomingHit data1: 7 data2: 9"),
              std::string::npos);
    stdoutOf([&] { manager.receiveHit(8); });  // the play ends with the change
    ASSERT_NE(manager.weapon(), nullptr);
    EXPECT_EQ(manager.weapon()->name, "pistol");
}

TEST_F(Effects, NothingIsAllocatedPerFrameOnceSetUp) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "allocations are counted in the plain build";
#endif
    QuadSet shells(568, 320);
    shells.unlock();
    shells.loadTexture("../assets/spark.png");
    cCartridgeEjector ejector(nullptr);
    ejector.setup(&shells, 12);
    ejector.gravityY = 0.004f;
    fx.findEmitter("spark")->emit(20);  // the first round makes every quad, sound and picture
    stdoutOf([&] { damage.set(TeamMode::team1), damage.setDodge(true), damage.setDodge(false), damage.hit(-500), damage.set(TeamMode::team1); });
    long made = 0;
    for (uint32_t frame = 0, now = 1000; frame < 500; ++frame, now += 16) {
        setNow(now);
        const long before = allocations.load();
        if (frame % 40 == 0) play(fx, 4);  // sparks without a sound: opening a sound may allocate
        if (frame % 7 == 0) ejector.throwCartridge(300.0f, 200.0f, 0.0f, true, true);
        if (frame % 50 == 0) damage.hit(-100);  // armour, then healing, blood, death
        fx.update(now), ejector.update(now), damage.update(now);
        made += allocations.load() - before;
        fx.draw(), shells.draw(BlendMode::alpha), damage.draw();  // not counted: llvmpipe allocates on its own
    }
    EXPECT_EQ(made, 0);
}

TEST_F(Effects, ArmourHealthAndShieldGoAndComeBack) {
    EXPECT_TRUE(damage.hit(-500));  // no team: no damage
    damage.set(TeamMode::team1);
    damage.update(1000);
    EXPECT_TRUE(damage.hit(-100));
    EXPECT_EQ(damage.health(), 150.0f);
    EXPECT_TRUE(colorNear(shown(230, 35), 128, 128, 128) && colorNear(shown(280, 35), 255, 0, 0));  // one red icon left
    setNow(100000);
    damage.hit(-110);  // 95: regeneration counts from here, not from the last update
    EXPECT_TRUE(damage.update(99000));  // a clock reading before the hit counts as no time
    EXPECT_TRUE(damage.health() == 95.0f && !colorNear(shown(284, 160), 128, 128, 128));
    damage.update(99010);
    EXPECT_NEAR(damage.health(), 95.1f, 1e-4);
    damage.update(200000);
    EXPECT_FALSE(damage.update(200010));  // healed: nothing more to do
    EXPECT_TRUE(damage.health() == 100.0f && colorNear(shown(284, 160), 128, 128, 128));
    stdoutOf([&] { damage.setDodge(true); });
    EXPECT_TRUE(damage.hit(-600) && damage.shieldUp());  // 300 of the shield's 320 soaked up
    stdoutOf([&] { EXPECT_TRUE(damage.hit(-60)); });   // breaks it: the whole hit goes through
    EXPECT_TRUE(damage.health() == 70.0f && !damage.shieldUp());
    EXPECT_FALSE((damage.update(208000), damage.shieldUp()));
    EXPECT_TRUE((damage.update(208011), damage.shieldUp()));  // 320 / 0.04 per ms since the last update
}

// Death below -15; a dig press counts once the input was released after the one before and after
// the press that killed; 12 fill the gauge, which revives 1500 ms later. Portrait turns the screen.
TEST_F(Effects, DiggingOutNeedsTwelveReleasedPresses) {
    for (auto [portrait, heldAtDeath, released, revived] : {std::tuple{false, true, 11, false}, {false, true, 12, true},
                                                            {false, false, 11, true}, {true, false, 11, true}}) {
        SCOPED_TRACE(::testing::Message() << portrait << heldAtDeath << released);
        damage.setPortrait(portrait);
        damage.set(TeamMode::team1);
        EXPECT_TRUE(damage.hit(-430) && !damage.dead());  // -15
        EXPECT_TRUE(!damage.hit(-1, heldAtDeath) && damage.dead());
        EXPECT_EQ(shown(520, 160).b > 200, portrait);  // the (white) dig strip
        for (int i = 0; i < released + 2; ++i) {
            if (i > 1) damage.armDig();  // the second press was not released: it does not count
            damage.digPress();
        }
        damage.update(1001);
        damage.update(2600);
        EXPECT_EQ(!damage.dead(), revived);
    }
    for (const char* name : {"_helmetBodyArmor.png", "_deathGUI.png", "_deathGAME.png"}) {
        std::remove(assetFile(name).c_str());
        teamDamage blind(&sounds);  // a missing picture is reported, and the game goes on
        const std::string out = stdoutOf([&] { blind.set(TeamMode::team1), blind.hit(-500), blind.update(1100), blind.draw(); });
        EXPECT_NE(out.find(name), std::string::npos);
    }
}

}  // namespace
