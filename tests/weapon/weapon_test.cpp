// The weapon in hand on real files, a set clock, an offline speaker and a real GL context: what
// plays, what is drawn and heard, the event lines, and what reaches the score database; and the
// format guide against the format tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <utility>
#include <map>

#include "app/cApp.h"
#include "app/inputTable.h"
#include "app/mainLoop.h"
#include "app/weaponChooser.h"
#include "base/dataFileReader.h"
#include "effects/overlayEffects.h"
#include "effects/teamDamage.h"
#include "sound/cSoundManager.h"
#include "testing/weaponWorld.h"
#include "weapon/weaponFormat.h"
#include "weapon/weaponTest.h"

namespace weaponTest {
namespace {

using QEL::testing::colorNear, QEL::testing::readPixel;

std::string fr(const std::string& attributes, const std::string& inside = "") {
    return "<frame img=\"0\" " + attributes + ">" + inside + "</frame>";
}
std::string ej(const std::string& attributes) { return fr(attributes, "<eject num=\"1\"/>"); }
std::string anim(const std::string& name, const std::string& frameCount, const std::string& frames) {
    return "<animation name=\"" + name + "\" frameCount=\"" + frameCount + "\" bg=\"1\">" + frames + "</animation>";
}
std::string anims(const std::vector<std::string>& names) {  // of three frames (100 ms) each
    std::string xml = "<animations>";
    for (const std::string& name : names) xml += anim(name, "3", fr("") + fr("") + fr(""));
    return xml + "</animations>";
}
std::string anims(const std::string& name, const std::string& frameCount, const std::string& frames) {
    return "<animations>" + anim(name, frameCount, frames) + "</animations>";
}
const std::string kSounds = "<sounds><sound id=\"0\">t0</sound><sound id=\"1\">t1</sound><sound id=\"2\">t2</sound></sounds>";
const std::string kEject = "<ejectCartridge image=\"3\" scale=\"12\"/>", kSingle = shotTypes(true, false, false),
                  kSpark = "<emitters><emitter id=\"1\" name=\"spark\"/></emitters>";

// The event lines of a log as "name:data1:data2" words; `rounds` gets what their shots fired.
std::string events(const std::string& log, long long& rounds, std::string out = "") {
    std::istringstream lines(log);
    char name[32];
    int a = 0, b = 0;
    for (std::string line; std::getline(lines, line);) {
        if (std::sscanf(line.c_str(), "   E: %31s data1: %d data2: %d", name, &a, &b) != 3) continue;
        out += (out.empty() ? "" : " ") + std::string(name) + ":" + std::to_string(a) + ":" + std::to_string(b);
        rounds += std::string(name) == "shot" ? b : 0;
    }
    return out;
}

// A script's run: turns drawn only when due (or all), the weapon file, the log so far, each turn's picture checksum.
struct ScriptRun { bool paced = false; std::string weapon = "", log = ""; std::vector<size_t> pictures = {}; };

class Weapon : public WeaponWorld {
protected:
    bool heard(const std::string& pool) {  // slot n of kSounds plays the pool t<n>: t<n>_0 or t<n>_1
        QEL::cSound *first = sounds->findSound(pool + "_0"), *second = sounds->findSound(pool + "_1");
        return (first && first->channel.load()) || (second && second->channel.load());
    }
    int roundsShown(int shown = 0) {  // white rounds of an ammoXml magazine on the picture
        for (int i = 0; i < 10; ++i) shown += colorNear(readPixel(12 + 10 * i, 302), 255, 255, 255);
        return shown;
    }
    bool pixelIs(const std::string& xyRgb) {  // "x,y,rrggbb"
        unsigned x = 0, y = 0, rgb = 0;
        return std::sscanf(xyRgb.c_str(), "%u,%u,%x", &x, &y, &rgb) == 3 &&
               colorNear(readPixel(x, y), rgb >> 16, (rgb >> 8) & 255, rgb & 255);
    }
    // Single shots, bursts or held auto fire, 10 ms turns, until the magazine is empty.
    void fireDry() {
        for (int pull = 0; pull < 10 && !mgr().isEmpty(); ++pull) {
            mgr().injectInputDown();
            if (mgr().currentFireMode() != QEL::kFireModeAuto) mgr().injectInputUp();
            while (frameAt(clockNow + 10) && !mgr().playingAnimation().empty() && clockNow < 100000) {}
            mgr().injectInputUp();
        }
    }
    // A turn as the main loop runs it: drawn, or (`paced`) only when the picture is due.
    void turn(uint32_t now) {
        const bool due = !current.paced || mgr().pictureDue(now);
        frameAt(now, due);
        if (due) mgr().pictureShown();
        const std::vector<uint8_t> picture = QEL::testing::readPixels(0, 0, 568, 320);
        current.pictures.push_back(std::hash<std::string>()(std::string(picture.begin(), picture.end())));
    }
    // A script of steps, a letter and a number each: p press, u release, t tap, R reload, f a turn, at
    // that clock reading; E fire dry; m the mode switch; %n the fire mode; =name what plays ("=rest");
    // #n rounds loaded; o n rounds on the picture; @x,y,rrggbb a pixel; ^n the shot number the last
    // turn gave; s/S t<n> heard or not; ~ sounds played out; L the debug light's key; l1/l0 the light
    // seen or not; T team mode n; D1/D0 the shield; H a hit by effect n; X1/X0 damage on or off; $n the
    // health; ! dead; e n error lines, r n rounds in shot lines so far; W the weapon taken up again.
    void run(const std::string& script) {
        std::istringstream words(script);
        for (std::string word; words >> word;) {
            SCOPED_TRACE(word);
            const std::string arg = word.substr(1);
            const int n = std::string("=@").find(word[0]) != std::string::npos || arg.empty() ? 0 : std::stoi(arg);
            long long rounds = 0;
            const std::map<char, std::function<void()>> steps = {
                {'p', [&] { setClock(n); mgr().injectInputDown(); }}, {'u', [&] { setClock(n); mgr().injectInputUp(); }},
                {'t', [&] { setClock(n); mgr().tapInput(); }}, {'R', [&] { setClock(n); mgr().requestReload(); }},
                {'f', [&] { turn(n); }}, {'E', [&] { fireDry(); }}, {'m', [&] { mgr().toggleAssetMode(); }},
                {'%', [&] { EXPECT_EQ(mgr().currentFireMode(), n); }}, {'#', [&] { EXPECT_EQ(mgr().roundsLoaded(), n); }},
                {'=', [&] { EXPECT_EQ(mgr().playingAnimation(), arg == "rest" ? "" : arg); }},
                {'o', [&] { EXPECT_EQ(roundsShown(), n); }}, {'@', [&] { EXPECT_TRUE(pixelIs(arg)) << arg; }},
                {'^', [&] { EXPECT_EQ(lastNetShot, n); }}, {'~', [&] { mixAudio(8000); }}, {'L', [&] { mgr().toggleDebugLight(); }},
                {'s', [&] { EXPECT_TRUE(heard("t" + arg)); }}, {'S', [&] { EXPECT_FALSE(heard("t" + arg)); }},
                {'l', [&] { EXPECT_EQ(pixelIs("15,15,ff0000"), n == 1); }}, {'T', [&] { mgr().setTeamMode(static_cast<QEL::TeamMode>(n)); }},
                {'D', [&] { mgr().injectDodgeInput(n == 1); }}, {'H', [&] { mgr().receiveHit(n); }},
                {'X', [&] { mgr().setDamageEnabled(n == 1); }}, {'!', [&] { EXPECT_TRUE(mgr().playerDead()); }},
                {'$', [&] { EXPECT_EQ(mgr().damageDisplay().health(), float(n)); }}, {'W', [&] { loadWeapon("w", current.weapon); }},
                {'e', [&] { EXPECT_EQ(std::count(current.log.begin(), current.log.end(), '\a'), n); }},  // error lines ring
                {'r', [&] { events(current.log, rounds); EXPECT_EQ(rounds, n); }}};
            ASSERT_EQ(steps.count(word[0]), 1u);
            steps.at(word[0])();
            current.log += takeLog();
        }
    }
    ScriptRun current;
};

// A row: a weapon (after the standard images), a script, the event lines it gives ("*": any).
struct Scenario { std::string name, body, script, events, rootAttributes = ""; };
void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }

class Scenarios : public Weapon, public ::testing::WithParamInterface<Scenario> {};

// Each script runs twice, drawing every turn and then only the turns whose picture is due: a turn
// left undrawn keeps exactly the picture a full draw gives, and both runs log the same. The rounds
// the shot lines fire are the shot counts stored in scores.db.
TEST_P(Scenarios, PlayAsScriptedAndPacedAlike) {
    const Scenario& row = GetParam();
    ScriptRun runs[2];
    for (bool paced : {false, true}) {
        current = ScriptRun{paced};
        clockNow = 0;
        std::srand(7);
        fs::remove(root / "assets" / "scores.db");
        ASSERT_NE(loadWeapon("w", current.weapon = weaponXml("w", standardImages() + row.body, row.rootAttributes)), -2);
        takeLog();
        run(row.script);
        long long rounds = 0;
        const std::string lines = events(current.log, rounds);
        if (row.events != "*") { EXPECT_EQ(lines, row.events); }
        ASSERT_TRUE(mgr().storeEventsToDB());
        EXPECT_EQ(storedValue("SELECT singleShot + burstShot + autoShot FROM score WHERE name='w'"), rounds);
        restartManager();
        runs[paced] = current;
    }
    EXPECT_EQ(runs[1].pictures, runs[0].pictures);
    EXPECT_EQ(runs[1].log, runs[0].log);
}

// Every round that leaves the magazine is one counted shot, whatever the mode, the eject frames and the
// first and last shots; a burst counts at its eject frames, and the second one runs past the end.
std::vector<Scenario> magazinesFiredDry(std::vector<Scenario> rows) {
    for (int row = 0; row < 9; ++row) {  // single, auto, then burst with eject frames, first and last shots
        const int mode = row / 4, eject = row == 8 || row & 1, firstAndLast = row == 8 || row & 2;
        std::string xml = "<animations>";
        for (std::string name : {"shot1", "burst1", "windDown", "firstShot", "lastShot"}) {
            std::string frames;
            for (int i = 0; i < 3; ++i) frames += eject && name != "windDown" && (name == "burst1" || i == 1) ? ej("") : fr("");
            if (firstAndLast || name.find("Shot") == std::string::npos) xml += anim(name, "3", frames);
        }
        const std::string name = std::string(mode == 0 ? "single" : mode == 1 ? "auto" : "burst") + (eject ? "Eject" : "");
        rows.push_back({name + (firstAndLast ? "FirstLastDry" : "Dry"), shotTypes(mode == 0, mode == 2, mode == 1) + ammoXml(5) + kEject + xml +
                        "</animations>", "E #0 r5", "*"});
    }
    return rows;
}
// The red particle at (40, 40) over or under the blue background, the green weapon picture at (300, 200).
std::string layers(const std::string& custom) {
    return kSingle + kSpark + anims("shot1", "30", fr("x=\"300\" y=\"200\"", "<spawn e=\"1\" x=\"40\" y=\"40\" sc=\"40\" "
                                                  "ms=\"1000\"/>")) + "<custom>" + custom + "</custom>";
}
const std::string kLayers = "p0 f0 f10 @400,300,00ff00 @60,60,", kBoth = anims({"shot1", "burst1"});
const std::string kThreeSounds = kSingle + kSounds + anims("shot1", "3", fr("sound=\"0\"") + fr("sound=\"1\"") + fr("sound=\"2\""));

INSTANTIATE_TEST_SUITE_P(Weapon, Scenarios, ::testing::ValuesIn(magazinesFiredDry({
    Scenario{"modeSwitchCycle", shotTypes(true, true, true) + kBoth, "%2 m %1 m %0 m %2", "switchedMode:1:-1 switchedMode:0:-1 switchedMode:2:-1"},
    Scenario{"forcedStartingMode", shotTypes(true, false, true) + kBoth + "<custom><forceStartingMode>single</forceStartingMode></custom>",
             "%0 m %2", "switchedMode:2:-1"},
    Scenario{"onlyBurstClicksAndStays", shotTypes(false, true, false) + kBoth, "%1 m %1", "switchedMode:1:-1"},
    Scenario{"noModeNoFire", shotTypes(false, false, false) + kBoth, "%-1 p0 =rest f10", ""},
    // Held down, auto fire counts the last round and winds down while still held; then the empty click.
    Scenario{"autoMagazineHeldDown", shotTypes(false, false, true) + ammoXml(3) + anims({"firstShot", "shot1", "lastShot", "windDown", "reload"}),
             "f10 o3 p1000 f1000 =firstShot f1101 =shot1 f1202 =lastShot f1303 =windDown u1350 f1404 =rest o0 p1500 u1510 =rest "
             "R1600 =reload f1650 f1701 #3 o3 p2000 f2101 f2202 =lastShot u2250 f2303 =rest",  // let go in the last shot: no wind-down
             "shot:2:1 shot:2:1 shot:2:1 emptyShot:2:-1 reload:2:-1 shot:2:1 shot:2:1 shot:2:1"},
    // Without allowInterrupt only the wind-down can be cut short.
    Scenario{"noInterrupt", kSingle + anims({"shot1", "windDown", "reload"}), "p0 f10 u15 p50 u55 f101 =windDown p150 =shot1",
             "shot:0:1 shot:0:1"},
    // With it a shot cut short counts an interruption, and the shot started anew sends its first frame's number again.
    Scenario{"interruptAndTheSameShotAnew", kSingle + anims("shot1", "3", fr("netSend=\"7\"") + fr("") + fr("")),
             "p200 f200 p210 f210 f215 ^7", "shot:0:1 interruptedShot:0:-1 shot:0:1", "allowInterrupt=\"true\""},
    // A charge released early fires nothing; held through, the shot counts its round once.
    Scenario{"chargeReleasedEarly", kSingle + ammoXml(3) + anims({"firstShot", "shot1", "chargeOff", "windDown", "cool"}) +
             "<custom><firstShotIsCharge>chargeOff</firstShotIsCharge><windDownInterruptsTo>cool</windDownInterruptsTo></custom>",
             "p0 f30 u50 =chargeOff f60 f151 =rest #3 o3 p1000 #3 f1101 =shot1 #2 u1120 f1202 =windDown p1250 =cool", "shot:0:1"},
    Scenario{"tapsAndTheLastShot", kSingle + ammoXml(1) + anims({"shot1", "reload", "lastShot"}),
             "t0 =lastShot R50 =lastShot f101 =rest t200 =reload", "shot:0:1"},
    // Idles are logged (not stored); an empty magazine rests on emptyState.
    Scenario{"idleAndEmptyState", kSingle + ammoXml(1) + anims({"shot1", "idle1", "emptyState"}),
             "f0 =idle1 p50 =shot1 f151 f152 =emptyState", "idled:0:-1 shot:0:1"},
    // Nothing to fire in the mode: an error line per press, the weapon usable; with nothing to show at rest
    // the other layers (the magazine) are still drawn and the problem is told once per rest.
    Scenario{"noAnimationForTheMode", shotTypes(true, true, false) + ammoXml(3) + anims({"shot2"}),
             "m p0 u5 =rest p10 u15 =rest e2 f30 o3 f40 o3 f50 o3 e3 m p60 =shot2 f70 m f161 f170 =rest e4 o2",
             "switchedMode:1:-1 switchedMode:0:-1 shot:0:1 switchedMode:1:-1"},
    // The shield holds fire; hits count with damage off too; the dead dig instead of firing and take no more hits.
    Scenario{"hitsShieldAndDeath", kSingle + anims({"shot1", "reload"}),
             "T2 D1 p0 =rest f5 D0 X0 H1 f20 $200 X1 H9 $200 H1 f40 f60 p70 =shot1 f80 H2 ! m =rest f100 p110 =rest H1 f120 f300",
             "incomingHit:1:30 incomingHit:9:0 incomingHit:1:30 shot:0:1 incomingHit:2:1000 playerDeath:-1:-1"},
    // Eject frames skipped between two turns still count their rounds; the rounds took the cartridges' picture slot.
    Scenario{"skippedEjectFramesCaughtUp", kSingle + "<ejectCartridge image=\"2\" scale=\"12\"/>" + ammoXml(10) + kSpark + anims("shot1", "4",
             fr("", "<spawn e=\"1\" x=\"100\" y=\"100\" sc=\"30\" ms=\"200\" sp=\"0.05\"/>") + ej("") + ej("") + fr("")),
             "p0 #10 f0 f100 #8 f120 f140 o8 f160 f300 f400 o8", "shot:0:1 shot:0:1"},
    // A run-out animation's last frame shown again is a repeat; at ten frames a second, the never
    // shown last frame fires once as the animation runs out.
    Scenario{"runOutRepeatsItsLastFrame", shotTypes(false, true, false) + kSounds + ammoXml(10) + kEject +
             anims("burst1", "2", fr("") + ej("sound=\"0\"")), "p0 f0 f40 s0 ~ f70 =rest S0 #9 p1000 f1000 f1101 =rest s0 #8",
             "shot:1:1 shot:1:1"},
    Scenario{"introFirstFrameOnce", kSingle + kSounds + anims("intro", "3", fr("sound=\"0\"") + fr("")),
             "f0 s0 ~ f10 f20 S0 p30 =intro f30 S0 f70", ""},
    // Taken up again mid-shot with a cartridge in flight, the weapon starts afresh: its intro's first frame is heard again.
    Scenario{"againMidShot", kSingle + kSounds + ammoXml(3) + kEject + "<animations>" + anim("intro", "2", fr("sound=\"0\"") +
             fr("")) + anim("shot1", "3", ej("") + fr("") + fr("")) + "</animations>",
             "f0 s0 p10 u15 f80 ~ p100 f100 u105 f120 f201 =rest W f210 s0 o3 f220", "shot:0:1 switchedMode:0:-1"},
    Scenario{"frameSoundsOverlapByTwo", kThreeSounds, "p0 f0 f34 f67 S0 s1 s2", "shot:0:1", "allowSoundOverlap=\"true\""},
    Scenario{"frameSoundsWithoutOverlap", kThreeSounds, "p0 f0 f34 f67 S0 S1 s2", "shot:0:1"},
    // A lit frame turns the light on at the next turn for 10 ms; only positive numbers are sent.
    Scenario{"networkValueAndLight", kSingle + anims("shot1", "3", fr("netSend=\"7\"") + fr("netSend=\"0\" lit=\"1\"") +
             fr("netSend=\"-3\"")), "L p0 f0 f34 ^7 f40 l1 f51 l0 f67 ^-1 f80 ^-1", "shot:0:1"},
    Scenario{"longestAnimation", kSingle + anims("shot1", "2147483647", fr("")), "p0 f100000 =shot1", "shot:0:1"},
    Scenario{"framelessWindDown", kSingle + "<animations>" + anim("windDown", "3", "") + anim("shot1", "3", fr("")) + "</animations>", "f0 f10", ""},
    // Magazine and cartridges of an image index past the slots: the rounds still counted.
    Scenario{"slotIndexPastTheSlots", kSingle + "<ammo count=\"2\" img=\"15\"/><ejectCartridge image=\"15\" scale=\"12\"/>" +
             "<animations><animation name=\"shot1\" frameCount=\"3\" bg=\"20\">" + ej("x=\"400\" y=\"250\"") +
             "</animation></animations>", "f0 p10 f10 f120 #1 p130 f130 f240 #0", "shot:0:1 shot:0:1"},
    Scenario{"particlesBehindTheBackground", layers("<drawOrder>particlesBack</drawOrder>"), kLayers + "0000ff @200,100,0000ff", "*"},
    Scenario{"particlesOverTheBackground", layers("<drawOrder>particlesOverBG</drawOrder>"), kLayers + "ff0000 @200,100,0000ff", "*"},
    Scenario{"particlesInFront", layers(""), kLayers + "ff0000 @200,100,0000ff", "*"},
    Scenario{"particlesWithoutBackground", layers("<drawOrder>particlesBack</drawOrder><drawBackground>false</drawBackground>"),
             kLayers + "ff0000 @200,100,000000", "*"}})),
    [](const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; });

// A whole weapon: a picture under another extension, sound variants up to the first gap, slots sharing
// a file's pools, an animation sound placed by its slot's offset over a frame's own, spawns without an
// emitter or with a negative area, magazine, cartridges, <custom>. Slots naming the shared sounds' files
// go with the weapon; the shared pools outlive them (a freed one played fails under AddressSanitizer).
TEST_F(Weapon, AWholeWeaponIsReadPlaysAndGoesWithItsSounds) {
    for (const char* name : {"bang", "bang-v1", "bang-v3", "emptyClick", "shellHitFloor", "dodgeOn", "dodgeOff"}) writeOgg(name);
    loadWeapon("w", weaponXml("w", standardImages() + kSingle + anims({"shot1"})));
    run("T2 D1 D0");  // the shield's sounds exist from here on
    const size_t groups = sounds->groupCount();
    EXPECT_EQ(loadWeapon("w", weaponXml("w", "<images><image id=\"0\">gun.jpg</image><image id=\"1\">bg.png</image><image "
              "id=\"2\">round.png</image><image id=\"3\">shell.png</image></images><sounds><sound id=\"2\" offset=\"1\">bang"
              "</sound><sound id=\"4\">bang</sound><sound id=\"5\">emptyClick</sound><sound id=\"6\">shellHitFloor</sound>"
              "<sound id=\"7\">dodgeOn</sound><sound id=\"8\">dodgeOff</sound></sounds>" + shotTypes(true, false, true) + kSpark +
              ammoXml(3) + kEject + "<animations><animation name=\"shot1\" frameCount=\"3\" bg=\"1\" sound=\"2\">" +
              fr("x=\"300\" y=\"200\"", "<eject num=\"1\"/><spawn/><spawn e=\"1\" x=\"40\" y=\"40\" sc=\"40\" sa=\"-5\" ms=\"500\"/>") +
              fr("x=\"300\" y=\"200\" n=\"1\" sound=\"4\"") + fr("") + "</animation></animations><custom><forceStartingMode>"
              "single</forceStartingMode><drawOrder>particlesBack</drawOrder><gravity y=\"0.01\"/></custom>")), QEL::kFireModeSingle);
    const std::string log = takeLog();
    for (const char* line : {"   [assetSerializer] SUCCESS!\n", "colliding!!\n Ignoring frame sound for  ANIMATION: shot1 FRAME: 1\n",
                             "A frame requested an emitter with ID -1 but it was not found!"})
        EXPECT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(sounds->groupCount(), groups + 6);  // bang and bang-v1 for two slots, one for each shared name
    run("p0 f0 @400,300,00ff00 @200,100,0000ff @60,60,0000ff o2 f40");
    EXPECT_TRUE(heard("bang") || heard("bang-v1"));
    // The next weapon leaves slot 2 empty: its offset went with the old weapon, frame 0 loses its sound.
    loadWeapon("w", weaponXml("w", standardImages() + kSingle + kEject + "<sounds><sound id=\"4\">bang</sound></sounds>"
                                       "<animations><animation name=\"shot1\" frameCount=\"2\" sound=\"2\">" +
                                       ej("n=\"0\" sound=\"4\"") + "</animation></animations>"));
    EXPECT_NE(takeLog().find("Ignoring frame sound for  ANIMATION: shot1 FRAME: 0\n"), std::string::npos);
    EXPECT_EQ(sounds->groupCount(), groups + 2);
    run("m D1 D0 p3000 f3000 f3500 f4000 f4500 f5000 ~");  // the shared click, shield and shells play on
}

TEST_F(Weapon, FailuresLeaveNoWeaponAndStoreNothing) {
    EXPECT_FALSE(mgr().loadAsset(QEL::checkedWeapon()));
    const std::string good = kSingle + anims({"shot1"});
    for (const auto& [xml, line] : std::vector<std::pair<std::string, std::string>>{
             {"", "Could not determine what weapon to load!"},
             {weaponXml("w", "<images><image id=\"0\">ab</image></images>" + good), "IMAGE NOT FOUND: ab.png\n"},
             {weaponXml("w", good + "<sounds><sound id=\"0\">quiet</sound></sounds>"), "SOUND NOT FOUND: quiet.ogg\n"},
             {weaponXml("w", good + "<custom><firstShotIsCharge>x</firstShotIsCharge></custom>"), "no firstShot animation!\n"}}) {
        if (!xml.empty()) { EXPECT_EQ(loadWeapon("w", xml), -2) << line; }
        EXPECT_NE(takeLog().find(line), std::string::npos) << line;
        EXPECT_EQ(mgr().weapon(), nullptr) << line;
    }
    EXPECT_LE(storedValue("SELECT count(*) FROM score"), 0);
}

// A gamepad plays through the real main loop: joystick events pushed into SDL's queue are the input
// table's actions, the trigger axis pressing past half way and releasing below a quarter.
TEST_F(Weapon, GamepadButtonsAndTriggerAxisPlayThroughTheMainLoop) {
    for (const char* name : {"w1", "w2"})
        writeAsset(name + std::string(".xml"), weaponXml(name, standardImages() + shotTypes(true, false, true) + anims({"shot1", "reload"})));
    std::ofstream("gunList.txt") << "1=w1\n2=w2\n";
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QEL::cApp* app = QEL::createApp(0, 0, 0, 0);
    const QEL::dataFileReader catalogue("gunList.txt");
    app->takeFirstWeapon("w1", false);
    auto turn = [&](uint32_t ms, std::vector<std::pair<Uint8, int>> pushed) {  // {event type, button or axis 5 value}
        setClock(ms);
        for (auto [type, value] : pushed) {
            SDL_Event event{};
            event.type = type;
            if (type == SDL_JOYAXISMOTION) event.jaxis.axis = 5, event.jaxis.value = Sint16(value);
            else event.jbutton.button = Uint8(value);
            SDL_PushEvent(&event);
        }
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
        QEL::mainLoop(*app, catalogue, QEL::catalogueListing(catalogue), false).run();
        long long rounds = 0;
        return events(takeLog(), rounds);
    };
    takeLog();
    EXPECT_EQ(turn(1000, {{SDL_JOYBUTTONDOWN, 2}, {SDL_JOYBUTTONUP, 2}, {SDL_JOYAXISMOTION, 20000}, {SDL_JOYAXISMOTION, 12000},
                          {SDL_JOYAXISMOTION, 32767}, {SDL_JOYAXISMOTION, -32768}}), "switchedMode:0:-1 shot:0:1");
    EXPECT_EQ(turn(1500, {}), "");  // the shot runs out
    EXPECT_EQ(turn(2000, {{SDL_JOYBUTTONDOWN, 1}}), "");
    EXPECT_EQ(app->assetManager()->playingAnimation(), "reload");
    EXPECT_EQ(turn(3000, {}), "reload:0:-1");
    EXPECT_EQ(turn(4000, {{SDL_JOYBUTTONDOWN, 0}, {SDL_JOYBUTTONUP, 0}}), "shot:0:1");
    app->assetManager()->setTeamMode(QEL::TeamMode::team1);
    turn(5000, {{SDL_JOYBUTTONDOWN, 3}});
    EXPECT_TRUE(app->assetManager()->dodging());
    turn(5100, {{SDL_JOYBUTTONUP, 3}});
    EXPECT_FALSE(app->assetManager()->dodging());
    for (auto [button, weapon] : {std::pair{5, "w2"}, {5, "w1"}, {4, "w2"}}) {  // round the catalogue both ways
        turn(6000, {{SDL_JOYBUTTONDOWN, button}});
        EXPECT_EQ(app->weaponInHand(), weapon);
    }
    QEL::destroyApp(app);
}

// F12's chooser over a listing longer than its page: the view scrolls with the selection, a pack's
// heading comes into view with its first weapon, and Page Down and Return take up the last of 41.
TEST_F(Weapon, ChooserScrollsToEveryWeaponOfALongListing) {
    QEL::weaponListing listing{{"desert", "Desert Arms", "1.2", "Ann", {"desert/rifle"}}, {"", "", "", "", {}}};
    for (int i = 0; i < 40; ++i) listing[1].weapons.push_back("w" + std::to_string(i));
    QEL::weaponChooser chooser(listing, {{"w1", "1"}});
    chooser.show(5, "w1");
    EXPECT_EQ(chooser.view("w1"), "Desert Arms 1.2 by Ann\n    rifle\nKablix demo weapons\n    w0\n> 1 w1 *");
    chooser.move(100);
    EXPECT_EQ(chooser.view("w1"), "    w35\n    w36\n    w37\n    w38\n>   w39");
    chooser.move(-39);
    EXPECT_EQ(chooser.view("w1"), "Kablix demo weapons\n>   w0\n  1 w1 *\n    w2\n    w3");
    EXPECT_FALSE(chooser.selectLine(0));
    EXPECT_TRUE(chooser.selectLine(4));
    EXPECT_EQ(chooser.selected(), "w3");
    EXPECT_EQ(chooser.step("desert/rifle", -1), "w39");

    for (const char* name : {"w1", "w39"}) writeAsset(name + std::string(".xml"), weaponXml(name, standardImages() + anims({"shot1"})));
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QEL::cApp* app = QEL::createApp(0, 0, 0, 0);
    const QEL::dataFileReader catalogue("gunList.txt");
    app->takeFirstWeapon("w1", false);
    std::vector<SDLKey> keys{SDLK_F12};
    keys.insert(keys.end(), 3, SDLK_PAGEDOWN);
    keys.push_back(SDLK_RETURN);
    for (SDLKey key : keys) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    QEL::mainLoop(*app, catalogue, listing, false).run();
    EXPECT_EQ(app->weaponInHand(), "w39");
    QEL::destroyApp(app);
}

// The README's key table is the input table, as --help and F12 print it.
TEST(InputTable, ReadmeKeyTableIsTheInputTable) {
    std::ifstream in(KABLIX_SOURCE_DIR "/README.md");
    const std::string readme{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(readme.find("## Keys\n\n" + QEL::inputMarkdown() + "\n"), std::string::npos) << QEL::inputMarkdown();
}

// The format guide's reference tables (the blocks of docs/weapon-format.md between "<!-- printed from
// the format tables: ... -->" and "<!-- end of printed table -->") have a row for each element, attribute,
// <custom> setting and animation role of the format tables, naming it with its meaning, and no other rows.
TEST(FormatGuide, ReferenceTablesListTheFormatTables) {
    std::vector<std::pair<std::string, std::string>> items;  // the name as the guide writes it, the meaning
    for (const QEL::xmlSchema* format : {&QEL::weaponFormat(), &QEL::hitEffectsFormat()}) {
        for (const QEL::elementRule& element : format->rules) {
            const bool setting = element.parent && std::string(element.parent) == "custom";  // attributes in its row
            items.emplace_back(setting ? "`" + std::string(element.name) + "`" : "`<" + std::string(element.name) + ">`",
                               element.meaning);
            for (const QEL::attributeRule& a : element.attributes)
                if (!setting) items.emplace_back("`" + std::string(a.name) + "`", a.meaning);
        }
    }
    for (const QEL::animationRoleName& role : QEL::animationRoleNames())
        items.emplace_back("`" + std::string(role.name) + (role.numbered ? "0`" : "`"), role.meaning);
    std::ifstream guide(KABLIX_SOURCE_DIR "/docs/weapon-format.md");
    std::vector<std::string> rows;
    bool inTable = false, header = false;
    for (std::string line; std::getline(guide, line);) {
        if (line.rfind("<!-- printed from the format tables:", 0) == 0) inTable = header = true;
        if (line == "<!-- end of printed table -->") inTable = false;
        if (inTable && line.rfind("| ", 0) == 0 && !std::exchange(header, false)) rows.push_back(line);
    }
    EXPECT_EQ(rows.size(), items.size());
    for (const auto& [name, meaning] : items) {
        bool found = false;
        for (const std::string& row : rows) found |= row.rfind("| " + name, 0) == 0 && row.find(meaning) != std::string::npos;
        EXPECT_TRUE(found) << "docs/weapon-format.md has no row for " << name << ": " << meaning;
    }
}

}  // namespace
}  // namespace weaponTest
