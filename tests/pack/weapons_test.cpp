// The demo weapon files beyond what kablix-check already holds them to: pictures fit the way they
// are drawn, every round has a place, hit effects cover the test keys and name only what the pack
// holds, and together the weapons use every part of the weapon format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "base/assetPath.h"
#include "tests/pack/packFiles.h"

namespace QEL {
namespace packtest {
namespace {

bool powerOfTwo(unsigned v) { return v >= 2 && (v & (v - 1)) == 0; }

// One weapon file, parsed, with its declarations by id.
struct WeaponFile {
    std::string name;
    std::unique_ptr<TiXmlDocument> doc;
    TiXmlElement* root = nullptr;
    std::map<int, std::string> images, sounds, emitters;
    std::map<int, int> soundOffsets, emitterBlends;

    explicit WeaponFile(const std::string& n) : name(n), doc(loadXml(n)) {
        root = doc ? doc->RootElement() : nullptr;
        for (TiXmlElement* e : all(root, "image")) images[intAttribute(e, "id")] = text(e).substr(0, text(e).size() - 4);
        for (TiXmlElement* e : all(root, "sound")) {
            sounds[intAttribute(e, "id")] = text(e);
            soundOffsets[intAttribute(e, "id")] = intAttribute(e, "offset", 0);
        }
        for (TiXmlElement* e : all(root->FirstChildElement("emitters"), "emitter")) {
            emitters[intAttribute(e, "id")] = e->Attribute("name");
            emitterBlends[intAttribute(e, "id")] = intAttribute(e, "blend", 1);
        }
    }
    TiXmlElement* custom(const char* setting) const {
        TiXmlElement* c = root->FirstChildElement("custom");
        return c ? c->FirstChildElement(setting) : nullptr;
    }
};

class PackWeapons : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const std::string& name : catalogueWeapons()) {
            ASSERT_TRUE(loadXml(name)) << name << ".xml does not parse";
            weapons().emplace_back(new WeaponFile(name));
        }
    }
    static std::vector<std::unique_ptr<WeaponFile>>& weapons() {
        static std::vector<std::unique_ptr<WeaponFile>> list;
        return list;
    }
};

TEST_F(PackWeapons, PicturesAndPlacesFitTheWayTheyAreDrawn) {
    for (auto& w : weapons()) {
        SCOPED_TRACE(w->name);
        std::set<int> frames, backgrounds, wholeTexture;
        for (TiXmlElement* f : all(w->root, "frame")) frames.insert(intAttribute(f, "img"));
        for (TiXmlElement* a : all(w->root, "animation")) backgrounds.insert(intAttribute(a, "bg"));
        wholeTexture.insert(intAttribute(w->root->FirstChildElement("ammo"), "img"));
        wholeTexture.insert(intAttribute(w->root->FirstChildElement("ejectCartridge"), "image"));
        for (auto& [id, file] : w->images) {
            Picture p;
            if (!loadPicture(file, p)) continue;
            // Frames show the 600 x 400 rectangle at the texture origin, backgrounds 568 x 320;
            // rounds and cartridges show the whole padded texture, so they must need no padding.
            if (frames.count(id)) { EXPECT_TRUE(p.width == 600 && p.height == 400) << file; }
            if (backgrounds.count(id)) { EXPECT_TRUE(p.width == 568 && p.height == 320) << file; }
            if (wholeTexture.count(id)) { EXPECT_TRUE(powerOfTwo(p.width) && powerOfTwo(p.height)) << file; }
        }
        for (auto& [id, file] : w->emitters) {
            Picture p;
            if (!loadPicture(file, p)) continue;
            EXPECT_TRUE(powerOfTwo(p.width) && p.width == p.height) << file;
            if (w->emitterBlends[id] == 3) { EXPECT_TRUE(p.blackAtTheRim()) << file << " is added but not black at the rim"; }
        }
        std::set<int> rounds;
        TiXmlElement* ammo = w->root->FirstChildElement("ammo");
        for (TiXmlElement* b : all(ammo, "bullet")) rounds.insert(intAttribute(b, "id"));
        if (ammo) {
            const int count = intAttribute(ammo, "count", 0);
            EXPECT_EQ(static_cast<int>(rounds.size()), count) << "every round needs one place";
            if (!rounds.empty()) { EXPECT_EQ(*rounds.rbegin(), count - 1); }
        }
        std::vector<TiXmlElement*> points = all(w->root, "eject"), spawns = all(w->root, "spawn");
        points.insert(points.end(), spawns.begin(), spawns.end());
        for (TiXmlElement* e : points) {
            const double x = std::atof(e->Attribute("x")), y = std::atof(e->Attribute("y"));
            EXPECT_TRUE(x > -40 && x < 568 && y > -40 && y < 320) << e->ValueStr() << " at " << x << "," << y;
        }
    }
}

TEST_F(PackWeapons, HitEffectsCoverTheTestKeysAndNameOnlyWhatThePackHolds) {
    auto effects = loadXml("EFFECTS");
    ASSERT_TRUE(effects);
    TiXmlElement* root = effects->RootElement();
    std::set<int> ids;
    for (TiXmlElement* e : all(root->FirstChildElement("effects"), "effect")) ids.insert(intAttribute(e, "id"));
    int testKeys = 0;
    for (const std::string prefix : {"s", "sk"}) {
        for (char c : std::string("0123456789abcdefghijklmnopqrstuvwxyz")) {
            const std::string value = catalogueValue(prefix + c);
            if (value.empty()) continue;
            ++testKeys;
            EXPECT_TRUE(ids.count(std::atoi(value.c_str()) % 10000)) << prefix + c << "=" << value;  // the team is carried in the ten-thousands
        }
    }
    EXPECT_GE(testKeys, 6);

    std::set<std::string> emitterNames;
    for (TiXmlElement* e : all(root->FirstChildElement("emitters"), "emitter")) {
        const std::string name = e->Attribute("name");
        const std::string file = e->Attribute("file") ? e->Attribute("file") : name;
        emitterNames.insert(name);
        Picture p;
        if (!assetFileExists(file, "png") || !loadPicture(file, p)) {
            ADD_FAILURE() << file << ".png is missing";
        } else if (e->Attribute("blend") && std::string(e->Attribute("blend")) == "add") {
            EXPECT_TRUE(p.blackAtTheRim()) << file << " is added but not black at the rim";
        }
        EXPECT_GT(intAttribute(e, "durationMS", 0), 0) << name;
        EXPECT_NE(std::atof(e->Attribute("scale") ? e->Attribute("scale") : "0"), 0.0) << name;
    }
    // The game skips a spurt's emitter it cannot find and a sound it cannot open without a word.
    int commands = 0;
    for (TiXmlElement* s : all(root->FirstChildElement("effects"), "spurt")) {
        for (TiXmlElement* e : all(s, "emitter")) EXPECT_TRUE(emitterNames.count(e->Attribute("name"))) << e->Attribute("name");
        for (TiXmlElement* e : all(s, "sound")) EXPECT_TRUE(assetFileExists(e->Attribute("file"), "ogg")) << e->Attribute("file");
        EXPECT_LE(intAttribute(s, "dMin", 0), intAttribute(s, "dMax", 0));
        commands += s->FirstChildElement("command") != nullptr;
    }
    EXPECT_EQ(commands, 1) << "one hit effect changes the victim's weapon";
}

// Together the demo weapons exercise every part of the weapon format, so that the game's
// end-to-end runs reach all of it with the pack alone.
TEST_F(PackWeapons, TogetherUseEveryPartOfTheWeaponFormat) {
    std::set<std::string> seen;
    auto see = [&](bool condition, const std::string& feature) {
        if (condition) seen.insert(feature);
    };
    for (auto& w : weapons()) {
        TiXmlElement* shotTypes = w->root->FirstChildElement("shotTypes");
        int modes = 0;
        for (const char* m : {"single", "burst", "auto"}) {
            const bool on = text(shotTypes->FirstChildElement(m)) == "1";
            see(on, m);
            modes += on;
        }
        see(modes > 1 && intAttribute(shotTypes, "switchPosX", -100) >= 0, "mode switch");
        see(text(w->custom("forceStartingMode")) == "single" || text(w->custom("forceStartingMode")) == "burst", "forceStartingMode");
        see(!text(w->custom("firstShotIsCharge")).empty() && !text(w->custom("windDownInterruptsTo")).empty(),
            "charge and catch on one weapon");
        see(text(w->custom("portraitMode")) == "true" || text(w->custom("landscapeMode")) == "false", "portrait");
        see(w->custom("fillColor"), "fillColor");
        see(w->custom("gravity"), "gravity");
        see(text(w->custom("drawBackground")) == "blendAlpha", "blendAlpha");
        see(true, text(w->custom("drawOrder")));
        int shots = 0, bursts = 0;
        for (TiXmlElement* a : all(w->root, "animation")) {
            const std::string n = a->Attribute("name");
            see(true, n);
            const bool numbered = std::isdigit(static_cast<unsigned char>(n.back()));
            shots += numbered && n.size() == 5 && n.rfind("shot", 0) == 0;
            bursts += numbered && n.size() == 6 && n.rfind("burst", 0) == 0;
            see(numbered && n.size() == 5 && n.rfind("idle", 0) == 0, "idle");
            const int s = intAttribute(a, "sound");
            see(s != -1 && w->soundOffsets[s] > 0, "animation sound at an offset");
        }
        see(shots >= 2, "several shots");
        see(bursts >= 2, "several bursts");
        for (TiXmlElement* f : all(w->root, "frame")) {
            see(intAttribute(f, "lit", 0) != 0, "lit");
            see(intAttribute(f, "netSend", 0) > 0, "netSend");
            see(f->FirstChildElement("eject") && w->root->FirstChildElement("ejectCartridge"), "cartridges");
        }
        for (TiXmlElement* sp : all(w->root, "spawn")) see(w->emitters.count(intAttribute(sp, "e")), w->emitters[intAttribute(sp, "e")]);
        see(w->root->FirstChildElement("ammo") && w->root->FirstChildElement("ammo")->FirstChildElement("bullet"), "ammunition");
        for (auto& [id, file] : w->sounds)
            see(assetFileExists(file + "-v1", "ogg") && assetFileExists(file + "-v2", "ogg") && assetFileExists(file + "-v3", "ogg"), "variants");
    }
    for (const char* feature : {"single", "burst", "auto", "mode switch", "forceStartingMode", "charge and catch on one weapon",
                                "portrait", "fillColor", "gravity", "blendAlpha", "particlesBack", "particlesOverBG", "particlesFront",
                                "intro", "firstShot", "lastShot", "windDown", "reload", "emptyState", "idle", "several shots",
                                "several bursts", "animation sound at an offset", "lit", "netSend", "cartridges", "ammunition",
                                "variants", "fx_smoke", "fx_spark", "fx_flash"})
        EXPECT_TRUE(seen.count(feature)) << "no demo weapon uses: " << feature;
}

}  // namespace
}  // namespace packtest
}  // namespace QEL
