// kablix-check as an author runs it: the demo pack passes clean; each broken weapon file gives
// exactly its one finding at the right place; a file with several faults gives all of them; hostile
// files give findings and never a crash.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "render/Image.h"

namespace fs = std::filesystem;

namespace {

struct checkRun {
    int status = -1;       // exit status; -1 when the checker died of a signal
    std::string findings;  // every line but the summary, each with its newline
    std::string summary;
};

checkRun runChecker(const fs::path& dir, const std::string& arguments) {
    const std::string command = "cd '" + dir.string() + "' && '" KABLIX_CHECK "' " + arguments + " 2>/dev/null";
    checkRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    std::string out;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (!out.empty() && out.back() == '\n') out.pop_back();
    const size_t cut = out.rfind('\n') + 1;  // 0 when there is only the summary
    run.summary = out.substr(cut);
    run.findings = out.substr(0, cut);
    return run;
}

// A small weapon that passes clean: two images, one emitter, one sound with variants none, two
// rounds, firstShot, shot0 and burst0.
const char* const kGoodWeapon = R"(<?xml version="1.0"?>
<kablixWeapon name="Test" allowInterrupt="true">
  <custom>
    <drawOrder>particlesFront</drawOrder>
  </custom>
  <images>
    <image id="0">gun.png</image>
    <image id="1">round.png</image>
  </images>
  <emitters>
    <emitter id="0" name="spark" blend="1"/>
  </emitters>
  <shotTypes switchPosX="500" switchPosY="250">
    <single>1</single>
    <burst>1</burst>
    <auto>0</auto>
  </shotTypes>
  <sounds>
    <sound id="0" offset="1">snd</sound>
  </sounds>
  <ejectCartridge image="1" scale="8"/>
  <ammo count="2" img="1">
    <bullet id="0" x="10" y="10" rot="90"/>
    <bullet id="1" x="10" y="20" rot="90"/>
  </ammo>
  <animations>
    <animation name="firstShot" frameCount="2" bg="0">
      <frame n="0" img="0" netSend="1"/>
      <frame n="1" img="0"/>
    </animation>
    <animation name="shot0" frameCount="2" bg="0" sound="0">
      <frame n="0" img="0" netSend="1">
        <spawn n="2" e="0" x="100" y="100"/>
      </frame>
      <frame n="1" img="0">
        <eject num="1" x="200" y="100" rot="-40"/>
      </frame>
    </animation>
    <animation name="burst0" frameCount="1" bg="0">
      <frame n="0" img="0" sound="0"/>
    </animation>
  </animations>
</kablixWeapon>
)";

const char* const kEffects = R"(<overlayHitEffects>
  <emitters><emitter name="fx" durationMS="100" scale="8"/></emitters>
  <effects><effect id="1" name="hit"><spurt dMin="1" dMax="2"><emitter name="fx"/></spurt></effect></effects>
</overlayHitEffects>
)";

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// "line:column" of the `nth` occurrence (from 1) of `anchor` in `text`.
std::string positionOf(const std::string& text, const std::string& anchor, int nth = 1) {
    size_t at = std::string::npos;
    for (int i = 0; i < nth; ++i) at = text.find(anchor, at == std::string::npos ? 0 : at + 1);
    if (at == std::string::npos) return "?:?";
    const size_t lineStart = text.rfind('\n', at == 0 ? 0 : at - 1);
    const size_t column = lineStart == std::string::npos ? at + 1 : at - lineStart;
    const long line = 1 + std::count(text.begin(), text.begin() + static_cast<long>(at), '\n');
    return std::to_string(line) + ":" + std::to_string(column);
}

// A scratch pack: <dir>/assets with the good weapon's pictures, emitter image, sound and hit
// effects, and <dir>/play as the working folder.
class CheckPack : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path demoSound = fs::path(KABLIX_PACK_DIR) / "carbine_shot.ogg";
        if (!fs::exists(demoSound)) GTEST_SKIP() << "the demo pack is not built";
        dir = fs::temp_directory_path() / ("kablix-check-test-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "assets");
        fs::create_directories(dir / "play");
        for (const char* picture : {"gun", "round", "spark"}) writePicture(dir / "assets" / (std::string(picture) + ".png"));
        fs::copy_file(demoSound, dir / "assets" / "snd.ogg");
        writeFile(dir / "assets" / "EFFECTS.xml", kEffects);
    }
    void TearDown() override {
        if (!dir.empty()) fs::remove_all(dir);
    }

    static void writePicture(const fs::path& path) {
        std::vector<uint8_t> pixels(4 * 4 * 4, 200);
        QEL::Image image;
        image.Load(4, 4, 32, pixels.data());
        ASSERT_TRUE(image.saveToFilePNG(path.string()));
    }

    checkRun checkWeapon(const std::string& text, const std::string& name = "w") {
        writeFile(dir / "assets" / (name + ".xml"), text);
        return runChecker(dir, "--assets assets " + name);
    }

    fs::path dir;
};

TEST(CheckDemoPack, PassesWithoutAFinding) {
    const checkRun run = runChecker(KABLIX_PLAY_DIR, "");
    EXPECT_EQ(run.status, 0) << run.findings;
    EXPECT_EQ(run.findings, "") << run.findings;
    EXPECT_NE(run.summary.find(" checked: 0 errors, 0 warnings"), std::string::npos) << run.summary;
}

TEST_F(CheckPack, TheGoodWeaponPassesClean) {
    const checkRun run = checkWeapon(kGoodWeapon);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.findings, "") << run.findings;
    EXPECT_EQ(run.summary, "1 weapon checked: 0 errors, 0 warnings");
}

struct brokenCase {
    const char* fault;
    const char* from;     // text of the good weapon to replace
    const char* to;
    const char* anchor;   // where in the broken text the finding points
    int nth;              // which occurrence of the anchor
    const char* finding;  // "error: …" or "warning: …" after the position
    const char* alsoFrom = nullptr;  // a second replacement some faults need
    const char* alsoTo = nullptr;
};

const brokenCase kBrokenCases[] = {
    {"misspelt attribute", R"(<frame n="1" img="0"/>)", R"(<frame n="1" img="0" netsend="1"/>)", "netsend", 1,
     "warning: unknown attribute netsend: did you mean netSend?"},
    {"misspelt element", "<drawOrder>particlesFront</drawOrder>", "<draworder>particlesFront</draworder>",
     "<draworder", 1, "warning: unknown element <draworder>: did you mean drawOrder?"},
    {"unknown attribute far from every name", R"(<ammo count="2")", R"(<ammo colour="red" count="2")", "colour", 1,
     "warning: unknown attribute colour in <ammo> is never read"},
    {"second singleton", "<ejectCartridge image=\"1\" scale=\"8\"/>",
     "<ejectCartridge image=\"1\" scale=\"8\"/><ejectCartridge/>", "<ejectCartridge/>", 1,
     "warning: duplicate <ejectCartridge> in <kablixWeapon>: only the first one is read"},
    {"duplicate emitter id", R"(<emitter id="0" name="spark" blend="1"/>)",
     R"(<emitter id="0" name="spark" blend="1"/><emitter id="0" name="spark"/>)", "id=\"0\" name=\"spark\"/>", 1,
     "warning: duplicate emitter id 0 (first at line 11): frames get the first"},
    {"missing image file", "<image id=\"0\">gun.png", "<image id=\"0\">gone.png", "<image id=\"0\"", 1,
     "error: IMAGE NOT FOUND: gone.png"},
    {"unreadable image file", "<image id=\"0\">gun.png", "<image id=\"0\">junk.png", "<image id=\"0\"", 1,
     "error: cannot use image file assets/junk.png: it is neither a readable PNG nor a readable TGA picture"},
    {"image slot out of range", "<image id=\"1\">round.png</image>",
     "<image id=\"1\">round.png</image><image id=\"15\">gun.png</image>", "id=\"15\"", 1,
     "error: image id 15 is not an image slot (0 to 14): the game reports \"TOO MANY IMAGES!\" and skips it"},
    {"missing emitter image", R"(name="spark")", R"(name="sparkle")", "<emitter id", 1,
     "error: IMAGE NOT FOUND: sparkle.png"},
    {"missing sound file", ">snd</sound>", ">nope</sound>", "<sound id", 1, "error: SOUND NOT FOUND: nope.ogg"},
    {"undecodable sound file", ">snd</sound>", ">junk</sound>", "<sound id", 1,
     "error: cannot use sound file assets/junk.ogg: it is not an Ogg Vorbis sound the mixer can decode"},
    {"sound slot out of range", R"(<sound id="0" offset="1">snd</sound>)",
     R"(<sound id="0" offset="1">snd</sound><sound id="12">snd</sound>)", "id=\"12\"", 1,
     "error: sound id 12 is not a sound slot (0 to 9): the game reports \"TOO MANY ANIMATIONS!\" and skips it"},
    {"single fire without a shot animation", R"(name="shot0")", R"(name="shot10")", "<single>", 1,
     "error: single fire needs a shot animation (shot0 to shot9), and the weapon has none"},
    {"burst fire without a burst animation", R"(name="burst0")", R"(name="burst")", "<burst>", 1,
     "error: burst fire needs a burst animation (burst0 to burst9), and the weapon has none"},
    {"frame naming an unfilled image slot", R"(<frame n="1" img="0"/>)", R"(<frame n="1" img="5"/>)", "img=\"5\"", 1,
     "error: frame img 5 names an image slot that no <image> fills"},
    {"background outside the slots", R"(name="firstShot" frameCount="2" bg="0")",
     R"(name="firstShot" frameCount="2" bg="15")", "bg=\"15\"", 1, "error: bg 15 is not an image slot (0 to 14)"},
    {"frame sound naming an empty slot", R"(<frame n="0" img="0" sound="0"/>)",
     R"(<frame n="0" img="0" sound="3"/>)", "sound=\"3\"", 1,
     "error: frame sound 3 names a sound slot that no <sound> fills"},
    {"frame and animation sound colliding", "<frame n=\"1\" img=\"0\">\n        <eject",
     "<frame n=\"1\" img=\"0\" sound=\"0\">\n        <eject", "sound=\"0\">", 2,
     "error: frame 1 carries the animation's sound (slot 0), so the game reports the sounds as colliding and "
     "ignores this frame's sound"},
    {"spawn naming an undeclared emitter", R"(e="0")", R"(e="4")", "e=\"4\"", 1,
     "error: spawn names emitter id 4, which no <emitter> declares"},
    {"spawn count below 1", R"(<spawn n="2")", R"(<spawn n="0")", "n=\"0\" e", 1, "error: spawn count 0 is below 1"},
    {"firstShotIsCharge naming no animation", "</custom>", "<firstShotIsCharge>charge</firstShotIsCharge></custom>",
     "<firstShotIsCharge>", 1,
     "error: The custom XML <firstShotIsCharge> is invalid, because there is no animation named 'charge' !"},
    {"windDownInterruptsTo without windDown", "</custom>", "<windDownInterruptsTo>shot0</windDownInterruptsTo></custom>",
     "<windDownInterruptsTo>", 1,
     "error: The custom XML <windDownInterruptsTo> is invalid, because there is no windDown animation!"},
    {"netSend that cannot carry a team", R"(<frame n="0" img="0" netSend="1"/>)",
     R"(<frame n="0" img="0" netSend="10001"/>)", "netSend=\"10001\"", 1,
     "error: netSend 10001 is 10000 or more: a team game would read it as another team's shot"},
    {"netSend without an effect", R"(<frame n="0" img="0" netSend="1"/>)", R"(<frame n="0" img="0" netSend="7"/>)",
     "netSend=\"7\"", 1, "error: netSend 7 has no effect with that id in assets/EFFECTS.xml"},
    {"sound offset beyond the last frame", R"(offset="1")", R"(offset="5")", "sound=\"0\">", 1,
     "warning: the offset 5 of sound 0 is beyond the animation's last frame (2 frames): the animation plays no "
     "sound of its own"},
    {"bullet off screen", R"(<bullet id="1" x="10" y="20")", R"(<bullet id="1" x="10" y="400")", "<bullet id=\"1\"", 1,
     "warning: bullet 1 at (10, 400) is off the 568 x 320 screen"},
    {"bullet that is no round", R"(<bullet id="1" x="10" y="20" rot="90"/>)",
     R"(<bullet id="1" x="10" y="20" rot="90"/><bullet id="2"/>)", "<bullet id=\"2\"", 1,
     "warning: bullet id 2 is not a round of the 2 (0 to 1): the game reports \"Bullet quad not found!\""},
    {"custom value that matches nothing", "particlesFront</drawOrder>", "front</drawOrder>", "<drawOrder>", 1,
     "warning: <drawOrder> 'front' matches none of the values the game reads (particlesBack, particlesOverBG, "
     "particlesFront), so it changes nothing"},
    {"frameCount differing from the frames", R"(name="burst0" frameCount="1")", R"(name="burst0" frameCount="3")",
     "frameCount=\"3\"", 1, "warning: frameCount is 3 but the animation has 1 <frame> elements"},
    {"forced starting mode that is not offered", "</custom>", "<forceStartingMode>single</forceStartingMode></custom>",
     "<forceStartingMode>", 1,
     "warning: forceStartingMode 'single' starts the weapon in a mode <shotTypes> does not enable", "<single>1</single>",
     "<single>0</single>"},
    {"fire mode text other than 1", "<auto>0</auto>", "<auto>true</auto>", "<auto>", 1,
     "warning: <auto> 'true' does not enable auto fire: only '1' does"},
    {"root without allowInterrupt", R"( allowInterrupt="true")", "", "<kablixWeapon", 1,
     "error: allowInterrupt not specified in <kablixWeapon> element."},
    {"unparsable XML", "<frame n=\"1\" img=\"0\"/>", "<frame n=\"1\" img=\"0\"", "</animation>", 1,
     "error: the XML cannot be parsed: Error reading Attributes."},
};

void PrintTo(const brokenCase& c, std::ostream* out) { *out << c.fault; }

class BrokenWeapon : public CheckPack, public ::testing::WithParamInterface<brokenCase> {};

TEST_P(BrokenWeapon, GivesExactlyItsFindingAtItsPlace) {
    const brokenCase& c = GetParam();
    writeFile(dir / "assets" / "junk.png", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(64, 'x'));
    writeFile(dir / "assets" / "junk.ogg", "OggS" + std::string(200, '\0'));
    std::string text = replaced(kGoodWeapon, c.from, c.to);
    if (c.alsoFrom) text = replaced(text, c.alsoFrom, c.alsoTo);
    const checkRun run = checkWeapon(text);
    const std::string expected = "assets/w.xml:" + positionOf(text, c.anchor, c.nth) + ": " + c.finding;
    EXPECT_EQ(run.findings, expected + "\n") << c.fault;
    const bool isError = std::string(c.finding).rfind("error", 0) == 0;
    EXPECT_EQ(run.status, isError ? 1 : 0) << c.fault;
}

INSTANTIATE_TEST_SUITE_P(OneFaultEach, BrokenWeapon, ::testing::ValuesIn(kBrokenCases));

TEST_F(CheckPack, SeveralFaultsInOneFileAreAllReported) {
    std::string text = kGoodWeapon;
    text = replaced(text, R"(name="burst0" frameCount="1")", R"(name="burst0" framecount="1")");
    text = replaced(text, R"(e="0")", R"(e="3")");
    text = replaced(text, "<image id=\"0\">gun.png", "<image id=\"0\">gone.png");
    text = replaced(text, R"(<frame n="0" img="0" netSend="1"/>)", R"(<frame n="0" img="0" netSend="20000"/>)");
    const checkRun run = checkWeapon(text);
    EXPECT_EQ(run.status, 1);
    const std::string at = "assets/w.xml:";
    EXPECT_EQ(run.findings,
              at + positionOf(text, "<image id=\"0\"") + ": error: IMAGE NOT FOUND: gone.png\n" +
              at + positionOf(text, "netSend=\"20000\"") +
              ": error: netSend 20000 is 10000 or more: a team game would read it as another team's shot\n" +
              at + positionOf(text, "e=\"3\"") + ": error: spawn names emitter id 3, which no <emitter> declares\n" +
              at + positionOf(text, "<animation name=\"burst0\"") +
              ": warning: frameCount is 0 but the animation has 1 <frame> elements\n" +
              at + positionOf(text, "framecount") + ": warning: unknown attribute framecount: did you mean frameCount?\n");
    EXPECT_EQ(run.summary, "1 weapon checked: 3 errors, 2 warnings");
}

TEST_F(CheckPack, CatalogueKeysNamingMissingWeaponsAreErrorsAtTheirLines) {
    writeFile(dir / "assets" / "w.xml", kGoodWeapon);
    writeFile(dir / "play" / "gunList.txt", "# catalogue\n0=w\n1 = ghost\ns1=12345\n2=w\n");
    const checkRun run = runChecker(dir / "play", "--assets ../assets");
    EXPECT_EQ(run.findings,
              "gunList.txt:3:5: error: key 1 names weapon 'ghost', but ../assets/ghost.xml does not exist\n");
    EXPECT_EQ(run.summary, "1 weapon checked: 1 error, 0 warnings");
    EXPECT_EQ(run.status, 1);

    const checkRun missing = runChecker(dir, "--catalogue nowhere.txt --assets assets");
    EXPECT_EQ(missing.findings, "nowhere.txt:1:1: error: cannot open the weapon catalogue\n");
}

TEST_F(CheckPack, AMissingEffectsFileIsOneErrorForAllItsShots) {
    fs::remove(dir / "assets" / "EFFECTS.xml");
    const checkRun run = checkWeapon(kGoodWeapon);
    EXPECT_EQ(run.findings,
              "assets/EFFECTS.xml:1:1: error: cannot open the hit effects file, so no shot number sent by a frame "
              "has an effect\n");
}

// Hostile input: whatever the files hold, the checker reports and ends normally.
TEST_F(CheckPack, HostileFilesGiveFindingsNeverACrash) {
    std::mt19937 random(7);
    std::string noise(5000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    const std::string good = kGoodWeapon;
    // Nesting that would take any recursive XML parser's stack.
    std::string deep;
    for (int i = 0; i < 200000; ++i) deep += "<a>";
    for (int i = 0; i < 200000; ++i) deep += "</a>";
    std::vector<std::pair<std::string, std::string>> files = {
        {"noise", noise},
        {"empty", ""},
        {"tagsoup", "<<<kablixWeapon name=\"x\" <images></kablixWeapon>>>"},
        {"comment", "<!-- nothing but a comment -->"},
        {"deep", "<kablixWeapon name=\"x\" allowInterrupt=\"true\"><images/>" + deep + "</kablixWeapon>"},
        {"wrongroot", "<weapon name=\"x\" allowInterrupt=\"true\"><images/></weapon>"},
        {"huge", replaced(replaced(replaced(replaced(replaced(good, R"(frameCount="2" bg="0">)",
                                                              R"(frameCount="99999999999999" bg="-99999999999">)"),
                                                      R"(<ammo count="2")", R"(<ammo count="2147483647")"),
                                              R"(netSend="1")", R"(netSend="99999999999999999999")"),
                                      R"(<bullet id="0" x="10" y="10" rot="90"/>)",
                                      R"(<bullet id="0" x="-2147483648" y="1e40" rot="1e39"/>)"),
                              R"(<spawn n="2")", R"(<spawn n="-99999999999")")},
    };
    // Garbage behind real file signatures, and a real picture cut short.
    writeFile(dir / "assets" / "gun.png", std::string("\x89PNG\r\n\x1a\n", 8) + noise);
    writeFile(dir / "assets" / "round.png", std::string("\x00\x00\x02\x00\x00\x00\x00\x00", 8) + noise.substr(0, 40));
    writeFile(dir / "assets" / "snd.ogg", "OggS" + noise);
    for (const auto& [name, text] : files) {
        const checkRun run = checkWeapon(text, name);
        EXPECT_EQ(run.status, 1) << name << "\n" << run.findings;
        EXPECT_FALSE(run.findings.empty()) << name;
        std::istringstream lines(run.findings);
        for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("assets/", 0), 0u) << name << ": " << line;
    }
}

}  // namespace
