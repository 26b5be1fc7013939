// One weapon file, element by element, in the order the game's reader visits it.
#include <cmath>
#include <map>
#include <set>

#include "base/assetPath.h"
#include "check/gameLog.h"
#include "check/nearestName.h"
#include "check/packChecker.h"
#include "effects/overlayEffects.h"
#include "net/shotMessage.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "xml/XMLSerializer.h"
#include "weapon/cAsset.h"
#include "weapon/cAssetMgr.h"
#include "weapon/cAssetSerializer.h"
#include "weapon/weaponTest.h"

namespace QEL {

namespace {

const findingKind kError = findingKind::error;
const findingKind kWarning = findingKind::warning;

// Children the reader visits one after another; of every other element it reads only the first.
const std::set<std::string> kRepeatedElements = {"image", "emitter", "sound", "bullet", "animation", "frame", "spawn"};

template <typename Visit>
void forEachChild(TiXmlElement* parent, const char* name, Visit visit) {
    if (!parent) return;
    for (TiXmlElement* child = parent->FirstChildElement(name); child; child = child->NextSiblingElement(name)) {
        visit(child);
    }
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

bool contains(const std::vector<const char*>& list, const std::string& name) {
    for (const char* entry : list) {
        if (name == entry) return true;
    }
    return false;
}

std::string joined(const std::vector<const char*>& list) {
    std::string text;
    for (const char* entry : list) text += (text.empty() ? "" : ", ") + std::string(entry);
    return text;
}

// The base name an <image> text stands for: its extension (the last four characters) dropped, as
// both the weapon check and the image slots drop it.
std::string imageBase(const std::string& text) { return text.size() >= 4 ? text.substr(0, text.size() - 4) : text; }

// Does the picture of a rotated w × h rectangle with its top-left corner at (x, y) miss the screen
// entirely? The rectangle turns about its centre, as quads do.
bool offScreen(float x, float y, float w, float h, float degrees) {
    const float turn = degrees * 3.14159265f / 180.0f;
    const float halfW = std::fabs(w / 2 * std::cos(turn)) + std::fabs(h / 2 * std::sin(turn));
    const float halfH = std::fabs(w / 2 * std::sin(turn)) + std::fabs(h / 2 * std::cos(turn));
    const float cx = x + w / 2, cy = y + h / 2;
    return cx + halfW <= 0 || cx - halfW >= kScreenWidth || cy + halfH <= 0 || cy - halfH >= kScreenHeight;
}

// Texts of a <custom> setting that the reader does not look for but that only restate the default
// ("true" where only "false" switches something off); they change nothing and warrant no warning.
std::vector<const char*> restatedDefaults(const std::string& setting) {
    if (setting == "enableCartridgeDroppingSound" || setting == "landscapeMode" || setting == "ejectGivesMomentum" ||
        setting == "ejectGivesRotation") {
        return {"true", "1"};
    }
    if (setting == "portraitMode") return {"false", "0"};
    if (setting == "drawBackground") return {"true"};
    if (setting == "fillColor") return {""};  // the colour is then given by attributes
    return {};
}

class weaponWalk {
public:
    weaponWalk(packChecker& checker, const std::string& file) : pack(checker), file(file), asset(nullptr) {
        for (const weaponFileElement& entry : weaponFileNames()) names[entry.element] = &entry;
    }

    void run(TiXmlElement* root);

private:
    void error(const TiXmlBase* at, const std::string& message) { pack.findings.add(file, at, kError, message); }
    void warning(const TiXmlBase* at, const std::string& message) { pack.findings.add(file, at, kWarning, message); }

    // The attribute node itself, for a position on the attribute rather than its element.
    static const TiXmlBase* attributeAt(TiXmlElement* element, const char* name);
    static bool has(TiXmlElement* element, const char* name) { return element->Attribute(name) != nullptr; }

    std::string gameCheck(TiXmlElement& stub);
    static TiXmlElement checkStub();
    void checkNames(TiXmlElement* element);
    bool checkRoot(TiXmlElement* root);
    void checkImages(TiXmlElement* images);
    void checkEmitters(TiXmlElement* emitters);
    void checkShotTypes(TiXmlElement* shotTypes);
    void checkSounds(TiXmlElement* sounds);
    void checkCartridge(TiXmlElement* eject);
    void checkAmmo(TiXmlElement* ammo);
    void checkAnimation(TiXmlElement* animation);
    void checkFrame(TiXmlElement* frame, int32_t number, int32_t animationSound, int32_t soundOffset);
    void checkImageSlot(TiXmlElement* element, const char* attribute, const std::string& what);
    void checkFireModes(TiXmlElement* shotTypes);
    void checkCustom(TiXmlElement* custom, TiXmlElement* root);
    void checkLinkedAnimation(TiXmlElement* setting);
    void checkForcedMode(TiXmlElement* custom, TiXmlElement* shotTypes);

    packChecker& pack;
    std::string file;
    std::map<std::string, const weaponFileElement*> names;
    // What the slots would hold: the element that filled each image and sound slot.
    std::map<int32_t, TiXmlElement*> imageSlots;
    std::map<int32_t, TiXmlElement*> soundSlots;
    std::map<int32_t, int32_t> soundOffsets;
    std::map<int32_t, TiXmlElement*> emitterIds;
    std::map<std::string, TiXmlElement*> animationNames;
    cAsset asset;  // the animations' names and roles, sorted by the game's own rules
};

const TiXmlBase* weaponWalk::attributeAt(TiXmlElement* element, const char* name) {
    for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
        if (std::string(a->Name()) == name) return a;
    }
    return element;
}

// A root the weapon check lets through, with an empty <images>: a stub that the one element under
// test is added to, so the check judges that element alone.
TiXmlElement weaponWalk::checkStub() {
    TiXmlElement stub("kablixWeapon");
    stub.SetAttribute("name", "check");
    stub.SetAttribute("allowInterrupt", "false");
    stub.InsertEndChild(TiXmlElement("images"));
    return stub;
}

// The game's weapon check over `stub`: "" when it passes, else the line it reports.
std::string weaponWalk::gameCheck(TiXmlElement& stub) {
    gameLog log;
    weaponTest check;
    if (check.processRoot(&stub)) return std::string();
    const std::string problem = log.firstProblem();
    return problem.empty() ? "the weapon check rejects this" : problem;
}

void weaponWalk::checkNames(TiXmlElement* element) {
    auto entry = names.find(element->Value());
    if (entry == names.end()) return;
    const weaponFileElement& known = *entry->second;
    const std::string where = std::string(" in <") + element->Value() + ">";
    for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
        if (contains(known.attributes, a->Name())) continue;
        const std::string near = nearestName(a->Name(), known.attributes);
        warning(a, std::string("unknown attribute ") + a->Name() +
                       (near.empty() ? where + " is never read" : ": did you mean " + near + "?"));
    }
    std::set<std::string> seen;
    for (TiXmlElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
        const std::string name = child->Value();
        if (!contains(known.children, name)) {
            const std::string near = nearestName(name, known.children);
            warning(child, "unknown element <" + name + ">" +
                               (near.empty() ? where + " is never read" : ": did you mean " + near + "?"));
            continue;
        }
        if (!seen.insert(name).second && !kRepeatedElements.count(name)) {
            warning(child, "duplicate <" + name + ">" + where + ": only the first one is read");
        }
        checkNames(child);
    }
}

bool weaponWalk::checkRoot(TiXmlElement* root) {
    // The root's own checks: its name and attributes, and that <images> is there.
    TiXmlElement stub(root->Value());
    for (const TiXmlAttribute* a = root->FirstAttribute(); a; a = a->Next()) stub.SetAttribute(a->Name(), a->Value());
    if (root->FirstChildElement("images")) stub.InsertEndChild(TiXmlElement("images"));
    const std::string problem = gameCheck(stub);
    if (!problem.empty()) {
        error(root, problem);
        if (std::string(root->Value()) != "kablixWeapon") return false;
    }
    for (const char* flag : {"allowInterrupt", "allowSoundOverlap"}) {
        const std::string value = getAttributeString(root, flag, "");
        if (!value.empty() && value != "true" && value != "false") {
            warning(attributeAt(root, flag), std::string(flag) + "=" + quoted(value) + " reads as false: only 'true' is read");
        }
    }
    return true;
}

void weaponWalk::run(TiXmlElement* root) {
    if (!checkRoot(root)) return;
    checkNames(root);
    checkImages(root->FirstChildElement("images"));
    checkEmitters(root->FirstChildElement("emitters"));
    checkSounds(root->FirstChildElement("sounds"));
    checkCartridge(root->FirstChildElement("ejectCartridge"));
    checkAmmo(root->FirstChildElement("ammo"));
    forEachChild(root->FirstChildElement("animations"), "animation", [this](TiXmlElement* a) { checkAnimation(a); });
    checkShotTypes(root->FirstChildElement("shotTypes"));
    checkCustom(root->FirstChildElement("custom"), root);
    checkForcedMode(root->FirstChildElement("custom"), root->FirstChildElement("shotTypes"));
}

// The forced starting mode is taken as it is, offered or not (cAssetMgr::toggleAssetMode).
void weaponWalk::checkForcedMode(TiXmlElement* custom, TiXmlElement* shotTypes) {
    TiXmlElement* forced = custom ? custom->FirstChildElement("forceStartingMode") : nullptr;
    const std::string mode = getElementText(forced);
    if (mode != "burst" && mode != "single") return;
    TiXmlElement* offered = shotTypes ? shotTypes->FirstChildElement(mode.c_str()) : nullptr;
    if (getElementText(offered) != "1") {
        warning(forced, "forceStartingMode " + quoted(mode) + " starts the weapon in a mode <shotTypes> does not enable");
    }
}

void weaponWalk::checkImages(TiXmlElement* images) {
    forEachChild(images, "image", [this](TiXmlElement* image) {
        TiXmlElement stub = checkStub();
        stub.FirstChildElement("images")->InsertEndChild(*image);
        const std::string problem = gameCheck(stub);
        const int32_t id = getAttributeInt(image, "id", -1);
        if (!problem.empty()) error(image, problem);
        if (id < 0 || id >= kImageSlotCount) {
            error(has(image, "id") ? attributeAt(image, "id") : image,
                  "image id " + std::to_string(id) + " is not an image slot (0 to 14): the game reports "
                  "\"TOO MANY IMAGES!\" and skips it");
            return;
        }
        if (imageSlots.count(id)) {
            warning(attributeAt(image, "id"), "duplicate image id " + std::to_string(id) + " (first at line " +
                                                  std::to_string(imageSlots[id]->Row()) + "): this image replaces it");
        }
        imageSlots[id] = image;
        if (!problem.empty()) return;
        const std::string base = imageBase(getElementText(image));
        const packChecker::imageFile& picture = pack.decodeImage(base);
        if (!picture.problem.empty()) {
            error(image, "cannot use image file " + pack.shownPath(base, "png") + ": " + picture.problem);
        }
    });
}

void weaponWalk::checkEmitters(TiXmlElement* emitters) {
    forEachChild(emitters, "emitter", [this](TiXmlElement* emitter) {
        TiXmlElement stub = checkStub();
        stub.InsertEndChild(TiXmlElement("emitters"))->InsertEndChild(*emitter);
        const std::string problem = gameCheck(stub);
        if (!problem.empty()) {
            error(emitter, problem);
        } else {
            const std::string base = getAttributeString(emitter, "name", "INVALID_EMITTER_FILE");
            const packChecker::imageFile& picture = pack.decodeImage(base);
            if (!picture.problem.empty()) {
                error(emitter, "cannot use emitter image " + pack.shownPath(base, "png") + ": " + picture.problem);
            }
        }
        const int32_t id = getAttributeInt(emitter, "id", -1);
        if (emitterIds.count(id)) {
            warning(attributeAt(emitter, "id"), "duplicate emitter id " + std::to_string(id) + " (first at line " +
                                                    std::to_string(emitterIds[id]->Row()) + "): frames get the first");
            return;
        }
        emitterIds[id] = emitter;
    });
}

void weaponWalk::checkShotTypes(TiXmlElement* shotTypes) {
    bool anyMode = false;
    for (const char* mode : {"single", "burst", "auto"}) {
        TiXmlElement* element = shotTypes ? shotTypes->FirstChildElement(mode) : nullptr;
        if (!element) continue;
        const std::string text = getElementText(element);
        if (text != "1" && text != "0") {
            warning(element, "<" + std::string(mode) + "> " + quoted(text) + " does not enable " + mode +
                                 " fire: only '1' does");
        }
        anyMode = anyMode || text == "1";
    }
    if (!anyMode) {
        warning(shotTypes, "no fire mode is enabled (<single>, <burst> or <auto> holding 1): the weapon cannot fire");
        return;
    }
    checkFireModes(shotTypes);
}

void weaponWalk::checkFireModes(TiXmlElement* shotTypes) {
    auto enabled = [shotTypes](const char* mode) {
        TiXmlElement* element = shotTypes->FirstChildElement(mode);
        return element && getElementText(element) == "1" ? element : nullptr;
    };
    for (const char* mode : {"single", "auto"}) {
        if (TiXmlElement* element = enabled(mode); element && asset.shotAnimations.empty()) {
            error(element, std::string(mode) + " fire needs a shot animation (shot0 to shot9), and the weapon has none");
        }
    }
    if (TiXmlElement* element = enabled("burst"); element && asset.burstAnimations.empty()) {
        error(element, "burst fire needs a burst animation (burst0 to burst9), and the weapon has none");
    }
}

void weaponWalk::checkSounds(TiXmlElement* sounds) {
    forEachChild(sounds, "sound", [this](TiXmlElement* sound) {
        TiXmlElement stub = checkStub();
        stub.InsertEndChild(TiXmlElement("sounds"))->InsertEndChild(*sound);
        const std::string problem = gameCheck(stub);
        if (!problem.empty()) error(sound, problem);
        const int32_t id = getAttributeInt(sound, "id", -1);
        if (id < 0 || id >= kSoundSlotCount) {
            error(has(sound, "id") ? attributeAt(sound, "id") : sound,
                  "sound id " + std::to_string(id) + " is not a sound slot (0 to 9): the game reports "
                  "\"TOO MANY ANIMATIONS!\" and skips it");
            return;
        }
        if (soundSlots.count(id)) {
            warning(attributeAt(sound, "id"), "duplicate sound id " + std::to_string(id) + " (first at line " +
                                                  std::to_string(soundSlots[id]->Row()) + "): this sound replaces it");
        }
        soundSlots[id] = sound;
        soundOffsets[id] = getAttributeInt(sound, "offset", 0);
        if (!problem.empty()) return;
        // The slot takes the sound and its variants -v1 to -v3, up to the first that is missing.
        const std::string base = getElementText(sound);
        for (int n = 0; n <= 3; ++n) {
            const std::string name = n == 0 ? base : base + "-v" + std::to_string(n);
            if (n > 0 && !assetFileExists(name, "ogg")) break;
            const std::string& broken = pack.decodeSound(name);
            if (!broken.empty()) error(sound, "cannot use sound file " + pack.shownPath(name, "ogg") + ": " + broken);
        }
    });
}

void weaponWalk::checkImageSlot(TiXmlElement* element, const char* attribute, const std::string& what) {
    // An absent attribute, or -1 written out, asks for no picture (the default slot) on purpose.
    const int32_t slot = getAttributeInt(element, attribute, -1);
    if (slot == -1) return;
    const TiXmlBase* at = attributeAt(element, attribute);
    if (slot < 0 || slot >= kImageSlotCount) {
        error(at, what + " " + std::to_string(slot) + " is not an image slot (0 to 14)");
    } else if (!imageSlots.count(slot)) {
        error(at, what + " " + std::to_string(slot) + " names an image slot that no <image> fills");
    }
}

void weaponWalk::checkCartridge(TiXmlElement* eject) {
    if (!eject || getAttributeInt(eject, "scale", -1) <= 1 || getAttributeInt(eject, "image", -1) < 0) return;
    checkImageSlot(eject, "image", "cartridge image");
}

void weaponWalk::checkAmmo(TiXmlElement* ammo) {
    const int32_t count = getAttributeInt(ammo, "count", 0);
    if (!ammo || count < 1) return;
    if (!has(ammo, "img")) {
        warning(ammo, "<ammo> has no img: the game neither shows nor counts the rounds");
        return;
    }
    checkImageSlot(ammo, "img", "ammo img");
    if (static_cast<uint32_t>(count) > QuadSet::kMaxQuads) {
        error(attributeAt(ammo, "count"), "ammo count " + std::to_string(count) + " is more than the " +
                                              std::to_string(QuadSet::kMaxQuads) + " rounds an image slot can show");
    }
    const int32_t slot = getAttributeInt(ammo, "img", -1);
    float width = 1, height = 1;  // a point, when the round's picture is unknown
    if (imageSlots.count(slot)) {
        const packChecker::imageFile& picture = pack.decodeImage(imageBase(getElementText(imageSlots[slot])));
        if (picture.problem.empty()) {
            width = static_cast<float>(picture.width);
            height = static_cast<float>(picture.height);
        }
    }
    std::map<int32_t, TiXmlElement*> bullets;
    forEachChild(ammo, "bullet", [&](TiXmlElement* bullet) {
        const int32_t id = getAttributeInt(bullet, "id", -1);
        if (id < 0 || id >= count) {
            warning(bullet, "bullet id " + std::to_string(id) + " is not a round of the " + std::to_string(count) +
                                " (0 to " + std::to_string(count - 1) + "): the game reports \"Bullet quad not found!\"");
            return;
        }
        if (bullets.count(id)) {
            warning(attributeAt(bullet, "id"), "duplicate bullet id " + std::to_string(id) + " (first at line " +
                                                   std::to_string(bullets[id]->Row()) + ")");
        }
        bullets[id] = bullet;
        const float x = static_cast<float>(getAttributeInt(bullet, "x", 0));
        const float y = static_cast<float>(getAttributeInt(bullet, "y", 0));
        const float rot = static_cast<float>(getAttributeInt(bullet, "rot", 0));
        if (offScreen(x, y, width, height, rot)) {
            warning(bullet, "bullet " + std::to_string(id) + " at (" + std::to_string(static_cast<long long>(x)) +
                                ", " + std::to_string(static_cast<long long>(y)) + ") is off the 568 x 320 screen");
        }
    });
}

void weaponWalk::checkAnimation(TiXmlElement* element) {
    const std::string name = getAttributeString(element, "name", "");
    if (animationNames.count(name)) {
        warning(has(element, "name") ? attributeAt(element, "name") : element,
                "duplicate animation name " + quoted(name) + " (first at line " +
                    std::to_string(animationNames[name]->Row()) + "): lookups by name find the first");
    } else {
        animationNames[name] = element;
    }
    // Only the name matters to the roles; no background slot, no length.
    asset.addAnimation(new cAnimation(nullptr, 0, name));

    int32_t frames = 0;
    forEachChild(element, "frame", [&frames](TiXmlElement*) { ++frames; });
    const int32_t frameCount = getAttributeInt(element, "frameCount", 0);
    const TiXmlBase* countAt = has(element, "frameCount") ? attributeAt(element, "frameCount") : element;
    if (frameCount > INT32_MAX / 1000 || frameCount < INT32_MIN / 1000) {
        error(countAt, "frameCount " + std::to_string(frameCount) + " is too large: the animation's length in "
                       "milliseconds does not fit the game's 32-bit number");
    } else if (frameCount != frames) {
        warning(countAt, "frameCount is " + std::to_string(frameCount) + " but the animation has " +
                             std::to_string(frames) + " <frame> elements");
    }
    checkImageSlot(element, "bg", "bg");

    // The animation sound sits on the frame whose number is its slot's offset.
    const int32_t sound = getAttributeInt(element, "sound", -1);
    const bool soundSlot = sound >= 0 && sound < kSoundSlotCount;
    const int32_t offset = soundSlot && soundOffsets.count(sound) ? soundOffsets[sound] : 0;
    if (has(element, "sound") && sound != -1) {
        const TiXmlBase* at = attributeAt(element, "sound");
        if (!soundSlot) {
            error(at, "animation sound " + std::to_string(sound) + " is not a sound slot (0 to 9)");
        } else if (!soundSlots.count(sound)) {
            error(at, "animation sound " + std::to_string(sound) + " names a sound slot that no <sound> fills");
        } else if (offset < 0 || offset >= frames) {
            warning(at, "the offset " + std::to_string(offset) + " of sound " + std::to_string(sound) +
                            " is beyond the animation's last frame (" + std::to_string(frames) +
                            " frames): the animation plays no sound of its own");
        }
    }
    int32_t number = 0;
    forEachChild(element, "frame", [&](TiXmlElement* frame) {
        checkFrame(frame, number++, soundSlot ? sound : -1, offset);
    });
}

void weaponWalk::checkFrame(TiXmlElement* frame, int32_t number, int32_t animationSound, int32_t soundOffset) {
    checkImageSlot(frame, "img", "frame img");
    const int32_t sound = getAttributeInt(frame, "sound", -1);
    if (sound != -1) {
        const TiXmlBase* at = attributeAt(frame, "sound");
        if (animationSound >= 0 && number == soundOffset) {
            error(at, "frame " + std::to_string(number) + " carries the animation's sound (slot " +
                          std::to_string(animationSound) + "), so the game reports the sounds as colliding and "
                          "ignores this frame's sound");
        } else if (sound < 0 || sound >= kSoundSlotCount) {
            error(at, "frame sound " + std::to_string(sound) + " is not a sound slot (0 to 9)");
        } else if (!soundSlots.count(sound)) {
            error(at, "frame sound " + std::to_string(sound) + " names a sound slot that no <sound> fills");
        }
    }
    const int32_t netSend = getAttributeInt(frame, "netSend", 0);
    if (netSend > 0) {
        const TiXmlBase* at = attributeAt(frame, "netSend");
        if (!shotCanCarryTeam(netSend)) {
            error(at, "netSend " + std::to_string(netSend) + " is 10000 or more: a team game would read it as "
                      "another team's shot");
        } else if (cOverlayFXMgr* effects = pack.hitEffects(); effects && !effects->findEffect(netSend)) {
            error(at, "netSend " + std::to_string(netSend) + " has no effect with that id in " +
                          pack.shownPath("EFFECTS", "xml"));
        }
    }
    forEachChild(frame, "spawn", [this](TiXmlElement* spawn) {
        const int32_t count = getAttributeInt(spawn, "n", 1);
        if (count < 1) {
            error(attributeAt(spawn, "n"), "spawn count " + std::to_string(count) + " is below 1");
        }
        const int32_t id = getAttributeInt(spawn, "e", -1);
        if (!emitterIds.count(id)) {
            error(has(spawn, "e") ? attributeAt(spawn, "e") : spawn,
                  "spawn names emitter id " + std::to_string(id) + ", which no <emitter> declares");
        }
    });
}

void weaponWalk::checkCustom(TiXmlElement* custom, TiXmlElement* root) {
    if (!custom) return;
    std::set<std::string> seen;
    for (TiXmlElement* setting = custom->FirstChildElement(); setting; setting = setting->NextSiblingElement()) {
        const std::string name = setting->Value();
        if (!seen.insert(name).second) continue;  // only the first is read, as reported with the names
        if (name == "firstShotIsCharge" || name == "windDownInterruptsTo") {
            checkLinkedAnimation(setting);
            continue;
        }
        for (const customSettingTexts& values : customSettingValues()) {
            if (name != values.setting) continue;
            const std::string text = getElementText(setting);
            std::vector<const char*> neutral = restatedDefaults(name);
            if (name == "allowSoundOverlap" && getAttributeString(root, "allowSoundOverlap", "") != "true") {
                neutral.push_back("false");
            }
            if (contains(values.texts, text) || contains(neutral, text)) break;
            warning(setting, "<" + name + "> " + quoted(text) + " matches none of the values the game reads (" +
                                 joined(values.texts) + "), so it changes nothing");
            break;
        }
    }
}

// The game's second <custom> pass, given only this setting and the weapon's animations.
void weaponWalk::checkLinkedAnimation(TiXmlElement* setting) {
    TiXmlElement custom("custom");
    custom.InsertEndChild(*setting);
    cAssetSerializer reader;
    reader.asset = &asset;
    gameLog log;
    if (!reader.processCustomPost(&custom)) {
        std::string problem = log.firstProblem();
        if (problem.rfind("ERROR: ", 0) == 0) problem.erase(0, 7);
        error(setting, problem);
    }
}

}  // namespace

void packChecker::checkWeapon(const std::string& name) {
    ++weaponsChecked;
    const std::string shown = shownPath(name, "xml");
    const std::string path = assetPath(name, "xml");
    if (!assetFileExists(name, "xml")) {
        findings.add(shown, 1, 1, findingKind::error, "weapon file not found");
        return;
    }
    std::string text;
    if (!readXMLText(path, text)) {
        findings.add(shown, 1, 1, findingKind::error, "cannot open the weapon file");
        return;
    }
    int line = 1, column = 1;
    if (nestsTooDeep(text, line, column)) {
        findings.add(shown, line, column, findingKind::error, nestingMessage());
        return;
    }
    // The game's verdict over the whole file, as it checks a weapon before loading it.
    bool passed = false;
    std::string verdict;
    {
        gameLog log;
        weaponTest check;
        TiXmlDocument* kept = nullptr;
        passed = check.loadXML(path, &kept);
        delete kept;
        verdict = log.firstProblem();
    }
    TiXmlDocument document;
    parsePositioned(text, document);
    if (document.Error()) {
        findings.add(shown, document.ErrorRow(), document.ErrorCol(), findingKind::error,
                     std::string("the XML cannot be parsed: ") + document.ErrorDesc());
        return;
    }
    if (TiXmlElement* root = document.FirstChildElement()) {
        weaponWalk walk(*this, shown);
        walk.run(root);
    } else {
        findings.add(shown, 1, 1, findingKind::error, "the file holds no element");
    }
    // Whatever the game's check rejects must show up here too, positioned or not.
    if (!passed && findings.errorsIn(shown) == 0) {
        findings.add(shown, 1, 1, findingKind::error, verdict.empty() ? "the weapon check rejects this file" : verdict);
    }
}

}  // namespace QEL
