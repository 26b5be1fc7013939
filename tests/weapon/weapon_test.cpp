// The weapon in hand on real files, a set clock, an offline speaker and a real GL context: what
// plays, what is drawn and heard, the event lines, and what reaches the score database.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>

#include "effects/teamDamage.h"
#include "sound/cSoundManager.h"
#include "testing/weaponWorld.h"
#include "weapon/weaponTest.h"

namespace weaponTest {
namespace {

using QEL::testing::colorNear;
using QEL::testing::readPixel;

std::string anims(const std::vector<std::string>& names) {
    std::string xml = "<animations>";
    for (const std::string& name : names) xml += animationXml(name, 3, 3);
    return xml + "</animations>";
}
std::string anim(const std::string& name, const std::string& frameCount, const std::string& frames) {
    return "<animations><animation name=\"" + name + "\" frameCount=\"" + frameCount + "\" bg=\"1\">" + frames +
           "</animation></animations>";
}
std::string fr(const std::string& attributes, const std::string& inside = "") {
    return "<frame img=\"0\" " + attributes + ">" + inside + "</frame>";
}
std::string ej(const std::string& attributes) { return fr(attributes, "<eject num=\"1\"/>"); }
const std::string kEject = "<ejectCartridge image=\"3\" scale=\"12\"/>";
const std::string kSpark = "<emitters><emitter id=\"1\" name=\"spark\"/></emitters>";
const std::string kSingle = shotTypes(true, false, false);
// Slot n holds t<n>, whose pool plays t<n>_0 and t<n>_1.
std::string soundsXml(int count) {
    std::string xml = "<sounds>";
    for (int i = 0; i < count; ++i) xml += "<sound id=\"" + std::to_string(i) + "\">t" + std::to_string(i) + "</sound>";
    return xml + "</sounds>";
}

// The event lines of a log as "name:data1:data2" words, and the rounds their shots fired.
std::string events(const std::string& log, long long& rounds) {
    std::istringstream lines(eventLines(log));
    std::string out;
    char name[32];
    int a = 0, b = 0;
    for (std::string line; std::getline(lines, line);) {
        if (std::sscanf(line.c_str(), "   E: %31s data1: %d data2: %d", name, &a, &b) != 3) continue;
        out += (out.empty() ? "" : " ") + std::string(name) + ":" + std::to_string(a) + ":" + std::to_string(b);
        if (std::string(name) == "shot") rounds += b;
    }
    return out;
}

class Weapon : public WeaponWorld {
protected:
    void SetUp() override {
        WeaponWorld::SetUp();
        for (const char* name : {"t0", "t1", "t2"}) writeOgg(name);
        writeSolidPng("spark", 8, 8, 255, 0, 0, true);
        writeSolidPng("_helmetBodyArmor", 128, 64, 255, 255, 255, true);
    }
    bool heard(const std::string& pool) {
        for (const char* instance : {"_0", "_1"}) {
            QEL::cSound* sound = sounds->findSound(pool + instance);
            if (sound && sound->channel.load()) return true;
        }
        return false;
    }
    int roundsShown() {  // white rounds of an ammoXml magazine on the picture
        int shown = 0;
        for (int i = 0; i < 10; ++i) shown += colorNear(readPixel(12 + 10 * i, 302), 255, 255, 255);
        return shown;
    }
    // Fires single shots, bursts or held auto fire until the magazine is empty.
    void fireDry(uint32_t& now) {
        const bool automatic = mgr().currentFireMode() == QEL::kFireModeAuto;
        for (int pull = 0; pull < 10 && !mgr().isEmpty(); ++pull) {
            mgr().injectInputDown();
            if (!automatic) mgr().injectInputUp();
            do frameAt(now += 10);
            while (!mgr().playingAnimation().empty() && now < 100000);
            mgr().injectInputUp();
        }
    }
    // Steps, a letter and a number each: p press, u release, t tap, R reload, f a turn, at that
    // clock reading; E fire the magazine dry; m the mode switch; =name the playing animation
    // ("=rest"); #n rounds loaded; o n rounds on the picture; @x,y,rrggbb a pixel; ^n the shot number
    // the last turn handed out; s/S slot n heard or not; ~ every sound played out; L the debug
    // light's key; l1/l0 the light on the picture or not; T team mode n; D1/D0 the shield; H a hit by
    // effect n; X1/X0 damage on or off; $n the health; ! the player dead; e n error lines and r n
    // rounds in shot lines so far.
    // Every turn is drawn, or (`paced`) only when the weapon says its picture is due; `pictures`
    // gets a checksum of the picture after each turn.
    void run(const std::string& script, bool paced, std::vector<size_t>& pictures, std::string& log) {
        std::istringstream words(script);
        for (std::string word; words >> word;) {
            SCOPED_TRACE(word);
            const std::string arg = word.substr(1);
            const int n = std::string("=@").find(word[0]) != std::string::npos || arg.empty() ? 0 : std::stoi(arg);
            const std::map<char, std::function<void()>> steps = {
                {'p', [&] { setClock(n), mgr().injectInputDown(); }},
                {'u', [&] { setClock(n), mgr().injectInputUp(); }},
                {'t', [&] { setClock(n), mgr().tapInput(); }},
                {'R', [&] { setClock(n), mgr().requestReload(); }},
                {'f', [&] {
                     const bool due = !paced || mgr().pictureDue(n);
                     frameAt(n, due);
                     if (due) mgr().pictureShown();
                     const std::vector<uint8_t> picture = QEL::testing::readPixels(0, 0, 568, 320);
                     pictures.push_back(std::hash<std::string>()(std::string(picture.begin(), picture.end())));
                 }},
                {'E', [&] { uint32_t now = clockNow; fireDry(now); }},
                {'m', [&] { mgr().toggleAssetMode(); }},
                {'=', [&] { EXPECT_EQ(mgr().playingAnimation(), arg == "rest" ? "" : arg); }},
                {'#', [&] { EXPECT_EQ(mgr().roundsLoaded(), n); }},
                {'o', [&] { EXPECT_EQ(roundsShown(), n); }},
                {'@', [&] {
                     int x = 0, y = 0;
                     unsigned rgb = 0;
                     std::sscanf(arg.c_str(), "%d,%d,%x", &x, &y, &rgb);
                     EXPECT_TRUE(colorNear(readPixel(x, y), rgb >> 16, (rgb >> 8) & 255, rgb & 255)) << readPixel(x, y);
                 }},
                {'^', [&] { EXPECT_EQ(lastNetShot, n); }},
                {'s', [&] { EXPECT_TRUE(heard("t" + arg)); }},
                {'S', [&] { EXPECT_FALSE(heard("t" + arg)); }},
                {'~', [&] { mixAudio(8000); }},
                {'L', [&] { mgr().toggleDebugLight(); }},
                {'l', [&] { EXPECT_EQ(colorNear(readPixel(15, 15), 255, 0, 0), n == 1); }},
                {'T', [&] { mgr().setTeamMode(n); }},
                {'D', [&] { mgr().injectDodgeInput(n == 1); }},
                {'H', [&] { mgr().receiveHit(n); }},
                {'X', [&] { mgr().setDamageEnabled(n == 1); }},
                {'$', [&] { EXPECT_EQ(mgr().damageDisplay().health, float(n)); }},
                {'!', [&] { EXPECT_TRUE(mgr().playerDead()); }},
                {'r', [&] {
                     long long rounds = 0;
                     events(log, rounds);
                     EXPECT_EQ(rounds, n);
                 }},
                {'e', [&] {
                     size_t errors = 0;
                     for (size_t at = log.find("E: ("); at != std::string::npos; at = log.find("E: (", at + 1)) ++errors;
                     EXPECT_EQ(errors, size_t(n));
                 }}};
            ASSERT_EQ(steps.count(word[0]), 1u);
            steps.at(word[0])();
            log += takeLog();
        }
    }
};

// A row: a weapon (after the standard images), a script, the event lines it gives ("*": any).
struct Scenario {
    const char* name;
    std::string body, script, events, rootAttributes = "";
};
void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }

class Scenarios : public Weapon, public ::testing::WithParamInterface<Scenario> {};

// Each script runs twice, drawing every turn and then only the turns whose picture is due: a turn
// left undrawn keeps exactly the picture a full draw gives, and both runs give the same log. The
// rounds the shot lines fire are the shot counts stored in scores.db.
TEST_P(Scenarios, PlayAsScriptedAndPacedAlike) {
    const Scenario& row = GetParam();
    std::vector<size_t> pictures[2];
    std::string logs[2];
    long long rounds = 0;  // over both runs, as the weapon's row adds them up
    for (bool paced : {false, true}) {
        std::srand(7);
        clockNow = 0;
        lastNetShot = -1;
        ASSERT_NE(loadWeapon("w", weaponXml("w", standardImages() + row.body, row.rootAttributes)), -2);
        takeLog();
        run(row.script, paced, pictures[paced], logs[paced]);
        const std::string lines = events(logs[paced], rounds);
        if (row.events != "*") { EXPECT_EQ(lines, row.events); }
        ASSERT_TRUE(mgr().storeEventsToDB());
        EXPECT_EQ(storedValue("SELECT singleShot + burstShot + autoShot FROM score WHERE name='w'"), rounds);
        restartManager();
    }
    EXPECT_EQ(pictures[1], pictures[0]);
    EXPECT_EQ(logs[1], logs[0]);
}

const std::string kAuto3 = shotTypes(false, false, true) + ammoXml(3) + anims({"firstShot", "shot1", "lastShot", "windDown", "reload"});
// A magazine of 5 with animations that eject at their second frame (bursts at every frame) or not,
// with or without firstShot and lastShot.
std::string magazine(bool single, bool burst, bool automatic, bool eject, bool firstAndLast) {
    std::string xml = "<animations>";
    for (std::string name : {"shot1", "burst1", "windDown", "firstShot", "lastShot"}) {
        if (!firstAndLast && (name == "firstShot" || name == "lastShot")) continue;
        xml += "<animation name=\"" + name + "\" frameCount=\"3\" bg=\"1\">";
        for (int i = 0; i < 3; ++i) xml += eject && name != "windDown" && (name == "burst1" || i == 1) ? ej("") : fr("");
        xml += "</animation>";
    }
    return shotTypes(single, burst, automatic) + ammoXml(5) + kEject + xml + "</animations>";
}
// The red particle at (40, 40) over or under the blue background, with the green weapon picture at (300, 200).
std::string layers(const std::string& custom) {
    return kSingle + kSpark + anim("shot1", "30", fr("x=\"300\" y=\"200\"", "<spawn e=\"1\" x=\"40\" y=\"40\" sc=\"40\" ms=\"1000\"/>")) +
           "<custom>" + custom + "</custom>";
}
const std::string kLayers = "p0 f0 f10 @400,300,00ff00 @60,60,";

INSTANTIATE_TEST_SUITE_P(Weapon, Scenarios, ::testing::Values(
    // Held down, auto fire counts the last round and winds down while still held; then the empty click.
    Scenario{"autoMagazineHeldDown", kAuto3, "f10 o3 p1000 f1000 =firstShot f1101 =shot1 f1202 =lastShot f1303 =windDown "
             "u1350 f1404 =rest o0 p1500 u1510 =rest R1600 =reload f1650 f1701 #3 o3 "
             "p2000 f2101 f2202 =lastShot u2250 f2303 =rest",  // released in the last shot: no wind-down
             "shot:2:1 shot:2:1 shot:2:1 emptyShot:2:-1 reload:2:-1 shot:2:1 shot:2:1 shot:2:1"},
    // Without allowInterrupt only the wind-down can be cut short.
    Scenario{"noInterrupt", kSingle + anims({"shot1", "windDown", "reload"}), "p0 f10 u15 p50 u55 f101 =windDown p150 =shot1",
             "shot:0:1 shot:0:1"},
    // With it a shot cut short counts an interruption, and the shot started anew sends its first frame's number again.
    Scenario{"interruptAndTheSameShotAnew", kSingle + anim("shot1", "3", fr("netSend=\"7\"") + fr("") + fr("")),
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
    // Nothing to fire in the mode: an error line per press, the weapon usable. With nothing to show at
    // rest the other layers (the magazine) are still drawn and the problem is told once per rest.
    Scenario{"noAnimationForTheMode", shotTypes(true, true, false) + ammoXml(3) + anims({"shot2"}),
             "m p0 u5 =rest p10 u15 =rest e2 f30 o3 f40 o3 f50 o3 e3 m p60 =shot2 f70 m f161 f170 =rest e4 o2",
             "switchedMode:1:-1 switchedMode:0:-1 shot:0:1 switchedMode:1:-1"},
    // The shield holds fire; hits count with damage off too; the dead dig instead of firing and take no more hits.
    Scenario{"hitsShieldAndDeath", kSingle + anims({"shot1", "reload"}),
             "T2 D1 p0 =rest f5 D0 X0 H1 f20 $200 X1 H9 $200 H1 f40 f60 p70 =shot1 f80 H2 ! =rest f100 p110 =rest H1 f120 f300",
             "incomingHit:1:30 incomingHit:9:0 incomingHit:1:30 shot:0:1 incomingHit:2:1000 playerDeath:-1:-1"},
    // Eject frames skipped between two turns still count their rounds (and throw their cartridges).
    Scenario{"skippedEjectFramesCaughtUp", kSingle + ammoXml(10) + kEject + kSpark +
             anim("shot1", "4", fr("", "<spawn e=\"1\" x=\"100\" y=\"100\" sc=\"30\" ms=\"200\" sp=\"0.05\"/>") + ej("") + ej("") + fr("")),
             "p0 #10 f0 f100 #8 f120 f140 f160 f300 f400", "shot:0:1 shot:0:1"},
    // A run-out animation's last frame shown again is a repeat; at ten frames a second, the never
    // shown last frame fires once as the animation runs out.
    Scenario{"runOutRepeatsItsLastFrame", shotTypes(false, true, false) + soundsXml(1) + ammoXml(10) + kEject +
             anim("burst1", "2", fr("") + ej("sound=\"0\"")),
             "p0 f0 f40 s0 ~ f70 =rest S0 #9 p1000 f1000 f1101 =rest s0 #8", "shot:1:1 shot:1:1"},
    // The intro waiting at rest fires its first frame once.
    Scenario{"introFirstFrameOnce", kSingle + soundsXml(1) + anim("intro", "3", fr("sound=\"0\"") + fr("")),
             "f0 s0 ~ f10 f20 S0 p30 =intro f30 S0 f70", ""},
    Scenario{"frameSoundsOverlapByTwo", kSingle + soundsXml(3) + anim("shot1", "3", fr("sound=\"0\"") + fr("sound=\"1\"") + fr("sound=\"2\"")),
             "p0 f0 f34 f67 S0 s1 s2", "shot:0:1", "allowSoundOverlap=\"true\""},
    Scenario{"frameSoundsWithoutOverlap", kSingle + soundsXml(3) + anim("shot1", "3", fr("sound=\"0\"") + fr("sound=\"1\"") + fr("sound=\"2\"")),
             "p0 f0 f34 f67 S0 S1 s2", "shot:0:1"},
    // A lit frame turns the light on at the next turn for 10 ms; only positive numbers are sent.
    Scenario{"networkValueAndLight", kSingle + anim("shot1", "3", fr("netSend=\"7\"") + fr("netSend=\"0\" lit=\"1\"") + fr("netSend=\"-3\"")),
             "L p0 f0 f34 ^7 f40 l1 f51 l0 f67 ^-1 f80 ^-1", "shot:0:1"},
    Scenario{"longestAnimation", kSingle + anim("shot1", "2147483647", fr("")), "p0 f100000 =shot1", "shot:0:1"},
    Scenario{"particlesBehindTheBackground", layers("<drawOrder>particlesBack</drawOrder>"), kLayers + "0000ff @200,100,0000ff", "*"},
    Scenario{"particlesOverTheBackground", layers("<drawOrder>particlesOverBG</drawOrder>"), kLayers + "ff0000 @200,100,0000ff", "*"},
    Scenario{"particlesInFront", layers(""), kLayers + "ff0000 @200,100,0000ff", "*"},
    Scenario{"particlesWithoutBackground", layers("<drawOrder>particlesBack</drawOrder><drawBackground>false</drawBackground>"),
             kLayers + "ff0000 @200,100,000000", "*"},
    // Every round that leaves the magazine is one counted shot, whatever the mode, the eject frames and
    // the first and last shots; a burst counts at its eject frames, and the second one runs past the end.
    Scenario{"singleDry", magazine(true, false, false, false, false), "E #0 r5", "*"},
    Scenario{"singleFirstLastDry", magazine(true, false, false, false, true), "E #0 r5", "*"},
    Scenario{"singleEjectDry", magazine(true, false, false, true, false), "E #0 r5", "*"},
    Scenario{"singleEjectFirstLastDry", magazine(true, false, false, true, true), "E #0 r5", "*"},
    Scenario{"autoDry", magazine(false, false, true, false, false), "E #0 r5", "*"},
    Scenario{"autoFirstLastDry", magazine(false, false, true, false, true), "E #0 r5", "*"},
    Scenario{"autoEjectDry", magazine(false, false, true, true, false), "E #0 r5", "*"},
    Scenario{"autoEjectFirstLastDry", magazine(false, false, true, true, true), "E #0 r5", "*"},
    Scenario{"burstEjectDry", magazine(false, true, false, true, true), "E #0 r5", "*"}),
    [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

class Loading : public Weapon {
protected:
    void play(const std::string& script) {
        std::vector<size_t> pictures;
        std::string log;
        run(script, false, pictures, log);
    }
};

// A whole weapon: a picture named with another extension, sound variants up to the first gap, two
// slots sharing one file's pools, an animation sound placed by its slot's offset over a frame's own,
// spawn records without an emitter or with a negative area, the magazine, cartridges, <custom>.
TEST_F(Loading, AWholeWeaponIsReadAndPlays) {
    for (const char* name : {"bang", "bang-v1", "bang-v3"}) writeOgg(name);
    const size_t groups = (mgr(), sounds->groupCount());
    const std::string frames = fr("x=\"300\" y=\"200\"", "<eject num=\"1\"/><spawn/><spawn e=\"1\" x=\"40\" y=\"40\" "
                                  "sc=\"40\" sa=\"-5\" ms=\"500\"/>") + fr("x=\"300\" y=\"200\" n=\"1\" sound=\"4\"") + fr("");
    EXPECT_EQ(loadWeapon("w", weaponXml("w", "<images><image id=\"0\">gun.jpg</image><image id=\"1\">bg.png</image>"
              "<image id=\"2\">round.png</image><image id=\"3\">shell.png</image></images><sounds><sound id=\"2\" "
              "offset=\"1\">bang</sound><sound id=\"4\">bang</sound></sounds>" + shotTypes(true, false, true) + kSpark +
              ammoXml(3) + kEject + "<animations><animation name=\"shot1\" frameCount=\"3\" bg=\"1\" sound=\"2\">" + frames +
              "</animation></animations><custom><forceStartingMode>single</forceStartingMode><drawOrder>particlesBack"
              "</drawOrder><gravity y=\"0.01\"/></custom>")), QEL::kFireModeSingle);
    const std::string log = takeLog();
    EXPECT_NE(log.find("   [assetSerializer] SUCCESS!\n"), std::string::npos) << log;
    EXPECT_NE(log.find("colliding!!\n Ignoring frame sound for  ANIMATION: shot1 FRAME: 1\n"), std::string::npos) << log;
    EXPECT_NE(log.find("A frame requested an emitter with ID -1 but it was not found!"), std::string::npos) << log;
    EXPECT_EQ(sounds->groupCount(), groups + 2);  // bang and bang-v1, for both slots
    play("p0 f0 @400,300,00ff00 @200,100,0000ff @60,60,0000ff o2 f40");
    EXPECT_TRUE(heard("bang") || heard("bang-v1"));

    // The next weapon leaves slot 2 empty: the old offset is gone with it, frame 0 loses its sound.
    loadWeapon("w", weaponXml("w", standardImages() + kSingle + "<sounds><sound id=\"4\">bang</sound></sounds>"
                                       "<animations><animation name=\"shot1\" frameCount=\"2\" sound=\"2\">" +
                                       fr("n=\"0\" sound=\"4\"") + fr("sound=\"4\"") + "</animation></animations>"));
    EXPECT_NE(takeLog().find("Ignoring frame sound for  ANIMATION: shot1 FRAME: 0\n"), std::string::npos);
    EXPECT_EQ(sounds->groupCount(), groups + 2);
}

TEST_F(Loading, FailuresLeaveNoWeaponAndStoreNothing) {
    mgr();
    QEL::releaseLastTestedDocument();
    EXPECT_EQ(mgr().loadAsset(), -2);
    EXPECT_NE(takeLog().find("Could not determine what weapon to load!"), std::string::npos);
    const std::string good = kSingle + anims({"shot1"});
    for (const auto& [xml, line] : std::vector<std::pair<std::string, std::string>>{
             {"<KablixWeapon name=\"w\">" + good + "</KablixWeapon>", "Missing <kablixWeapon> element\n"},
             {weaponXml("w", "<images><image id=\"0\">missing.png</image></images>" + good), "IMAGE NOT FOUND: missing.png\n"},
             {weaponXml("w", "<images><image id=\"0\">ab</image></images>" + good), "IMAGE NOT FOUND: ab.png\n"},
             {weaponXml("w", good + "<sounds><sound id=\"0\">quiet</sound></sounds>"), "SOUND NOT FOUND: quiet.ogg\n"},
             {weaponXml("w", good + "<custom><firstShotIsCharge>x</firstShotIsCharge></custom>"), "no firstShot animation!\n"}}) {
        EXPECT_EQ(loadWeapon("w", xml), -2) << line;
        EXPECT_NE(takeLog().find(line), std::string::npos) << line;
        EXPECT_EQ(mgr().weapon(), nullptr) << line;
    }
    EXPECT_LE(storedValue("SELECT count(*) FROM score"), 0);
}

TEST_F(Loading, StartingModeAndTheSwitchCycle) {
    auto load = [&](bool single, bool burst, bool automatic, const std::string& custom = "") {
        return loadWeapon("w", weaponXml("w", standardImages() + shotTypes(single, burst, automatic) +
                                                  anims({"shot1", "burst1"}) + "<custom>" + custom + "</custom>"));
    };
    EXPECT_EQ(load(true, true, true), QEL::kFireModeAuto);
    for (QEL::FireMode next : {QEL::kFireModeBurst, QEL::kFireModeSingle, QEL::kFireModeAuto}) EXPECT_EQ(mgr().toggleAssetMode(), next);
    EXPECT_EQ(load(true, false, true, "<forceStartingMode>single</forceStartingMode>"), QEL::kFireModeSingle);
    EXPECT_EQ(mgr().toggleAssetMode(), QEL::kFireModeAuto);
    EXPECT_EQ(load(false, true, false), QEL::kFireModeBurst);
    EXPECT_EQ(mgr().toggleAssetMode(), QEL::kFireModeBurst);  // the only mode: the switch clicks and stays
    EXPECT_EQ(load(false, false, false), QEL::kNoFireMode);
    takeLog();
    mgr().injectInputDown();
    EXPECT_EQ(takeLog(), "W: (QEL::cAssetMgr::injectInputDown) cAssetMgr received input during invalid asset state!\n");
    EXPECT_EQ(storedValue("SELECT modeSwitch FROM score WHERE name='w'"), 8);
}

// Slots naming the shared sounds' files register pools under names already in use: the shared
// pools outlive them (under AddressSanitizer a freed one played here fails), and the slots' pools go
// with their weapon.
TEST_F(Loading, SlotPoolsNeverFreeSharedSoundsAndGoWithTheirWeapon) {
    for (const char* name : {"emptyClick", "shellHitFloor", "dodgeOn", "dodgeOff"}) writeOgg(name);
    const std::string plain = standardImages() + kSingle + kEject + anim("shot1", "3", ej("") + fr("") + fr(""));
    loadWeapon("w", weaponXml("w", plain));
    play("T2 D1 D0");  // the shield's sounds now exist
    const size_t groups = sounds->groupCount();
    loadWeapon("w", weaponXml("w", plain + "<sounds><sound id=\"0\">emptyClick</sound><sound id=\"1\">shellHitFloor"
                                           "</sound><sound id=\"2\">dodgeOn</sound><sound id=\"3\">dodgeOff</sound></sounds>"));
    EXPECT_EQ(sounds->groupCount(), groups + 4);
    loadWeapon("w", weaponXml("w", plain));
    EXPECT_EQ(sounds->groupCount(), groups);
    play("m D1 D0 p0 f0 f500 f1000 f1500 f2000 ~");
}

// A weapon taken up again mid-shot is stored once per load and starts afresh: its intro's first frame
// is heard again, nothing of the old one is shown.
TEST_F(Loading, AgainMidShotStoresTheWeaponPutDownAndStartsAfresh) {
    const std::string body = standardImages() + kSingle + ammoXml(3) + kEject + soundsXml(1) + "<animations>"
                             "<animation name=\"intro\" frameCount=\"2\">" + fr("sound=\"0\"") + fr("") + "</animation>"
                             "<animation name=\"shot1\" frameCount=\"3\">" + ej("") + fr("") + fr("") + "</animation></animations>";
    loadWeapon("w", weaponXml("w", body));
    play("f0 s0 p10 u15 f80 ~ p100 f100 u105 f120 f201 =rest");
    loadWeapon("w", weaponXml("w", body));
    play("f210 s0 o3");
    EXPECT_EQ(storedValue("SELECT used FROM score WHERE name='w'"), 1);
    mgr().unloadAsset();
    EXPECT_EQ(storedValue("SELECT used * 10 + singleShot FROM score WHERE name='w'"), 21);
    EXPECT_EQ(mgr().weapon(), nullptr);
    EXPECT_FALSE(frameAt(220));
}

}  // namespace
}  // namespace weaponTest
