// The weapon format, one row per file: what kablix-check (its own process, as an author runs it) reports about it,
// and what the game's own loader does with it in this process: its complaint lines, its fire mode and what it holds.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "effects/cCartridgeEjector.h"
#include "effects/overlayEffects.h"
#include "sound/cSoundManager.h"
#include "testing/soundTestSupport.h"
#include "testing/weaponWorld.h"
#include "weapon/cAssetSerializer.h"
#include "weapon/weaponTest.h"

namespace weaponTest {
namespace {

using M = QEL::cAssetMgr;
using ints = std::vector<int>;

std::string run(const std::string& command) {
    if (std::system(("(" + command + ") > printed.txt").c_str()) == -1) return "cannot run " + command;
    std::ifstream in("printed.txt");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Error and warning lines as "E class: message", with the unindented lines continuing them.
std::string complaints(const std::string& log) {
    std::istringstream in(log);
    std::string found;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        const bool complaint = line.rfind("E: (", 0) == 0 || line.rfind("W: (", 0) == 0;
        inside = complaint || line.find("WARNING") != std::string::npos || (inside && line.rfind("   ", 0) != 0);
        const size_t name = line.find("QEL::") + 5, text = line.find(") ", name) + 2, bell = line[text] == '\a';
        if (complaint)  // "E: (QEL::weaponTest::processRoot) \amessage" (an error rings the bell) is "E weaponTest: message"
            line = line.substr(0, 1) + " " + line.substr(name, line.find("::", name) - name) + ": " + line.substr(text + bell);
        if (inside) found += line + "\n";
    }
    return found;
}

// A row's text is a weapon's body, given the root and the standard parts it lacks; "<?..." is a whole file, "<overlayHitEffects..."
// is EFFECTS.xml beside the standard weapon. Each '@' marks where the next finding points. `mode`: the fire mode the weapon
// starts in, -2 when refused; for EFFECTS.xml, whether it is read.
struct Row {
    const char* what;
    std::string text;
    std::vector<std::string> findings;
    std::string log;
    int32_t mode;
    void (*then)(M&) = nullptr;  // checks what the loaded weapon holds
};

const std::string kRoot = "<kablixWeapon name='w' allowInterrupt='true'>";
const std::string kParts[] = {standardImages(), "<shotTypes><single>1</single></shotTypes>\n",
                              "<animations><animation name='shot0' frameCount='1' bg='1'><frame img='0'/></animation>"};
std::string rooted(const std::string& open, const std::string& body = "") {
    std::string text = "<?xml version=\"1.0\"?>\n" + open + "\n";
    for (const std::string& part : kParts)
        if (body.find(part.substr(0, part.find_first_of(" >"))) == std::string::npos)
            text += part + (part.rfind("<animations", 0) == 0 ? "</animations>\n" : "");
    return text + body + "\n</" + open.substr(open.find('<') + 1, open.find(' ') - open.find('<') - 1) + ">\n";
}
std::string anims(const std::string& animations) { return kParts[2] + animations + "</animations>"; }
std::string custom(const std::string& settings) { return "<custom>" + settings + "</custom>"; }
std::string repeated(const std::string& text, int times) { return times > 0 ? text + repeated(text, times - 1) : ""; }
std::string image0(const std::string& text) { return "<images>@<image id='0'" + text + "<image id='1'>bg.png</image></images>"; }
ints rgb(const QEL::intColor& c) { return {c.r, c.g, c.b}; }

const std::string kParseError = "E XMLSerializer: [XMLSerializer] The TiXmlDocument reported an error. Could not parse XML file.\n";
const std::string kRefused = kParseError + "E cAssetSerializer: Could not determine what weapon to load! (the last tested weapon)\n";
const std::string kCollision = "E cAssetSerializer: Frame and animation sounds are colliding!!\n Ignoring frame sound for  ANIMATION: ";
const std::string kBrackets = std::string(1001, '<') + std::string(1001, '>');
const std::string kNoRoot = "Invalid rules file. Missing <kablixWeapon> element", kNoName = "Name not specified in <kablixWeapon> element.";
const std::string kNoAllow = "allowInterrupt not specified in <kablixWeapon> element.";
const std::string kWavs = "WAV with 8-, 16-, 24- or 32-bit PCM, 32- or 64-bit float, mu-law, A-law, Microsoft or IMA ADPCM, mono or stereo";
const std::string kNotWellFormed = "error: the XML is not well-formed: ", kLenient = "; the game reads it anyway, other XML tools will not";
std::string utf16(const std::string& text) {  // little-endian, with its byte-order mark
    std::string wide = "\xFF\xFE";
    for (char c : text) wide += std::string(1, c) + '\0';
    return wide;
}
// The check's line and the loader's for a picture or sound that is not there.
std::string notFound(const std::string& kind, const std::string& file) {
    return "E weaponTest: " + kind + " NOT FOUND: " + file + "\nE cAssetMgr: " + kind + " NOT FOUND: " + file + "\n";
}
// The check's finding for it: where the file was looked for, "{assets}" standing for the pack's full path.
std::string missing(const std::string& kind, const std::string& file) {
    return "error: " + kind + " NOT FOUND: " + file + " (no file {assets}/" + file + ")";
}
std::string collides(int frame, int slot) {
    return "error: frame " + std::to_string(frame) + " carries the animation's sound (slot " + std::to_string(slot) +
           "), so the game reports the sounds as colliding and ignores this frame's sound";
}
std::string noMatch(const std::string& tagAndValue, const std::string& values) {
    return "warning: <" + tagAndValue + "' matches none of the values the game reads (" + values + "), so it changes nothing";
}
Row customFailure(const char* what, const std::string& text, const std::string& line) {
    return {what, text, {"error: The custom XML <" + line}, "E cAssetSerializer: ERROR: The custom XML <" + line + "\n", -2};
}

const Row kRows[] = {
    {"root spelt with a capital", rooted("@<KablixWeapon name='w' allowInterrupt='true'>"), {"error: " + kNoRoot +
     " (did you mean <kablixWeapon>? element names are case-sensitive)"},
     "E weaponTest: " + kNoRoot + "\nE cAssetSerializer: " + kNoRoot + "\n", -2},
    {"no name", rooted("@<kablixWeapon allowInterrupt='true'>"), {"error: " + kNoName},
     "W weaponTest: " + kNoName + "\nW cAssetSerializer: " + kNoName + "\n", 0},
    {"no allowInterrupt", rooted("@<kablixWeapon name='w'>"), {"error: " + kNoAllow},
     "W weaponTest: " + kNoAllow + "\nW cAssetSerializer: " + kNoAllow + "\n", 0, [](M& m) { EXPECT_FALSE(m.weapon()->allowInterrupt); }},
    {"no element", "@<?xml version='1.0'?>\n<!-- nothing -->\n", {"error: the file holds no element"}, "", -2},
    {"unparsable", "<?xml version='1.0'?>\n" + kRoot + "\n<images>\n<image id='0'\n@</images>",
     {"error: the XML cannot be parsed: not well-formed (invalid token)"}, kRefused, -2},
    {"an element left open", "<?xml version='1.0'?>\n" + kRoot + "\n" + standardImages() + "<animations>\n<animation name='shot0' "
     "frameCount='1' bg='1'>\n<frame img='0'/>\n</@animations></kablixWeapon>", {"error: the XML cannot be parsed: mismatched tag "
     "(<animation> opened on line 5 is not closed)"}, kRefused, -2},
    {"an animation outside <animations>", anims("") + "@<animation name='shot1' frameCount='1' bg='1'><frame img='0'/></animation>",
     {"warning: <animation> belongs inside <animations>: in <kablixWeapon> it is never read"}, "", 0},
    {"deeper than the game reads", repeated("<a>", 999) + "@<a><a>" + repeated("</a>", 1001),
     {"error: elements nest more than 1000 deep: parsing this file would exhaust the stack (the game would crash)"}, kRefused, -2},
    {"brackets that open no element", rooted("<kablixWeapon name='@" + kBrackets + "' allowInterrupt='true'>", "<!--" + kBrackets +
     "--><custom><![CDATA[" + kBrackets + "]]></custom>"), {kNotWellFormed + "not well-formed (invalid token)" + kLenient}, "", 0},
    {"no images", "<?xml version='1.0'?>\n@" + kRoot + kParts[1] + "<animations><animation name='shot0' frameCount='1' @bg='1'>"
     "<frame @img='0'/></animation></animations></kablixWeapon>\n", {"error: <images> element note specified.", "error: bg 1 names "
     "an image slot that no <image> fills", "error: frame img 0 names an image slot that no <image> fills"},
     "W weaponTest: <images> element note specified.\n", 0},
    {"missing image file", image0(">gone.png</image>"), {missing("IMAGE", "gone.png")}, notFound("IMAGE", "gone.png"), -2},
    {"image text without its extension", image0(">gunpicture</image>"), {missing("IMAGE", "gunpic.png") + " (the last four "
     "characters are taken for an extension: write gunpicture.png)"}, notFound("IMAGE", "gunpic.png"), -2},
    {"image text under four characters", image0(">gun</image>"), {missing("IMAGE", "gun.png")}, notFound("IMAGE", "gun.png"), -2},
    {"slots past the last, other extensions, an unreadable picture", "<images><image id='0'>gun.jpg</image><image id='1'>bg.png"
     "</image><image @id='15'>gun.png</image><image id='4'>spark.tga</image>@<image id='5'>junk.png</image></images>", {"error: image "
     "id 15 is not an image slot (0 to 14): the game reports \"TOO MANY IMAGES!\" and skips it", "error: cannot use image file "
     "../assets/junk.png: it is a damaged PNG (header chunk must have a size of 13 bytes), which the game cannot use; it takes "
     "PNG of any colour type and bit depth, or TGA with 24-bit or 32-bit colour"}, "E cAssetSerializer: TOO MANY IMAGES!\nE Image: "
     "Could not load PNG: ../assets/junk.png decoder ERROR: 94\nW cAssetMgr: cAssetMgr could not load image file: ../assets/junk.png\n", 0,
     [](M& m) { EXPECT_EQ(m.imageSlot(4)->quadCount(), 1u); }},
    {"sound named with its extension", "<sounds>@<sound id='0'>snd.ogg</sound></sounds>", {missing("SOUND", "snd.ogg.ogg")},
     notFound("SOUND", "snd.ogg.ogg"), -2},
    {"sound slots past the last, variants, an undecodable sound", "<sounds><sound @id='12'>snd</sound><sound id='4'>snd</sound>"
     "@<sound id='5'>junk</sound>@<sound id='6'>junk.WAV</sound>@<sound id='7'>gsm.wav</sound></sounds>", {"error: sound id 12 "
     "is not a sound slot (0 to 9): the game reports \"TOO MANY ANIMATIONS!\" and skips it", "error: cannot use sound file "
     "../assets/junk.ogg: it is a file of no sound format the game knows, which the mixer cannot decode; it takes Ogg Vorbis, mono "
     "or stereo", "error: cannot use sound file ../assets/junk.WAV: it is a file of no sound format the game knows, which the mixer "
     "cannot decode; it takes " + kWavs, "error: cannot use sound file ../assets/gsm.wav: "
     "it is a WAV with format tag 49, 0-bit samples, stereo, which the mixer cannot decode; it takes " + kWavs},
     "E cAssetSerializer: TOO MANY ANIMATIONS!\nE cAssetMgr: cannot decode sound file: ../assets/junk.ogg\nE cAssetMgr: cannot "
     "decode sound file: ../assets/junk.WAV\nE cAssetMgr: cannot decode sound file: ../assets/gsm.wav\n", 0, [](M& m) {
         EXPECT_EQ(m.soundSlot(4)->pools.size(), 3u);  // snd, -v1, -v2
         EXPECT_TRUE(m.soundSlot(5)->pools.empty() && m.soundSlot(6)->pools.empty());
         EXPECT_EQ(m.loadProblems().at(0), "cannot decode sound ../assets/junk.ogg: the game plays Ogg Vorbis files, and WAV files "
                   "named with .wav");
     }},
    {"sounds named as WAV and .oga files with a variant; a .wav name kept in an older .ogg", "<sounds><sound id='0'>tone.wav"
     "</sound><sound id='1'>old.wav</sound><sound id='2'>tune.oga</sound></sounds>", {}, "", 0, [](M& m) {
         ASSERT_TRUE(m.soundSlot(0)->pools.size() == 2u && m.soundSlot(1)->pools.size() == 2u);  // tone-v1.wav, old.wav-v1.ogg
         ASSERT_EQ(m.soundSlot(2)->pools.size(), 2u);  // tune-v1.oga
         EXPECT_EQ(m.soundSlot(0)->pools[1]->instances.at(0)->file->sound->getKind(), QEL::hssSoundMemory);  // the WAV reader's
         EXPECT_EQ(m.soundSlot(1)->pools[0]->instances.at(0)->file->sound->getKind(), QEL::hssSoundStream);
         EXPECT_NE(m.soundSlot(0)->pools[0]->play2d(), 0u); }},
    {"a WAV sound that is missing", "<sounds>@<sound id='0'>gone.wav</sound></sounds>", {missing("SOUND", "gone.wav")},
     notFound("SOUND", "gone.wav"), -2},
    {"only 1 enables a mode: none is enabled", "@<shotTypes switchPosX='7'>@<single>true</single>@<burst>on</burst>@<auto>yes</auto>"
     "</shotTypes>" + anims("<animation name='burst0' frameCount='3' bg='1'><frame img='0'/></animation>"), {"warning: no fire mode is "
     "enabled (<single>, <burst> or <auto> holding 1): the weapon cannot fire", "warning: <single> 'true' does not enable single fire: "
     "only '1' does", "warning: <burst> 'on' does not enable burst fire: only '1' does", "warning: <auto> 'yes' does not enable auto "
     "fire: only '1' does"}, "E cAssetMgr: [cAssetMgr] invalid fire "
     "mode for: w\nW cAssetMgr: [cAssetMgr] No fire modes available for: w\n", -1, [](M& m) {
         EXPECT_TRUE(!m.weapon()->singleEnabled && !m.weapon()->burstEnabled && m.weapon()->switchPosX == 7 && m.weapon()->switchPosY == -100); }},
    {"fire modes without their animations", "<shotTypes>@<single>1</single>@<burst>1</burst></shotTypes><animations/>",
     {"error: single fire needs a shot animation (shot0 to shot9), and the weapon has none",
      "error: burst fire needs a burst animation (burst0 to burst9), and the weapon has none"}, "", 0},
    {"animations of no length", anims("@<animation name='reload'><frame img='0'/></animation><animation name='idle0' "
     "@frameCount='0'/>"), {"error: frameCount is 0 (missing): the animation lasts no time and is never seen (a reload with it "
     "refills at once)", "error: frameCount is 0: the animation lasts no time and is never seen (a reload with it refills at "
     "once)"}, "", 0},
    {"more frames than frameCount, and none", anims("<animation name='shot1' @frameCount='1' bg='1'>" + repeated("<frame img='0'/>", 2) +
     "</animation><animation name='shot2' @frameCount='1' bg='1'>" + repeated("<frame img='0'/>", 3) + "</animation>@<animation "
     "name='idle0' frameCount='2'/>"), {"warning: frameCount is 1 but the animation has 2 <frame> elements: the last one shows only "
     "for the last 17 ms", "warning: frameCount is 1 but the animation has 3 <frame> elements: those past the first 2 are never shown, "
     "and their sounds, cartridges and particles all happen when the animation ends", "error: the animation has no <frame>: nothing "
     "of the weapon is drawn while it plays"}, "", 0},
    {"an animation the game never plays", anims("<animation @name='spare' frameCount='1'><frame img='0'/></animation>"),
     {"warning: animation 'spare' is never played: the game plays intro, firstShot, shot0-9, burst0-9, lastShot, windDown, "
      "reload, emptyState, idle0-9 and the animations firstShotIsCharge and windDownInterruptsTo name"}, "", 0},
    {"forced starting mode that is not offered", custom("@<forceStartingMode>burst</forceStartingMode>"),
     {"warning: forceStartingMode 'burst' starts the weapon in a mode <shotTypes> does not enable"}, "", 1},
    {"emitters: a missing picture, a duplicate id", "<emitters>@<emitter id='1' name='sparkle'/><emitter id='0' name='spark' "
     "blend='3'/><emitter @id='0' name='spark' blend='1'/></emitters>", {missing("IMAGE", "sparkle.png"),
     "warning: duplicate emitter id 0 (first at line 6): frames get the first"}, "E weaponTest: IMAGE NOT FOUND: sparkle.png\n"
     "E Image: Could not read file: error (0) ../assets/sparkle.png\nCould not load image: ../assets/sparkle.png\n", 0},
    {"only the first <ammo> counts", ammoXml(3) + "@<ammo count='9'/><ejectCartridge image='3' scale='12'/>",
     {"warning: duplicate <ammo> in <kablixWeapon>: only the first one is read"}, "", 0, [](M& m) {
         EXPECT_TRUE(m.roundsLoaded() == 3 && m.imageSlot(2)->quadCount() == 3u && m.cartridgeEjector().image == m.imageSlot(3)); }},
    {"rounds take the cartridges' slot", ammoXml(3) + "<ejectCartridge image='2' scale='12'/>", {}, "", 0,
     [](M& m) { EXPECT_TRUE(m.imageSlot(2)->quadCount() == 3u && !m.cartridgeEjector().image); }},
    {"no rounds, cartridge image past the slots", ammoXml(0) + "<ejectCartridge @image='15' scale='12'/>", {"error: cartridge image "
     "15 is not an image slot (0 to 14)"}, "", 0, [](M& m) {
         EXPECT_TRUE(m.roundsLoaded() == 0 && !m.weapon()->ammoImage && !m.cartridgeEjector().image && m.imageSlot(-1)->quadCount() == 1u); }},
    {"bullets: no round, off screen, placed; cartridges of scale 1", "<ammo count='2' img='2'>@<bullet id='5'/>@<bullet id='1' "
     "x='20' y='400' rot='45'/></ammo><ejectCartridge image='3' scale='1'/>", {"warning: bullet id 5 is not a round of the 2 (0 to "
     "1): the game reports \"Bullet quad not found!\"", "warning: bullet 1 at (20, 400) is off the 568 x 320 screen"},
     "W cAssetSerializer: Bullet quad not found!\n", 0,
     [](M& m) { EXPECT_TRUE((m.weapon()->ammoImage->unlock(), m.weapon()->ammoImage->getQuad(1)->angle) == 45.0f && !m.cartridgeEjector().image); }},
    {"frames: blend, place, light, eject, spawns", "<emitters><emitter id='0' name='spark'/></emitters>" + anims("<animation "
     "name='shot1' frameCount='5' @bg='20'><frame img='2' blend='2' x='1.5' y='-2' rot='30' netSend='1' lit='true'/>"
     "<frame img='2' lit='1'><eject num='1' x='3' y='4' rot='5'/>@<eject num='5'/></frame><frame img='0'>@<spawn/>"
     "<spawn @n='0' e='0' ms='250' sc='40' ang='90' rg='10'/></frame><frame img='0' blend='1'/><frame @img='-4' "
     "blend='7'/></animation>"), {"error: bg 20 is not an image slot (0 to 14)", "warning: duplicate <eject> in <frame>: only the "
     "first one is read", "error: spawn names emitter id -1, which no <emitter> declares", "error: spawn count 0 is below 1",
     "error: frame img -4 is not an image slot (0 to 14)"}, "E cAssetSerializer: [assetSerializer] A frame requested an emitter with "
     "ID -1 but it was not found!  This will almost certainly cause a crash!\nE cAssetSerializer: [assetSerializer] A spawning "
     "particle was found with a less than 1 spawn count???\n", 0, [](M& m) {
         const auto& f = m.weapon()->findAnimation("shot1")->frames;  // blend 2 over an RGBA picture is 4; 7 is opaque
         ASSERT_EQ((std::vector<QEL::BlendMode>{f[0]->blendMode, f[1]->blendMode, f[2]->blendMode, f[3]->blendMode, f[4]->blendMode}), (std::vector<QEL::BlendMode>{QEL::BlendMode::multiply, QEL::BlendMode::alpha, QEL::BlendMode::opaque, QEL::BlendMode::additive, QEL::BlendMode::opaque}));
         EXPECT_TRUE(m.weapon()->findAnimation("shot1")->background == m.imageSlot(-1) && f[4]->image == m.imageSlot(-1));
         EXPECT_TRUE(f[0]->x == 1.5f && f[0]->y == -2 && f[0]->rot == 30 && f[1]->ejectX == 3 && f[1]->ejectRot == 5);
         const QEL::cSpawnRecord &plain = f[2]->spawns.at(0), &given = f[2]->spawns.at(1);
         EXPECT_TRUE(f[0]->netSend == 1 && !f[0]->lit && f[1]->lit && f[1]->eject && f[1]->ejectNum == 1 && !plain.emitter);
         EXPECT_TRUE(plain.count == 1 && plain.ms == 100 && plain.sc == 100.0f && given.sc == 40 && given.ang == 90);
         EXPECT_TRUE(given.emitter == m.particles().findEmitter("DYN_spark") && !given.count && given.ms == 250 && given.rg == 10); }},
    {"frames naming what is not there", anims("<animation name='shot1' @frameCount='99999999999' bg='1'><frame @img='5' "
     "@sound='3'/><frame img='0' @netSend='10001'/><frame img='0' @netSend='7'/></animation>"),
     {"error: frameCount 2147483647 is too large: the animation's length in milliseconds does not fit the game's 32-bit number",
      "error: frame img 5 names an image slot that no <image> fills", "error: frame sound 3 names a sound slot that no <sound> fills",
      "error: netSend 10001 is 10000 or more: a team game would read it as another team's shot",
      "error: netSend 7 has no effect with that id in ../assets/EFFECTS.xml"}, "", 0},
    {"animation sound offsets", "<sounds><sound id='2' offset='3'>snd</sound><sound id='4'>snd</sound></sounds>" + anims(
     "<animation name='idle5' frameCount='5' sound='2'><frame img='0'/><frame img='0'/><frame img='0'/><frame n='3' "
     "img='0' @sound='4'/><frame img='0' sound='4'/></animation><animation name='idle3' frameCount='3' @sound='2'>"
     "<frame img='0'/><frame img='0'/><frame img='0'/></animation><animation name='idle6' frameCount='2' @sound='6'>"
     "<frame n='0' img='0' @sound='4'/><frame img='0' sound='4'/></animation>"), {collides(3, 2), "warning: the offset 3 of "
     "sound 2 is beyond the animation's last frame (3 frames): the animation plays no sound of its own", "error: animation sound 6 "
     "names a sound slot that no <sound> fills", collides(0, 6)}, kCollision + "idle5 FRAME: 3\n\n" + kCollision + "idle6 FRAME: "
     "0\n\n", 0, [](M& m) {
         ints got;  // each frame's slot, 0 for none
         for (const char* name : {"idle5", "idle3", "idle6"})
             for (auto* f : m.weapon()->findAnimation(name)->frames) got.push_back(f->sound ? f->sound == m.soundSlot(2) ? 2 : 4 : 0);
         EXPECT_EQ(got, (ints{0, 0, 0, 2, 4, 0, 0, 0, 0, 4})); }},
    {"custom: fill, landscape, light off", custom("<fillColor r='10' g='20' b='30'/>@<forceStartingMode>auto</forceStartingMode>"
     "<landscapeMode>true</landscapeMode><portraitMode>false</portraitMode><light>off</light>"),
     {noMatch("forceStartingMode> 'auto", "burst, single")}, "", 0, [](M& m) {
         EXPECT_TRUE(rgb(m.reader().fillColor) == (ints{10, 20, 30}) && m.weapon()->forceStartingMode == -1 && m.weapon()->light == 0);
         EXPECT_TRUE(m.weapon()->landscapeMode && m.cartridgeEjector().dropSoundEnabled && !m.weaponDisplay().backgroundOff && !m.weaponDisplay().portraitDisplay); }},
    {"custom: named fill, portrait, controlled light, alpha background", custom("<fillColor>skyBlue</fillColor><forceStartingMode>"
     "single</forceStartingMode><portraitMode>1</portraitMode><light>controlled</light><drawBackground>blendAlpha</drawBackground>"
     "<enableCartridgeDroppingSound>0</enableCartridgeDroppingSound>"), {}, "", 0, [](M& m) {
         EXPECT_TRUE(rgb(m.reader().fillColor) == (ints{105, 156, 230}) && m.weapon()->forceStartingMode == 0 && m.weapon()->light == 1);
         EXPECT_TRUE(m.weapon()->backgroundBlend == QEL::BlendMode::alpha && !m.weapon()->landscapeMode && m.weapon()->drawBackground && !m.cartridgeEjector().dropSoundEnabled);
         EXPECT_TRUE(m.weaponDisplay().backgroundOff && !m.weaponDisplay().portraitDisplay); }},  // the check takes only "true" for portrait
    {"custom: unknown fill, no background, landscape 0", custom("@<fillColor>red</fillColor><light>bright</light><drawBackground>"
     "false</drawBackground><landscapeMode>0</landscapeMode>"), {noMatch("fillColor> 'red", "black, skyBlue")}, "", 0, [](M& m) {
         EXPECT_TRUE(rgb(m.reader().fillColor) == (ints{255, 255, 255}) && m.weapon()->light == 2 && !m.weapon()->drawBackground);
         EXPECT_TRUE(!m.weapon()->landscapeMode && m.cartridgeEjector().dropSoundEnabled && m.weaponDisplay().backgroundOff && !m.weaponDisplay().portraitDisplay); }},
    {"custom: charge and catch, gravity, order, overlap", anims("<animation name='firstShot' frameCount='1'><frame img='0'/>"
     "</animation><animation name='windDown' frameCount='1'><frame img='0'/></animation><animation name='cool' frameCount='1'>"
     "<frame img='0'/></animation>") + custom("<allowSoundOverlap>true</allowSoundOverlap><drawOrder>particlesBack</drawOrder>"
     "<firstShotIsCharge>shot0</firstShotIsCharge><windDownInterruptsTo>cool</windDownInterruptsTo><gravity y='0.01'/>"
     "<ejectGivesMomentum>0</ejectGivesMomentum><ejectGivesRotation>false</ejectGivesRotation>"), {}, "", 0, [](M& m) {
         const QEL::cAsset& a = *m.weapon();
         EXPECT_TRUE(a.allowSoundOverlap && a.drawOrder == 0 && a.firstShotIsCharge && a.windDownInterrupts && !a.ejectGivesRotation);
         EXPECT_TRUE(a.findAnimation("firstShot")->linked == a.findAnimation("shot0") && m.cartridgeEjector().gravityY == 0.01f && a.gravityX == 0);
         EXPECT_TRUE(a.findAnimation("windDown")->linked == a.findAnimation("cool") && !a.ejectGivesMomentum); }},
    {"custom values that match nothing; the root's overlap wins", rooted("<kablixWeapon name='w' allowInterrupt='true' "
     "allowSoundOverlap='true'>", custom("@<allowSoundOverlap>false</allowSoundOverlap>@<drawOrder>front</drawOrder><gravity/>")),
     {noMatch("allowSoundOverlap> 'false", "true"), noMatch("drawOrder> 'front", "particlesBack, particlesOverBG, particlesFront")},
     "   WARNING: Custom XML value for <drawOrder> is invalid.\n", 0,
     [](M& m) { EXPECT_TRUE(m.weapon()->allowSoundOverlap && m.weapon()->drawOrder == 2 && m.weapon()->gravityY == 0.0f); }},
    customFailure("firstShotIsCharge without firstShot", custom("@<firstShotIsCharge>shot0</firstShotIsCharge>"),
                  "firstShotIsCharge> is invalid, because there is no firstShot animation!"),
    customFailure("firstShotIsCharge naming no animation", anims("<animation name='firstShot' frameCount='1'><frame img='0'/>"
                  "</animation>") + custom("@<firstShotIsCharge>charge</firstShotIsCharge>"),
                  "firstShotIsCharge> is invalid, because there is no animation named 'charge' !"),
    customFailure("windDownInterruptsTo without windDown", custom("@<windDownInterruptsTo>shot0</windDownInterruptsTo>"),
                  "windDownInterruptsTo> is invalid, because there is no windDown animation!"),
    customFailure("windDownInterruptsTo naming nothing", anims("<animation name='windDown' frameCount='1'><frame img='0'/>"
                  "</animation>") + custom("@<windDownInterruptsTo></windDownInterruptsTo>"),
                  "windDownInterruptsTo> is invalid, because there is no animation named '' !"),
    {"misspelt and unknown names", "@<ammo count='1' @imag='2' @colour='red'/>" + custom("@<draworder>x</draworder>"), {"warning: "
     "<ammo> has no img: the game neither shows nor counts the rounds",
     "warning: unknown attribute imag: did you mean img?", "warning: unknown attribute colour in <ammo> is never read",
      "warning: unknown element <draworder>: did you mean drawOrder?"}, "", 0},
    // XML the game reads leniently but a strict parser refuses: each at the strict parser's place; the weapon loads as before.
    {"text after the root", rooted(kRoot) + "@trailing\n", {kNotWellFormed + "junk after document element (a file holds one "
     "root element; nothing but comments may follow it)" + kLenient}, "", 0},
    {"a second root", rooted(kRoot) + "@<kablixWeapon/>\n", {kNotWellFormed + "junk after document element (a file holds one "
     "root element; nothing but comments may follow it)" + kLenient}, "", 0},
    {"an unquoted value", "<ammo count=@3 img='2'/>", {kNotWellFormed + "not well-formed (invalid token)" + kLenient}, "", 0},
    {"a bare ampersand", rooted("<kablixWeapon name='Tom &@ Jerry' allowInterrupt='true'>"), {kNotWellFormed + "not well-formed "
     "(invalid token) (an '&' that starts no entity such as &amp; must be written &amp;)" + kLenient}, "", 0},
    {"two dashes in a comment", "<!-- a --@ b -->", {kNotWellFormed + "not well-formed (invalid token)" + kLenient}, "", 0},
    {"a name of a character names cannot hold", "<custom @@\xC3\x97='1'/>", {kNotWellFormed + "not well-formed (invalid token)" +
     kLenient, "warning: unknown attribute \xC3\x97 in <custom> is never read"}, "", 0},
    {"a control character", "<custom><light>off@\x01</light></custom>", {kNotWellFormed + "not well-formed (invalid token)" +
     kLenient}, "", 0},
    // What the game cannot read, named for what it is.
    {"a '<' in text", custom("<drawOrder>1 <@ 2</drawOrder>"), {"error: the XML cannot be parsed: not well-formed (invalid token) "
     "(a '<' that starts no tag must be written &lt;)"}, kRefused, -2},
    {"a DOCTYPE internal subset", "<?xml version='1.0'?>\n<!DOCTYPE kablixWeapon @[ <!ENTITY e 'x'> ]>\n" + rooted(kRoot).substr(22),
     {"error: a DOCTYPE with an internal subset ([ ... ]) is not supported: the game reads nothing after it; remove the DOCTYPE"},
     "", -2},
    {"saved as UTF-16", "@" + utf16(rooted(kRoot)), {"error: the file is saved as UTF-16, which the game cannot read: save it as "
     "UTF-8"}, kRefused, -2},
    {"an ICO named .png", image0(">icon.png</image>"), {"error: cannot use image file ../assets/icon.png: it is an ICO icon, which "
     "the game cannot use; it takes PNG of any colour type and bit depth, or TGA with 24-bit or 32-bit colour"}, "E Image: Could not "
     "load PNG: ../assets/icon.png decoder ERROR: 28\nW cAssetMgr: cAssetMgr could not load image file: ../assets/icon.png\n", 0},
    {"a variant after a gap, a misspelt role, a count in words", "<sounds>@<sound id='0'>gap</sound></sounds>" + anims(
     "<animation @name='winddown' frameCount='1'><frame img='0'/></animation><animation name='idle0' @frameCount='four'>"
     "<frame img='0'/></animation>"), {"warning: sound file ../assets/gap-v3.ogg is never played: the variants stop at the first "
     "one missing (gap-v2.ogg)", "warning: animation 'winddown' is never played: did you mean windDown?", "error: frameCount "
     "'four' is not a number: the game reads it as 0, so the animation lasts no time and is never seen"}, "", 0},
    {"effects file that cannot be parsed", "<overlayHitEffects><effects>\n</@overlayHitEffects>",
     {"error: the hit effects file cannot be parsed: mismatched tag"}, kParseError, 0},
};

class WeaponFormat : public WeaponWorld {};

TEST_F(WeaponFormat, EachFileGivesItsFindingsAndItsLoad) {
    writeSolidPng("spark", 8, 8, 255, 0, 0, true);
    for (const char* sound : {"snd", "snd-v1", "snd-v2"}) writeOgg(sound);
    for (const char* junk : {"junk.png", "junk.ogg", "junk.WAV"})
        writeAsset(junk, std::string("\x89PNG\r\n\x1a\nOggS", 12) + std::string(200, 'x'));
    for (const char* sound : {"old.wav", "old.wav-v1"}) writeOgg(sound);
    for (const char* sound : {"gap", "gap-v1", "gap-v3", "tune", "tune-v1"}) writeOgg(sound);
    for (const char* oga : {"tune", "tune-v1"})
        std::filesystem::rename(root / "assets" / (oga + std::string(".ogg")), root / "assets" / (oga + std::string(".oga")));
    QEL::soundTest::writeFile((root / "assets" / "gsm.wav").string(), QEL::soundTest::wavRaw(0x31, 2, 8000, 0, {}, {1, 2, 3}));
    writeAsset("icon.png", std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0", 14) + std::string(64, '\0'));
    for (const char* wav : {"tone.wav", "tone-v1.wav"})
        QEL::soundTest::writeFile((root / "assets" / wav).string(), QEL::soundTest::wav16(QEL::soundTest::sine(441, 44100, 440, 8000), 1, 44100));
    char resolved[PATH_MAX];
    const std::string packFolder = realpath("../assets", resolved) ? resolved : "";
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.what);
        const bool effectsRow = row.text.rfind("<overlayHitEffects", 0) == 0;
        std::string text = effectsRow || row.text.rfind("<?", 1) != std::string::npos || row.text.find('\0') != std::string::npos ? row.text : rooted(kRoot, row.text), expected;
        for (size_t at = 0, i = 0; i < row.findings.size() && (at = text.find('@', at)) != std::string::npos; ++i) {
            const size_t lineStart = at ? text.erase(at, 1).rfind('\n', at - 1) : (text.erase(0, 1), std::string::npos);
            const size_t column = at - lineStart;  // from the line's start, or from before the text (npos) on its first line
            expected += (effectsRow ? "../assets/EFFECTS.xml:" : "../assets/w.xml:") + std::to_string(1 + std::count(text.begin(),
                        text.begin() + at, '\n')) + ":" + std::to_string(column) + ": " + row.findings[i] + "\n";
        for (size_t at; (at = expected.find("{assets}")) != std::string::npos;) expected.replace(at, 8, packFolder);
        }
        writeAsset(effectsRow ? "EFFECTS.xml" : "w.xml", text);
        if (effectsRow) writeAsset("w.xml", rooted(kRoot));
        const std::string out = run("'" KABLIX_CHECK "' --assets ../assets w 2>/dev/null");
        EXPECT_EQ(out.substr(0, out.rfind('\n', out.size() - 2) + 1), expected);  // without the summary
        if (effectsRow)  // the last row: the standard effects are gone after it
            EXPECT_EQ(QEL::cOverlayFXMgr(sounds, 568, 320).loadRulesFile("../assets/EFFECTS.xml"), row.mode != 0);
        else
            EXPECT_EQ(loadChecked("w"), row.mode);
        EXPECT_EQ(complaints(takeLog()), row.log);
        if (row.then) row.then(mgr());
    }
}

// The guide's minimal weapon (its "```xml minimal-weapon" block), given a picture or a sound for each file it names: the
// check finds nothing, and the game fires it empty, rests on emptyState and reloads it with no complaint in its log.
TEST_F(WeaponFormat, GuidesMinimalWeaponChecksCleanAndPlays) {
    std::ifstream in(KABLIX_SOURCE_DIR "/docs/weapon-format.md");
    const std::string guide{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string fence = "\n```xml minimal-weapon\n";
    const size_t start = guide.find(fence) + fence.size();
    ASSERT_NE(guide.find(fence), std::string::npos);
    const std::string xml = guide.substr(start, guide.find("\n```", start) + 1 - start);
    const std::regex named(">([^<]+?)(\\.png)?</(image|sound)>");
    for (std::sregex_iterator file(xml.begin(), xml.end(), named), end; file != end; ++file)
        (*file)[3] == "image" ? writeSolidPng((*file)[1], 16, 16, 90, 90, 90) : writeOgg((*file)[1]);
    ASSERT_EQ(loadWeapon("minimal", xml), QEL::kFireModeSingle);
    EXPECT_EQ(run("'" KABLIX_CHECK "' --assets ../assets minimal 2>&1"), "1 weapon checked: 0 errors, 0 warnings\n");
    const auto settle = [&] {  // turns of 10 ms until the weapon rests or idles
        do frameAt(clockNow + 10);
        while (mgr().playingAnimation() != "" && mgr().playingAnimation() != "emptyState" && clockNow < 60000);
    };
    for (int shot = 0; shot < 10 && !mgr().isEmpty(); ++shot) mgr().tapInput(), settle();
    EXPECT_EQ(mgr().playingAnimation() + " " + std::to_string(mgr().magazineCapacity()), "emptyState 3");
    EXPECT_TRUE(mgr().requestReload());
    settle();
    EXPECT_EQ(mgr().playingAnimation() + " " + std::to_string(mgr().roundsLoaded()), " 3");
    EXPECT_EQ(complaints(takeLog()), "");
}

}  // namespace
}  // namespace weaponTest
