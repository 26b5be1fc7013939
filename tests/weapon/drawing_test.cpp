// The weapon screen: layer order read back from the frame buffer, and the side effects of shown,
// repeated and skipped frames (sounds, cartridges with their rounds, particles, network value, light).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "effects/cCartridgeEjector.h"
#include "effects/debugLight.h"
#include "effects/teamDamage.h"
#include "render/QuadSet.h"
#include "sound/cSoundManager.h"
#include "testing/weaponWorld.h"

namespace weaponTest {
namespace {

using QEL::testing::colorNear;
using QEL::testing::readPixel;

class Drawing : public WeaponWorld {
protected:
    void load(const std::string& body, const std::string& rootAttributes = "") {
        ASSERT_NE(loadWeapon("w", weaponXml("w", body, rootAttributes)), -2);
        takeLog();
    }
    QEL::cAnimFrame* frame(const std::string& animation, size_t index) {
        return mgr().asset->findAnimation(animation)->frames.at(index);
    }
    bool slotPlaying(int slot) {
        for (QEL::cSoundPool* pool : mgr().soundSlots[slot]->pools) {
            for (QEL::cSound* sound : pool->instances) {
                if (sound && sound->channel.load()) return true;
            }
        }
        return false;
    }
    // Lets the 100 ms test sound end.
    void letSoundsEnd() { mixAudio(8000); }
    // Sound slots 0 … count - 1 playing the test sound under the names t0, t1, …
    std::string soundsXml(int count) {
        std::string xml = "<sounds>";
        for (int i = 0; i < count; ++i) {
            writeOgg("t" + std::to_string(i));
            xml += "<sound id=\"" + std::to_string(i) + "\">t" + std::to_string(i) + "</sound>";
        }
        return xml + "</sounds>";
    }
    bool drawAt(uint32_t ms) {
        glClear(GL_COLOR_BUFFER_BIT);
        return frameAt(ms);
    }
};

TEST_F(Drawing, SkippedEjectFramesAreCaughtUp) {
    const std::string frames = "<frame img=\"0\"/><frame img=\"0\"><eject num=\"1\"/></frame>"
                               "<frame img=\"0\"><eject num=\"1\"/></frame><frame img=\"0\"/>";
    load(standardImages() + shotTypes(true, false, false) + ammoXml(10) + "<ejectCartridge image=\"3\" scale=\"12\"/>" +
         "<animations><animation name=\"shot1\" frameCount=\"4\">" + frames + "</animation></animations>");
    setClock(0);
    mgr().injectInputDown();
    EXPECT_EQ(mgr().roundsLeft, 9);  // an ejecting shot counts at its eject frames
    drawAt(0);
    drawAt(100);  // ten frames per second: frames 1 and 2 were skipped
    EXPECT_EQ(frameIndex(), 3);
    EXPECT_EQ(mgr().ejector->nextIndex, 2);
    EXPECT_TRUE(mgr().ejector->cartridge(0).active);
    EXPECT_TRUE(mgr().ejector->cartridge(1).active);
    EXPECT_EQ(mgr().roundsLeft, 7);
    EXPECT_EQ(takeLog(), "   E: shot data1: 0 data2: 1\n   E: shot data1: 0 data2: 1\n");
}

TEST_F(Drawing, LastFrameOfARunOutAnimationIsARepeat) {
    const std::string frames = "<frame img=\"0\"/><frame img=\"0\" sound=\"0\"><eject num=\"1\"/></frame>";
    load(standardImages() + shotTypes(false, true, false) + soundsXml(1) + ammoXml(10) +
         "<ejectCartridge image=\"3\" scale=\"12\"/><animations><animation name=\"burst1\" frameCount=\"2\">" + frames +
         "</animation></animations>");
    setClock(0);
    mgr().injectInputDown();
    drawAt(0);
    drawAt(40);
    EXPECT_EQ(frameIndex(), 1);
    EXPECT_TRUE(slotPlaying(0));
    letSoundsEnd();
    drawAt(70);  // ran out, nothing follows: frame 1 is shown again as a repeat
    EXPECT_EQ(mgr().currentAnimation, nullptr);
    EXPECT_EQ(frameIndex(), 1);
    EXPECT_FALSE(slotPlaying(0));
    EXPECT_EQ(mgr().roundsLeft, 8);
    EXPECT_EQ(mgr().ejector->nextIndex, 1);

    // At ten frames per second the last frame was never shown: its effects fire once as the
    // animation runs out.
    takeLog();
    setClock(1000);
    mgr().injectInputDown();
    drawAt(1000);
    drawAt(1101);
    EXPECT_EQ(mgr().currentAnimation, nullptr);
    EXPECT_TRUE(slotPlaying(0));
    EXPECT_EQ(mgr().roundsLeft, 7);
    EXPECT_EQ(mgr().ejector->nextIndex, 2);
    EXPECT_EQ(takeLog(), "   E: shot data1: 1 data2: 1\n");
}

TEST_F(Drawing, TheIntroWaitingAtRestFiresItsFirstFrameOnce) {
    load(standardImages() + shotTypes(true, false, false) + soundsXml(1) +
         "<animations><animation name=\"intro\" frameCount=\"3\"><frame img=\"0\" sound=\"0\"/><frame img=\"0\"/>"
         "</animation>" + animationXml("shot1", 3, 1) + "</animations>");
    drawAt(0);
    EXPECT_TRUE(slotPlaying(0));
    letSoundsEnd();
    drawAt(10);
    drawAt(20);
    EXPECT_FALSE(slotPlaying(0));
    setClock(30);
    mgr().injectInputDown();
    EXPECT_EQ(mgr().currentAnimation->name, "intro");
    drawAt(30);
    EXPECT_FALSE(slotPlaying(0));
    EXPECT_EQ(frameIndex(), 0);
    drawAt(70);
    EXPECT_EQ(frameIndex(), 1);
    EXPECT_EQ(takeLog(), "");  // the intro fires no rounds
}

TEST_F(Drawing, FrameSoundsOverlapByTwoAtMost) {
    load(standardImages() + shotTypes(true, false, false) + soundsXml(3) + "<animations>" + animationXml("shot1", 3, 1) +
             "</animations>",
         "allowSoundOverlap=\"true\"");
    QEL::cAssetMgr& m = mgr();
    for (int i = 0; i < 3; ++i) m.playFrameSound(m.soundSlots[i]);
    EXPECT_FALSE(slotPlaying(0));
    EXPECT_TRUE(slotPlaying(1));
    EXPECT_TRUE(slotPlaying(2));
    EXPECT_EQ(m.playingFrameSounds.size(), 2u);
    // Ended sounds leave the list.
    letSoundsEnd();
    m.playFrameSound(m.soundSlots[0]);
    EXPECT_EQ(m.playingFrameSounds.size(), 1u);

    m.asset->allowSoundOverlap = false;
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 3; ++i) m.playFrameSound(m.soundSlots[i]);
        EXPECT_LE(m.playingFrameSounds.size(), 1u);
    }
    EXPECT_FALSE(slotPlaying(0));
    EXPECT_FALSE(slotPlaying(1));
    EXPECT_TRUE(slotPlaying(2));
}

TEST_F(Drawing, NetworkValueAndLight) {
    load(standardImages() + shotTypes(true, false, false) +
         "<animations><animation name=\"shot1\" frameCount=\"3\"><frame img=\"0\" netSend=\"7\"/>"
         "<frame img=\"0\" netSend=\"0\" lit=\"1\"/><frame img=\"0\" netSend=\"-3\"/></animation></animations>");
    QEL::cAssetMgr& m = mgr();
    m.drawFrame(frame("shot1", 0), false);
    EXPECT_EQ(m.pendingNetShot, 7);
    m.drawFrame(frame("shot1", 1), false);
    m.drawFrame(frame("shot1", 2), false);
    EXPECT_EQ(m.pendingNetShot, 7);
    frameAt(5);
    EXPECT_EQ(lastNetShot, 7);
    EXPECT_EQ(m.pendingNetShot, -1);
    frameAt(6);
    EXPECT_EQ(lastNetShot, -1);

    // The lit frame asked for the light: on at the next update, off after 10 ms; drawn while visible.
    EXPECT_TRUE(m.debugLight->on);
    frameAt(20);
    EXPECT_FALSE(m.debugLight->on);
    m.debugLight->toggle();
    m.drawFrame(frame("shot1", 1), false);
    glClear(GL_COLOR_BUFFER_BIT);
    frameAt(100);
    EXPECT_TRUE(m.debugLight->on);
    EXPECT_TRUE(colorNear(readPixel(15, 15), 255, 0, 0)) << readPixel(15, 15);
    frameAt(110);
    EXPECT_TRUE(m.debugLight->on);
    glClear(GL_COLOR_BUFFER_BIT);
    frameAt(111);
    EXPECT_FALSE(m.debugLight->on);
    EXPECT_FALSE(colorNear(readPixel(15, 15), 255, 0, 0)) << readPixel(15, 15);

    takeLog();
    m.drawFrame(nullptr, false);
    EXPECT_EQ(takeLog(), "W: (QEL::cAssetMgr::drawFrame) cAssetMgr empty frame sent to draw! Check if the animation "
                         "has any frames.\n");
}

// The main loop draws a turn only when the weapon says its picture is due. Every turn of a run
// through rest, auto fire, cartridges, particles, the debug light and team hits is checked: a turn
// left undrawn must keep exactly the picture a full draw would give, and the run must fire the
// same side effects as one that draws every turn.
class Pacing : public Drawing {
protected:
    struct Run {
        std::string trace, log;
        int drawn = 0, kept = 0;
    };

    Run play(bool paced) {
        writeSolidPng("spark", 8, 8, 255, 0, 0, true);
        writeSolidPng("_helmetBodyArmor", 128, 64, 255, 255, 255, true);
        const std::string sway = "<animation name=\"idle0\" frameCount=\"4\" bg=\"1\"><frame img=\"0\" x=\"0\"/>"
                                 "<frame img=\"0\" x=\"3\" lit=\"1\"/><frame img=\"0\" x=\"6\"/></animation>";
        const std::string shot = "<animation name=\"shot1\" frameCount=\"3\" bg=\"1\"><frame img=\"0\" sound=\"0\" "
                                 "netSend=\"4\" lit=\"1\"><eject num=\"1\" x=\"300\" y=\"150\"/><spawn e=\"1\" x=\"100\" "
                                 "y=\"100\" sc=\"30\" ms=\"900\" sp=\"0.05\" rg=\"90\"/></frame><frame img=\"0\" x=\"-4\"/>"
                                 "<frame img=\"0\" x=\"-2\"/></animation>";
        load(standardImages() + shotTypes(false, false, true) + soundsXml(1) + ammoXml(10) +
             "<emitters><emitter id=\"1\" name=\"spark\" blend=\"3\"/></emitters>"
             "<ejectCartridge image=\"3\" scale=\"12\"/><animations>" + sway + shot + "</animations>"
             "<custom><light>controlled</light><gravity x=\"0\" y=\"0.01\"/></custom>");
        std::srand(7);
        QEL::cAssetMgr& m = mgr();
        Run run;
        const uint32_t start = clockNow;
        uint32_t now = start;
        auto turns = [&](int count) {
            for (int i = 0; i < count; ++i) {
                now += 16;
                turn(m, paced, now, run);
                run.trace += std::to_string(now - start) + ":" + std::to_string(frameIndex()) + "," +
                             std::to_string(m.roundsLeft) + "," + std::to_string(lastNetShot) + "," +
                             std::to_string(m.debugLight->on) + "," + std::to_string(m.ejector->activeCount) + "," +
                             std::to_string(m.damage->health()) + " ";
            }
        };
        m.debugLight->visible = false;
        turns(20);
        m.debugLight->toggle();
        m.injectInputDown();
        turns(20);
        m.injectInputUp();
        turns(40);
        m.damage->set(2);
        turns(3);
        m.receiveHit(1);
        turns(10);
        m.damage->set(1);
        turns(30);
        run.log = takeLog();
        return run;
    }

    // One turn as the main loop runs it.
    void turn(QEL::cAssetMgr& m, bool paced, uint32_t now, Run& run) {
        const bool due = !paced || m.pictureDue(now);
        m.drawing = due;
        frameAt(now);
        m.drawing = true;
        if (due) {
            m.dirty = false;
            ++run.drawn;
            return;
        }
        if (!m.currentFrame) return;
        const std::vector<uint8_t> kept = QEL::testing::readPixels(0, 0, 568, 320);
        m.drawFrame(m.currentFrame, true);
        const std::vector<uint8_t> current = QEL::testing::readPixels(0, 0, 568, 320);
        ++run.kept;
        EXPECT_TRUE(kept == current) << "the picture kept at " << now << " ms is not the current one";
    }
};

TEST_F(Pacing, UndrawnTurnsKeepTheCurrentPictureAndFireEverySideEffect) {
    const Run everyTurn = play(false);
    const Run paced = play(true);
    EXPECT_EQ(paced.trace, everyTurn.trace);
    EXPECT_EQ(paced.log, everyTurn.log);
    // At rest the sway changes every other turn; the kept pictures were checked.
    EXPECT_LT(paced.drawn, everyTurn.drawn * 9 / 10);
    EXPECT_GE(paced.kept, 15);
}

// A weapon whose first frame starts a red particle at (40, 40), 40 pixels wide, over the blue
// background; the green weapon picture sits at (300, 200). Each drawing order puts the particle
// (read at (60, 60)) over or under the background (read at (200, 100)).
struct LayerCase {
    const char* custom;
    QEL::testing::RGBA particle, background;
};

void PrintTo(const LayerCase& c, std::ostream* out) { *out << c.custom; }

class LayerOrder : public Drawing, public ::testing::WithParamInterface<LayerCase> {};

TEST_P(LayerOrder, PutsTheParticlesWhereTheOrderSays) {
    writeSolidPng("spark", 8, 8, 255, 0, 0, true);
    load(standardImages() + shotTypes(true, false, false) + "<emitters><emitter id=\"1\" name=\"spark\"/></emitters>" +
         "<animations><animation name=\"shot1\" frameCount=\"30\" bg=\"1\"><frame img=\"0\" x=\"300\" y=\"200\">"
         "<spawn e=\"1\" x=\"40\" y=\"40\" sc=\"40\" ms=\"1000\"/></frame></animation></animations>"
         "<custom>" + GetParam().custom + "</custom>");
    setClock(0);
    mgr().injectInputDown();
    drawAt(0);
    drawAt(10);
    const QEL::testing::RGBA weapon = readPixel(400, 300), particle = readPixel(60, 60), background = readPixel(200, 100);
    EXPECT_TRUE(colorNear(weapon, 0, 255, 0)) << weapon;
    EXPECT_TRUE(colorNear(particle, GetParam().particle.r, GetParam().particle.g, GetParam().particle.b)) << particle;
    EXPECT_TRUE(colorNear(background, GetParam().background.r, GetParam().background.g, GetParam().background.b)) << background;
}

const QEL::testing::RGBA kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kBlack{0, 0, 0, 255};
INSTANTIATE_TEST_SUITE_P(
    DrawOrders, LayerOrder,
    ::testing::Values(LayerCase{"<drawOrder>particlesBack</drawOrder>", kBlue, kBlue},
                      LayerCase{"<drawOrder>particlesOverBG</drawOrder>", kRed, kBlue}, LayerCase{"", kRed, kBlue},
                      LayerCase{"<drawOrder>particlesBack</drawOrder><drawBackground>false</drawBackground>", kRed, kBlack}));

}  // namespace
}  // namespace weaponTest
