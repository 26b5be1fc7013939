// The demo weapons: each passes the weapon check, every number in a weapon file points at
// something the file declares, pictures fit the way they are drawn, every shot number has a hit
// effect, and together the weapons use every part of the weapon format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "app/assetPath.h"
#include "tests/pack/packFiles.h"
#include "weapon/weaponTest.h"

namespace QEL {
namespace packtest {
namespace {

bool powerOfTwo(unsigned v) { return v >= 2 && (v & (v - 1)) == 0; }

std::string baseName(const std::string& file) { return file.size() > 4 ? file.substr(0, file.size() - 4) : file; }

// One weapon file, parsed, with its declarations by id.
struct WeaponFile {
    std::string name;
    std::unique_ptr<TiXmlDocument> doc;
    TiXmlElement* root = nullptr;
    std::map<int, std::string> images, sounds, emitters;
    std::map<int, int> soundOffsets, emitterBlends;

    explicit WeaponFile(const std::string& n) : name(n), doc(loadXml(n)) {
        if (!doc) return;
        root = doc->RootElement();
        std::vector<TiXmlElement*> list;
        collect(root->FirstChildElement("images"), "image", list);
        for (TiXmlElement* e : list) images[intAttribute(e, "id", -1)] = baseName(text(e));
        list.clear();
        collect(root->FirstChildElement("sounds"), "sound", list);
        for (TiXmlElement* e : list) {
            sounds[intAttribute(e, "id", -1)] = text(e);
            soundOffsets[intAttribute(e, "id", -1)] = intAttribute(e, "offset", 0);
        }
        list.clear();
        collect(root->FirstChildElement("emitters"), "emitter", list);
        for (TiXmlElement* e : list) {
            emitters[intAttribute(e, "id", -1)] = e->Attribute("name") ? e->Attribute("name") : "";
            emitterBlends[intAttribute(e, "id", -1)] = intAttribute(e, "blend", 1);
        }
    }
    std::vector<TiXmlElement*> all(const char* element) const {
        std::vector<TiXmlElement*> out;
        collect(root, element, out);
        return out;
    }
    std::string custom(const char* setting) const {
        TiXmlElement* c = root->FirstChildElement("custom");
        return c ? text(c->FirstChildElement(setting)) : "";
    }
    bool hasCustom(const char* setting) const {
        TiXmlElement* c = root->FirstChildElement("custom");
        return c && c->FirstChildElement(setting);
    }
};

class PackWeapons : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const std::string& name : catalogueWeapons()) weapons().emplace_back(new WeaponFile(name));
    }
    static std::vector<std::unique_ptr<WeaponFile>>& weapons() {
        static std::vector<std::unique_ptr<WeaponFile>> list;
        return list;
    }
};

TEST_F(PackWeapons, CatalogueStartsWithAWeaponAndOffersAtLeastFour) {
    EXPECT_FALSE(catalogueValue("0").empty());
    ASSERT_GE(weapons().size(), 4u);
    for (auto& w : weapons()) ASSERT_TRUE(w->root) << w->name << ".xml does not parse";
}

TEST_F(PackWeapons, EveryWeaponPassesTheCheckWithoutALogLine) {
    int portrait = 0, backgroundOffCount = 0;
    for (auto& w : weapons()) {
        ::testing::internal::CaptureStdout();
        bool passed = testWeapon(w->name);
        std::string lines = ::testing::internal::GetCapturedStdout();
        EXPECT_TRUE(passed) << w->name << ":\n" << lines;
        EXPECT_EQ(lines.find("E: ("), std::string::npos) << lines;
        EXPECT_EQ(lines.find("W: ("), std::string::npos) << lines;
        portrait += portraitDisplay;
        backgroundOffCount += backgroundOff;
    }
    releaseLastTestedDocument();
    EXPECT_EQ(portrait, 1) << "the pack shows one weapon in portrait";
    EXPECT_EQ(backgroundOffCount, 1) << "the pack has one weapon with a blended background";
}

// The loader quietly falls back to a blank slot, no sound or no emitter for a number nothing
// declared; here such a slip fails loudly.
TEST_F(PackWeapons, EveryFrameRefersToDeclaredSlotsAndEmitters) {
    for (auto& w : weapons()) {
        for (TiXmlElement* a : w->all("animation")) {
            const std::string anim = a->Attribute("name") ? a->Attribute("name") : "?";
            EXPECT_TRUE(w->images.count(intAttribute(a, "bg", -1))) << w->name << " " << anim << " bg";
            int s = intAttribute(a, "sound", -1);
            if (s != -1) { EXPECT_TRUE(w->sounds.count(s)) << w->name << " " << anim << " sound"; }
            std::vector<TiXmlElement*> frames;
            collect(a, "frame", frames);
            EXPECT_FALSE(frames.empty()) << w->name << " " << anim;
            for (size_t k = 0; k < frames.size(); ++k) {
                TiXmlElement* f = frames[k];
                EXPECT_TRUE(w->images.count(intAttribute(f, "img", -1))) << w->name << " " << anim << " frame " << k;
                int fs = intAttribute(f, "sound", -1);
                if (fs != -1) {
                    EXPECT_TRUE(w->sounds.count(fs)) << w->name << " " << anim << " frame " << k;
                    // A frame sound on the frame that carries the animation sound would be dropped.
                    if (s != -1) { EXPECT_NE(static_cast<int>(k), w->soundOffsets[s]) << w->name << " " << anim << " frame " << k; }
                }
                std::vector<TiXmlElement*> spawns;
                collect(f, "spawn", spawns);
                for (TiXmlElement* sp : spawns) {
                    EXPECT_TRUE(w->emitters.count(intAttribute(sp, "e", -1))) << w->name << " " << anim << " frame " << k;
                    EXPECT_GE(intAttribute(sp, "n", 1), 1);
                }
            }
            if (s != -1) { EXPECT_LT(w->soundOffsets[s], static_cast<int>(frames.size())) << w->name << " " << anim << ": sound never plays"; }
        }
    }
}

TEST_F(PackWeapons, PicturesFitTheWayTheyAreDrawn) {
    for (auto& w : weapons()) {
        std::set<int> framePictures, backgrounds, wholeTexture;
        for (TiXmlElement* f : w->all("frame")) framePictures.insert(intAttribute(f, "img", -1));
        for (TiXmlElement* a : w->all("animation")) backgrounds.insert(intAttribute(a, "bg", -1));
        if (TiXmlElement* ammo = w->root->FirstChildElement("ammo")) wholeTexture.insert(intAttribute(ammo, "img", -1));
        if (TiXmlElement* eject = w->root->FirstChildElement("ejectCartridge")) wholeTexture.insert(intAttribute(eject, "image", -1));
        for (auto& [id, file] : w->images) {
            Picture p;
            if (!loadPicture(file, p)) continue;
            // Frames show the 600 x 400 rectangle at the texture origin, backgrounds 568 x 320.
            if (framePictures.count(id)) { EXPECT_TRUE(p.width == 600 && p.height == 400) << w->name << " " << file; }
            if (backgrounds.count(id)) { EXPECT_TRUE(p.width == 568 && p.height == 320) << w->name << " " << file; }
            // Rounds and cartridges show the whole padded texture, so the picture must need no padding.
            if (wholeTexture.count(id)) { EXPECT_TRUE(powerOfTwo(p.width) && powerOfTwo(p.height)) << w->name << " " << file; }
        }
        for (auto& [id, file] : w->emitters) {
            Picture p;
            if (!loadPicture(file, p)) continue;
            EXPECT_TRUE(powerOfTwo(p.width) && p.width == p.height) << w->name << " " << file;
            // Added particles ignore the picture's alpha: what should not show must be black.
            if (w->emitterBlends[id] == 3) {
                const uint8_t* corner = p.texel(0, 0);
                EXPECT_LT(corner[0] + corner[1] + corner[2], 12) << w->name << " " << file << " is added but not black at the rim";
            }
        }
    }
}

TEST_F(PackWeapons, RoundsCartridgesAndParticlesStartOnScreen) {
    for (auto& w : weapons()) {
        if (TiXmlElement* ammo = w->root->FirstChildElement("ammo")) {
            std::set<int> ids;
            std::vector<TiXmlElement*> bullets;
            collect(ammo, "bullet", bullets);
            for (TiXmlElement* b : bullets) {
                ids.insert(intAttribute(b, "id", -1));
                EXPECT_TRUE(intAttribute(b, "x", -1) >= 0 && intAttribute(b, "x", -1) < 568) << w->name;
                EXPECT_TRUE(intAttribute(b, "y", -1) >= 0 && intAttribute(b, "y", -1) < 320) << w->name;
            }
            int count = intAttribute(ammo, "count", 0);
            EXPECT_EQ(static_cast<int>(ids.size()), count) << w->name << ": every round needs one place";
            if (!ids.empty()) { EXPECT_EQ(*ids.rbegin(), count - 1) << w->name; }
        }
        std::vector<TiXmlElement*> points = w->all("eject");
        std::vector<TiXmlElement*> spawns = w->all("spawn");
        points.insert(points.end(), spawns.begin(), spawns.end());
        for (TiXmlElement* e : points) {
            double x = std::atof(e->Attribute("x")), y = std::atof(e->Attribute("y"));
            EXPECT_TRUE(x > -40 && x < 568 && y > -40 && y < 320) << w->name << " " << e->ValueStr() << " at " << x << "," << y;
        }
    }
}

std::set<int> effectIds(TiXmlElement* root) {
    std::set<int> ids;
    std::vector<TiXmlElement*> effects;
    collect(root->FirstChildElement("effects"), "effect", effects);
    for (TiXmlElement* e : effects) ids.insert(intAttribute(e, "id", -1));
    return ids;
}

TEST_F(PackWeapons, EveryShotNumberAndTestKeyHasAHitEffect) {
    auto effects = loadXml("EFFECTS");
    ASSERT_TRUE(effects);
    std::set<int> ids = effectIds(effects->RootElement());
    int sent = 0;
    for (auto& w : weapons())
        for (TiXmlElement* f : w->all("frame")) {
            int n = intAttribute(f, "netSend", 0);
            if (n > 0) {
                ++sent;
                EXPECT_TRUE(ids.count(n)) << w->name << " sends " << n << " but no effect has that id";
                EXPECT_LT(n, 10000) << "numbers from 10000 up carry a team";
            }
        }
    EXPECT_GT(sent, 0);
    std::vector<std::string> keys;
    for (char c : std::string("0123456789abcdefghijklmnopqrstuvwxyz")) keys.push_back(std::string("s") + c);
    for (char c : std::string("0123456789")) keys.push_back(std::string("sk") + c);
    int testKeys = 0;
    for (const std::string& key : keys) {
        std::string value = catalogueValue(key);
        if (value.empty()) continue;
        ++testKeys;
        int n = std::atoi(value.c_str()) % 10000;  // the team is carried in the ten-thousands
        EXPECT_TRUE(ids.count(n)) << key << "=" << value;
    }
    EXPECT_GE(testKeys, 6);
}

TEST_F(PackWeapons, EffectsFileNamesOnlyWhatThePackHolds) {
    auto effects = loadXml("EFFECTS");
    ASSERT_TRUE(effects);
    TiXmlElement* root = effects->RootElement();
    ASSERT_EQ(root->ValueStr(), "overlayHitEffects");
    std::set<std::string> emitterNames;
    std::vector<TiXmlElement*> list;
    collect(root->FirstChildElement("emitters"), "emitter", list);
    for (TiXmlElement* e : list) {
        std::string name = e->Attribute("name") ? e->Attribute("name") : "";
        std::string file = e->Attribute("file") ? e->Attribute("file") : name;
        emitterNames.insert(name);
        EXPECT_TRUE(assetFileExists(file, "png")) << file;
        Picture p;
        if (e->Attribute("blend") && std::string(e->Attribute("blend")) == "add" && loadPicture(file, p)) {
            const uint8_t* corner = p.texel(0, 0);
            EXPECT_LT(corner[0] + corner[1] + corner[2], 12) << file << " is added but not black at the rim";
        }
        EXPECT_GT(intAttribute(e, "durationMS", 0), 0) << name;
        EXPECT_NE(std::atof(e->Attribute("scale") ? e->Attribute("scale") : "0"), 0.0) << name;
    }
    int commands = 0;
    std::vector<TiXmlElement*> spurts;
    collect(root->FirstChildElement("effects"), "spurt", spurts);
    for (TiXmlElement* s : spurts) {
        std::vector<TiXmlElement*> entries, sounds;
        collect(s, "emitter", entries);
        for (TiXmlElement* e : entries) { EXPECT_TRUE(emitterNames.count(e->Attribute("name"))) << e->Attribute("name"); }
        collect(s, "sound", sounds);
        for (TiXmlElement* e : sounds) { EXPECT_TRUE(assetFileExists(e->Attribute("file"), "ogg")) << e->Attribute("file"); }
        EXPECT_LE(intAttribute(s, "dMin", 0), intAttribute(s, "dMax", 0));
        if (TiXmlElement* c = s->FirstChildElement("command")) {
            ++commands;
            EXPECT_EQ(intAttribute(c, "type", 0), 1);
            const std::vector<std::string> names = catalogueWeapons();
            EXPECT_NE(std::find(names.begin(), names.end(), c->Attribute("cmd")), names.end()) << c->Attribute("cmd");
        }
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
            bool on = shotTypes && text(shotTypes->FirstChildElement(m)) == "1";
            see(on, m);
            modes += on;
        }
        see(modes > 1 && intAttribute(shotTypes, "switchPosX", -100) >= 0, "mode switch");
        see(w->custom("forceStartingMode") == "single" || w->custom("forceStartingMode") == "burst", "forceStartingMode");
        see(!w->custom("firstShotIsCharge").empty() && !w->custom("windDownInterruptsTo").empty(), "charge and catch on one weapon");
        see(w->custom("portraitMode") == "true" || w->custom("landscapeMode") == "false", "portrait");
        see(w->hasCustom("fillColor"), "fillColor");
        see(w->hasCustom("gravity"), "gravity");
        see(w->custom("drawBackground") == "blendAlpha", "blendAlpha");
        for (const char* order : {"particlesBack", "particlesOverBG", "particlesFront"}) see(w->custom("drawOrder") == order, order);
        int shots = 0, bursts = 0;
        for (TiXmlElement* a : w->all("animation")) {
            std::string n = a->Attribute("name");
            for (const char* role : {"intro", "firstShot", "lastShot", "windDown", "reload", "emptyState"}) see(n == role, role);
            bool numbered = n.size() >= 5 && std::isdigit(static_cast<unsigned char>(n.back()));
            shots += numbered && n.rfind("shot", 0) == 0 && n.size() == 5;
            bursts += numbered && n.rfind("burst", 0) == 0 && n.size() == 6;
            see(numbered && n.rfind("idle", 0) == 0 && n.size() == 5, "idle");
            int s = intAttribute(a, "sound", -1);
            see(s != -1 && w->soundOffsets[s] > 0, "animation sound at an offset");
        }
        see(shots >= 2, "several shots");
        see(bursts >= 2, "several bursts");
        for (TiXmlElement* f : w->all("frame")) {
            see(intAttribute(f, "lit", 0) != 0, "lit");
            see(intAttribute(f, "netSend", 0) > 0, "netSend");
            see(f->FirstChildElement("eject") && w->root->FirstChildElement("ejectCartridge"), "cartridges");
        }
        for (auto& [id, emitter] : w->emitters)
            for (TiXmlElement* sp : w->all("spawn"))
                if (intAttribute(sp, "e", -1) == id) see(true, emitter);
        TiXmlElement* ammo = w->root->FirstChildElement("ammo");
        see(ammo && ammo->FirstChildElement("bullet"), "ammunition");
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
