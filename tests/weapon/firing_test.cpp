// The firing state machine, scenario by scenario on a set clock, with the event lines it writes.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "effects/cCartridgeEjector.h"
#include "effects/teamDamage.h"
#include "render/QuadSet.h"
#include "sound/cSoundManager.h"
#include "testing/weaponWorld.h"

namespace weaponTest {
namespace {

const char* kShotAuto = "   E: shot data1: 2 data2: 1\n";
const char* kShotSingle = "   E: shot data1: 0 data2: 1\n";

class Firing : public WeaponWorld {
protected:
    // Loads a weapon of three-frame (100 ms) animations; the log of the load is dropped.
    void load(const std::string& modes, const std::vector<std::string>& animations, const std::string& extra = "") {
        std::string xml = "<animations>";
        for (const std::string& name : animations) xml += animationXml(name, 3, 3);
        xml += "</animations>";
        ASSERT_NE(loadWeapon("w", weaponXml("w", standardImages() + modes + xml + extra)), -2);
        takeLog();
    }
    std::string playing() { return mgr().currentAnimation ? mgr().currentAnimation->name : "(rest)"; }
    void press(uint32_t ms) {
        setClock(ms);
        mgr().injectInputDown();
    }
    void release(uint32_t ms) {
        setClock(ms);
        mgr().injectInputUp();
    }
    // Alpha of round `index` on the magazine picture as last built.
    float roundAlpha(int index) { return mgr().asset->ammoImage->getColors()[index * 16 + 3]; }
};

TEST_F(Firing, AutoMagazineOfThreeHeldDown) {
    load(shotTypes(false, false, true), {"firstShot", "shot1", "lastShot", "windDown", "reload"}, ammoXml(3));
    EXPECT_TRUE(frameAt(10));
    EXPECT_EQ(playing(), "(rest)");
    press(1000);
    EXPECT_EQ(playing(), "firstShot");
    EXPECT_EQ(mgr().roundsLeft, 1);
    frameAt(1000);
    frameAt(1101);
    EXPECT_EQ(playing(), "shot1");
    EXPECT_EQ(mgr().roundsLeft, 0);
    frameAt(1202);
    EXPECT_EQ(playing(), "lastShot");
    EXPECT_EQ(mgr().roundsLeft, -1);
    frameAt(1303);
    EXPECT_EQ(playing(), "windDown");  // the trigger is still held
    release(1350);
    frameAt(1404);
    EXPECT_EQ(playing(), "(rest)");
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(roundAlpha(i), 0.0f) << i;

    const int32_t clickPosition = mgr().emptyClick->position;
    press(1500);
    release(1510);
    EXPECT_NE(mgr().emptyClick->position, clickPosition);
    EXPECT_EQ(playing(), "(rest)");

    setClock(1600);
    EXPECT_TRUE(mgr().requestReload());
    EXPECT_EQ(playing(), "reload");
    frameAt(1650);
    frameAt(1701);
    EXPECT_EQ(mgr().roundsLeft, 2);
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(roundAlpha(i), 1.0f) << i;
    EXPECT_EQ(eventLines(takeLog()), std::string(kShotAuto) + kShotAuto + kShotAuto +
                                         "   E: emptyShot data1: 2 data2: -1\n   E: reload data1: 2 data2: -1\n");

    // Released during the last shot, the weapon comes to rest without winding down.
    press(2000);
    frameAt(2101);
    frameAt(2202);
    EXPECT_EQ(playing(), "lastShot");
    release(2250);
    frameAt(2303);
    EXPECT_EQ(playing(), "(rest)");
}

// Without allowInterrupt only the wind-down can be cut short; with it a shot and a reload can too,
// each counting an interruption.
TEST_F(Firing, SingleShotsAndInterrupts) {
    load(shotTypes(true, false, false), {"shot1", "windDown", "reload"});
    press(0);
    EXPECT_EQ(playing(), "shot1");
    frameAt(10);
    release(15);
    press(20);
    release(25);
    EXPECT_EQ(mgr().animationStart, 0u);
    frameAt(101);
    EXPECT_EQ(playing(), "windDown");
    press(150);
    release(155);
    EXPECT_EQ(playing(), "shot1");
    EXPECT_EQ(eventLines(takeLog()), std::string(kShotSingle) + kShotSingle);

    mgr().asset->allowInterrupt = true;
    frameAt(190);
    press(200);
    release(205);
    EXPECT_EQ(playing(), "shot1");
    EXPECT_EQ(mgr().animationStart, 200u);
    EXPECT_EQ(mgr().currentFrame, nullptr);  // the new shot shows its first frame anew
    EXPECT_TRUE(mgr().requestReload());
    EXPECT_EQ(playing(), "reload");
    EXPECT_EQ(eventLines(takeLog()), "   E: interruptedShot data1: 0 data2: -1\n" + std::string(kShotSingle) +
                                         "   E: interruptedShot data1: 0 data2: -1\n");
}

TEST_F(Firing, BurstCountsItsRoundsAtItsEjectFrames) {
    const std::string frames = "<frame img=\"0\"><eject num=\"1\"/></frame><frame img=\"0\"><eject num=\"2\"/></frame>"
                               "<frame img=\"0\"><eject num=\"1\"/></frame>";
    const std::string body = standardImages() + shotTypes(false, true, false) + ammoXml(10) +
                             "<ejectCartridge image=\"3\" scale=\"12\"/><animations><animation name=\"burst1\" "
                             "frameCount=\"3\" bg=\"1\">" + frames + "</animation></animations>";
    ASSERT_EQ(loadWeapon("w", weaponXml("w", body)), QEL::kFireModeBurst);
    takeLog();
    press(0);
    EXPECT_EQ(playing(), "burst1");
    EXPECT_EQ(mgr().roundsLeft, 9);  // nothing counted at the start
    frameAt(0);
    press(10);  // ignored during the burst
    EXPECT_EQ(mgr().animationStart, 0u);
    frameAt(20);
    frameAt(51);
    frameAt(102);
    frameAt(150);
    EXPECT_EQ(playing(), "(rest)");
    EXPECT_EQ(mgr().roundsLeft, 5);
    EXPECT_EQ(mgr().ejector->nextIndex, 4);
    EXPECT_EQ(eventLines(takeLog()), "   E: shot data1: 1 data2: 1\n   E: shot data1: 1 data2: 2\n"
                                     "   E: shot data1: 1 data2: 1\n");
}

TEST_F(Firing, FirstShotIsChargeAndWindDownInterruptsTo) {
    load(shotTypes(true, false, false), {"firstShot", "shot1", "chargeOff", "windDown", "cool"},
         ammoXml(3) +
         "<custom><firstShotIsCharge>chargeOff</firstShotIsCharge><windDownInterruptsTo>cool</windDownInterruptsTo></custom>");
    press(0);
    frameAt(30);
    release(50);  // let go during the charge: nothing is fired
    EXPECT_EQ(playing(), "chargeOff");
    frameAt(60);
    frameAt(151);
    EXPECT_EQ(playing(), "(rest)");
    EXPECT_EQ(mgr().roundsLeft, 2);
    EXPECT_FLOAT_EQ(roundAlpha(2), 1.0f);
    EXPECT_EQ(eventLines(takeLog()), "");

    press(1000);
    EXPECT_EQ(mgr().roundsLeft, 2);  // the round goes when the charge completes
    frameAt(1101);
    EXPECT_EQ(playing(), "shot1");  // held through the charge: the shot follows, counted once
    EXPECT_EQ(mgr().roundsLeft, 1);
    release(1120);
    frameAt(1202);
    EXPECT_EQ(playing(), "windDown");
    press(1250);
    EXPECT_EQ(playing(), "cool");
    EXPECT_EQ(eventLines(takeLog()), kShotSingle);
}

// Every round that leaves the magazine is one counted shot, in the event lines and in the score
// database, whatever the mode, the eject frames and the first and last shot animations.
struct Magazine {
    const char* name;
    QEL::FireMode mode;
    bool eject;
    bool firstAndLast;
};

class EveryRound : public Firing, public ::testing::WithParamInterface<Magazine> {
protected:
    std::string animation(const std::string& name) {
        const bool burst = name.rfind("burst", 0) == 0;
        std::string xml = "<animation name=\"" + name + "\" frameCount=\"3\" bg=\"1\">";
        for (int i = 0; i < 3; ++i) {
            const bool ejects = GetParam().eject && name != "windDown" && (burst || i == 1);
            xml += ejects ? "<frame img=\"0\"><eject num=\"1\"/></frame>" : "<frame img=\"0\"/>";
        }
        return xml + "</animation>";
    }
};

TEST_P(EveryRound, IsOneCountedShot) {
    const Magazine& magazine = GetParam();
    std::string xml = "<animations>";
    for (const char* name : {"shot1", "burst1", "windDown"}) xml += animation(name);
    if (magazine.firstAndLast) xml += animation("firstShot") + animation("lastShot");
    xml += "</animations><ejectCartridge image=\"3\" scale=\"12\"/>";
    ASSERT_EQ(loadWeapon("w", weaponXml("w", standardImages() + shotTypes(magazine.mode == QEL::kFireModeSingle,
                                                                         magazine.mode == QEL::kFireModeBurst,
                                                                         magazine.mode == QEL::kFireModeAuto) +
                                                 ammoXml(5) + xml)),
              magazine.mode);
    takeLog();
    uint32_t now = 0;
    for (int pull = 0; pull < 10 && !mgr().isEmpty(); ++pull) {
        press(now += 10);
        if (magazine.mode != QEL::kFireModeAuto) release(now += 5);
        do frameAt(now += 10);
        while (playing() != "(rest)" && now < 100000);
        release(now += 5);
    }
    EXPECT_TRUE(mgr().isEmpty());
    long long logged = 0;
    std::istringstream lines(eventLines(takeLog()));
    for (std::string line; std::getline(lines, line);) {
        int mode = -1, rounds = 0;
        if (std::sscanf(line.c_str(), "   E: shot data1: %d data2: %d", &mode, &rounds) == 2) logged += rounds;
    }
    EXPECT_EQ(logged, 5);
    ASSERT_TRUE(mgr().storeEventsToDB());
    EXPECT_EQ(storedValue("SELECT singleShot + burstShot + autoShot FROM score WHERE name='w'"), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Magazines, EveryRound,
    ::testing::Values(Magazine{"single", QEL::kFireModeSingle, false, false},
                      Magazine{"singleFirstLast", QEL::kFireModeSingle, false, true},
                      Magazine{"singleEject", QEL::kFireModeSingle, true, false},
                      Magazine{"singleEjectFirstLast", QEL::kFireModeSingle, true, true},
                      Magazine{"auto", QEL::kFireModeAuto, false, false},
                      Magazine{"autoFirstLast", QEL::kFireModeAuto, false, true},
                      Magazine{"autoEject", QEL::kFireModeAuto, true, false},
                      Magazine{"autoEjectFirstLast", QEL::kFireModeAuto, true, true},
                      // A burst counts its rounds at its eject frames; the second burst runs past the end.
                      Magazine{"burstEject", QEL::kFireModeBurst, true, true}),
    [](const ::testing::TestParamInfo<Magazine>& info) { return std::string(info.param.name); });

TEST_F(Firing, FrameTiming) {
    load(shotTypes(true, false, false), {"shot1"});
    press(0);
    const std::vector<std::pair<uint32_t, int>> expected = {{16, 0}, {17, 1}, {50, 1}, {51, 2}, {100, 2}};
    for (const auto& step : expected) {
        EXPECT_TRUE(frameAt(step.first));
        EXPECT_EQ(frameIndex(), step.second) << step.first << " ms";
        EXPECT_EQ(playing(), "shot1");
    }
    frameAt(101);
    EXPECT_EQ(playing(), "(rest)");
    EXPECT_EQ(frameIndex(), 2);
}

TEST_F(Firing, IncomingHits) {
    writeAsset("EFFECTS.xml",
               "<overlayHitEffects><effects>"
               "<effect id=\"1\" name=\"thirty\"><spurt dMin=\"30\" dMax=\"30\"/></effect>"
               "<effect id=\"2\" name=\"fatal\"><spurt dMin=\"1000\" dMax=\"1000\"/></effect>"
               "</effects></overlayHitEffects>\n");
    load(shotTypes(true, false, false), {"shot1"});
    mgr().damage->set(2);
    mgr().damageEnabled = false;
    mgr().receiveHit(1);
    EXPECT_FLOAT_EQ(mgr().damage->health(), 200.0f);
    mgr().damageEnabled = true;
    mgr().receiveHit(9);
    EXPECT_FLOAT_EQ(mgr().damage->health(), 200.0f);
    mgr().receiveHit(1);
    EXPECT_LT(mgr().damage->health(), 200.0f);
    press(0);
    mgr().receiveHit(2);
    EXPECT_TRUE(mgr().damage->dead());
    EXPECT_EQ(playing(), "(rest)");
    press(10);  // a press while dead digs instead of firing
    EXPECT_EQ(playing(), "(rest)");
    mgr().receiveHit(1);  // nothing more happens to the dead
    EXPECT_EQ(eventLines(takeLog()), std::string("   E: incomingHit data1: 1 data2: 30\n") +
                                         "   E: incomingHit data1: 9 data2: 0\n"
                                         "   E: incomingHit data1: 1 data2: 30\n" + kShotSingle +
                                         "   E: incomingHit data1: 2 data2: 1000\n"
                                         "   E: playerDeath data1: -1 data2: -1\n");
}

TEST_F(Firing, DodgingHoldsFire) {
    load(shotTypes(true, false, false), {"shot1", "reload"});
    EXPECT_FALSE(mgr().injectDodgeInput(true));  // no team game: no shield
    mgr().damage->set(2);
    EXPECT_TRUE(mgr().injectDodgeInput(true));
    EXPECT_FALSE(mgr().inputHeld);
    press(0);
    EXPECT_EQ(playing(), "(rest)");
    EXPECT_FALSE(mgr().injectDodgeInput(false));
    press(10);
    EXPECT_EQ(playing(), "shot1");
}

TEST_F(Firing, TapAndReloadRules) {
    load(shotTypes(true, false, false), {"shot1", "reload", "lastShot"}, ammoXml(1));
    setClock(0);
    mgr().tapInput();
    EXPECT_EQ(playing(), "lastShot");  // the only round is the last
    EXPECT_FALSE(mgr().inputHeld);
    EXPECT_FALSE(mgr().requestReload());  // lastShot cannot be cut short
    frameAt(101);
    EXPECT_EQ(playing(), "(rest)");
    setClock(200);
    mgr().tapInput();  // empty: a tap reloads
    EXPECT_EQ(playing(), "reload");
    EXPECT_EQ(eventLines(takeLog()), kShotSingle);  // the last round is a shot like any other
}

TEST_F(Firing, NoInputWithoutAWeapon) {
    mgr().injectInputDown();
    EXPECT_EQ(takeLog(), "W: (QEL::cAssetMgr::injectInputDown) cAssetMgr Received input without any assets loaded!\n");
    EXPECT_TRUE(mgr().inputHeld);
    EXPECT_FALSE(mgr().requestReload());
    EXPECT_FALSE(frameAt(5));
}

// Nothing to fire in the current mode: an error line per press, and the weapon stays usable.
TEST_F(Firing, NoAnimationForTheModeLeavesTheWeaponAtRest) {
    load(shotTypes(true, true, false), {"shot2"}, ammoXml(3));
    ASSERT_EQ(mgr().fireMode, QEL::kFireModeSingle);
    mgr().toggleAssetMode();
    ASSERT_EQ(mgr().fireMode, QEL::kFireModeBurst);
    takeLog();
    for (int i = 0; i < 2; ++i) {
        press(10 * i);
        release(10 * i + 5);
        EXPECT_EQ(playing(), "(rest)");
    }
    EXPECT_EQ(takeLog(), "E: (QEL::cAssetMgr::injectInputDown) \aNo animations found for the current firing mode! Crashing...\n"
                         "E: (QEL::cAssetMgr::injectInputDown) \aNo animations found for the current firing mode! Crashing...\n");
    // At rest with neither windDown nor burst1 there is no weapon picture: the rest of the screen
    // (here the magazine) is still drawn, and the problem is told once per rest.
    const char* restProblem = "E: (QEL::cAssetMgr::update) \aw has an inconsistency in it's firing mode.  Check it's custom XML.\n";
    for (uint32_t ms : {30, 40, 50}) {
        glClear(GL_COLOR_BUFFER_BIT);
        EXPECT_TRUE(frameAt(ms));
        EXPECT_TRUE(QEL::testing::colorNear(QEL::testing::readPixel(12, 302), 255, 255, 255))
            << QEL::testing::readPixel(12, 302);
    }
    EXPECT_EQ(takeLog(), restProblem);
    EXPECT_EQ(mgr().currentFrame, nullptr);
    mgr().toggleAssetMode();
    press(60);
    EXPECT_EQ(playing(), "shot2");
    frameAt(70);
    mgr().toggleAssetMode();
    takeLog();
    frameAt(161);
    frameAt(170);
    EXPECT_EQ(playing(), "(rest)");
    EXPECT_EQ(takeLog(), restProblem);  // told again for the next rest
}

TEST_F(Firing, IdleAndEmptyStateAtRest) {
    load(shotTypes(true, false, false), {"shot1", "idle1", "emptyState"}, ammoXml(1));
    frameAt(0);
    EXPECT_EQ(playing(), "idle1");
    EXPECT_EQ(frameIndex(), 0);
    press(50);  // idles can always be cut short
    EXPECT_EQ(playing(), "shot1");
    frameAt(151);
    frameAt(152);
    EXPECT_EQ(playing(), "emptyState");
    EXPECT_EQ(eventLines(takeLog()), "   E: idled data1: 0 data2: -1\n" + std::string(kShotSingle));
}

}  // namespace
}  // namespace weaponTest
