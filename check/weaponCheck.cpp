// One weapon file as kablix-check reads it: the names of every element against the weapon format's
// table (weaponFormat.h), then each element the game reads, walked through the same table in the
// order the reader takes them, with the checks of its kind.
#include <algorithm>
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
#include "xml/wellFormed.h"
#include "weapon/cAsset.h"
#include "weapon/cAssetSerializer.h"
#include "weapon/weaponFormat.h"
#include "weapon/weaponTest.h"

namespace QEL {

namespace {

const findingKind kError = findingKind::error;
const findingKind kWarning = findingKind::warning;

std::string quoted(const std::string& text) { return "'" + text + "'"; }

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

// Does the text start as a number would (blanks, a sign, a digit)? "four" does not; "4px" does.
bool startsWithNumber(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    if (*text == '+' || *text == '-') ++text;
    return *text >= '0' && *text <= '9';
}

std::string slotRange(const slotRule& slot) {
    return std::string(slot.article) + " " + slot.noun + " (0 to " + std::to_string(slot.count - 1) + ")";
}

class weaponWalk {
public:
    weaponWalk(packChecker& checker, const std::string& file) : pack(checker), file(file), asset(nullptr) {}

    void run(TiXmlElement* root);

private:
    // The checks of one kind of element; false leaves its children unvisited. An absent element
    // that is read only once is visited as null.
    using elementCheck = bool (weaponWalk::*)(TiXmlElement*);
    static const std::map<std::string, elementCheck> kChecks;

    void error(const TiXmlBase* at, const std::string& message) { pack.findings.add(file, at, kError, message); }
    void warning(const TiXmlBase* at, const std::string& message) { pack.findings.add(file, at, kWarning, message); }

    // The attribute node itself, for a position on the attribute rather than its element.
    static const TiXmlBase* attributeAt(TiXmlElement* element, const char* name);
    static ruledElement read(TiXmlElement* element) { return ruledElement(element, weaponRule(element->Value())); }

    void visit(TiXmlElement* element, const elementRule& rule);
    void checkNames(TiXmlElement* element, const elementRule& rule);
    bool checkRoot(TiXmlElement* root);
    std::string gameCheck(TiXmlElement& stub);
    std::string gameCheckAlone(TiXmlElement* element);
    std::string misplaced(const std::string& name, const std::string& where) const;
    static std::string unknownElement(const std::string& name, const std::string& near, const std::string& where);
    int32_t fillsSlot(TiXmlElement* element);
    bool namesSlot(TiXmlElement* element, const char* attribute, const std::string& what);
    template <typename Key>
    void remember(std::map<Key, TiXmlElement*>& seen, const Key& key, const std::string& shown, TiXmlElement* element,
                  const char* attribute, const std::string& outcome, bool laterReplaces);

    bool checkImage(TiXmlElement* image);
    bool checkEmitter(TiXmlElement* emitter);
    bool checkShotTypes(TiXmlElement* shotTypes);
    bool checkSound(TiXmlElement* sound);
    bool checkCartridge(TiXmlElement* eject);
    bool checkAmmo(TiXmlElement* ammo);
    bool checkBullet(TiXmlElement* bullet);
    bool checkAnimation(TiXmlElement* animation);
    bool checkFrame(TiXmlElement* frame);
    bool checkSpawn(TiXmlElement* spawn);
    bool checkCustom(TiXmlElement* custom);
    void warnUnplayedAnimations();
    void checkSettingText(TiXmlElement* setting, const elementRule& rule);
    void checkLinkedAnimation(TiXmlElement* setting);
    void checkForcedMode(TiXmlElement* custom);

    packChecker& pack;
    std::string file;
    const xmlSchema& format = weaponFormat();
    TiXmlElement* root = nullptr;
    // What the slots would hold: the element that filled each image and sound slot.
    std::map<const slotRule*, std::map<int32_t, TiXmlElement*>> slots;
    std::map<int32_t, int32_t> soundOffsets;
    std::map<int32_t, TiXmlElement*> emitterIds;
    std::map<std::string, TiXmlElement*> animationNames;
    cAsset asset;  // the animations' names and roles, sorted by the game's own rules
    // The <ammo> and the animation being walked.
    int32_t rounds = 0;
    float roundWidth = 1, roundHeight = 1;
    std::map<int32_t, TiXmlElement*> bullets;
    int32_t frameNumber = 0;
    int32_t animationSound = -1;  // the slot of the animation's own sound, or -1
    int32_t soundOffset = 0;      // the frame that carries it
};

const std::map<std::string, weaponWalk::elementCheck> weaponWalk::kChecks = {
    {"image", &weaponWalk::checkImage},         {"emitter", &weaponWalk::checkEmitter},
    {"shotTypes", &weaponWalk::checkShotTypes}, {"sound", &weaponWalk::checkSound},
    {"ejectCartridge", &weaponWalk::checkCartridge}, {"ammo", &weaponWalk::checkAmmo},
    {"bullet", &weaponWalk::checkBullet},       {"animation", &weaponWalk::checkAnimation},
    {"frame", &weaponWalk::checkFrame},         {"spawn", &weaponWalk::checkSpawn},
    {"custom", &weaponWalk::checkCustom},
};

const TiXmlBase* weaponWalk::attributeAt(TiXmlElement* element, const char* name) {
    for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
        if (std::string(a->Name()) == name) return a;
    }
    return element;
}

// The game's weapon check over `stub`: "" when it passes, else the line it reports.
std::string weaponWalk::gameCheck(TiXmlElement& stub) {
    gameLog log;
    weaponTest check;
    if (check.processRoot(&stub)) return std::string();
    const std::string problem = log.firstProblem();
    return problem.empty() ? "the weapon check rejects this" : pack.withFullPath(problem);
}

// The same for `element` alone, under its parent in a root the check lets through.
std::string weaponWalk::gameCheckAlone(TiXmlElement* element) {
    TiXmlElement stub(format.root().name);
    stub.SetAttribute("name", "check");
    stub.SetAttribute("allowInterrupt", "false");
    stub.InsertEndChild(TiXmlElement("images"));
    const char* parent = weaponRule(element->Value()).parent;
    TiXmlNode* holder = stub.FirstChildElement(parent);
    (holder ? holder : stub.InsertEndChild(TiXmlElement(parent)))->InsertEndChild(*element);
    return gameCheck(stub);
}

// An element of the format written under the wrong parent: where it belongs; "" for any other name.
std::string weaponWalk::misplaced(const std::string& name, const std::string& where) const {
    for (const elementRule& rule : format.rules) {
        if (rule.parent && name == rule.name)
            return "<" + name + "> belongs inside <" + rule.parent + ">:" + where + " it is never read";
    }
    return std::string();
}

std::string weaponWalk::unknownElement(const std::string& name, const std::string& near, const std::string& where) {
    return "unknown element <" + name + ">" + (near.empty() ? where + " is never read" : ": did you mean " + near + "?");
}

void weaponWalk::checkNames(TiXmlElement* element, const elementRule& rule) {
    std::vector<const char*> attributes, children;
    for (const attributeRule& attribute : rule.attributes) attributes.push_back(attribute.name);
    for (const elementRule* child : format.children(rule)) children.push_back(child->name);
    const std::string where = std::string(" in <") + element->Value() + ">";
    for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
        if (rule.attribute(a->Name())) continue;
        const std::string near = nearestName(a->Name(), attributes);
        warning(a, std::string("unknown attribute ") + a->Name() +
                       (near.empty() ? where + " is never read" : ": did you mean " + near + "?"));
    }
    std::set<std::string> seen;
    for (TiXmlElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
        const std::string name = child->Value();
        const elementRule* known = format.child(rule, name);
        if (!known) {
            const std::string belongs = misplaced(name, where);
            warning(child, belongs.empty() ? unknownElement(name, nearestName(name, children), where) : belongs);
            continue;
        }
        if (!seen.insert(name).second && !known->repeats) {
            warning(child, "duplicate <" + name + ">" + where + ": only the first one is read");
        }
        checkNames(child, *known);
    }
}

bool weaponWalk::checkRoot(TiXmlElement* weapon) {
    // The root's own checks: its name and attributes, and that <images> is there.
    TiXmlElement stub(weapon->Value());
    for (const TiXmlAttribute* a = weapon->FirstAttribute(); a; a = a->Next()) stub.SetAttribute(a->Name(), a->Value());
    if (weapon->FirstChildElement("images")) stub.InsertEndChild(TiXmlElement("images"));
    const std::string problem = gameCheck(stub);
    const std::string name = weapon->Value();
    if (!problem.empty()) {
        const std::string near = name == format.root().name ? "" : nearestName(name, {format.root().name});
        error(weapon, problem + (near.empty() ? "" : " (did you mean <" + near + ">? element names are case-sensitive)"));
        if (name != format.root().name) return false;
    }
    for (const attributeRule& flag : format.root().attributes) {
        const std::string value = getAttributeString(weapon, flag.name, "");
        if (flag.type != valueType::isTrue || value.empty() || value == "true" || value == "false") continue;
        warning(attributeAt(weapon, flag.name),
                std::string(flag.name) + "=" + quoted(value) + " reads as false: only 'true' is read");
    }
    return true;
}

void weaponWalk::run(TiXmlElement* weapon) {
    root = weapon;
    if (!checkRoot(root)) return;
    checkNames(root, format.root());
    // <shotTypes> and <custom> are judged once every animation is known.
    std::vector<const elementRule*> order = format.children(format.root());
    std::stable_partition(order.begin(), order.end(), [](const elementRule* rule) {
        return std::string(rule->name) != "shotTypes" && std::string(rule->name) != "custom";
    });
    for (const elementRule* rule : order) visit(root->FirstChildElement(rule->name), *rule);
    warnUnplayedAnimations();
}

// The game plays an animation by its role's name, or when one of the two <custom> links names it;
// any other name (shotA, Reload) is never seen.
void weaponWalk::warnUnplayedAnimations() {
    std::set<std::string> linked;
    if (TiXmlElement* custom = root->FirstChildElement("custom")) {
        for (const char* link : {"firstShotIsCharge", "windDownInterruptsTo"})
            if (TiXmlElement* setting = custom->FirstChildElement(link)) linked.insert(getElementText(setting));
    }
    std::string played;
    std::vector<std::string> roleNames;  // every name that has a role, for a misspelt one
    for (const animationRoleName& role : animationRoleNames()) {
        played += (played.empty() ? "" : ", ") + std::string(role.name) + (role.numbered ? "0-9" : "");
        for (int n = 0; n < (role.numbered ? 10 : 1); ++n)
            roleNames.push_back(std::string(role.name) + (role.numbered ? std::to_string(n) : ""));
    }
    std::vector<const char*> known;
    for (const std::string& role : roleNames) known.push_back(role.c_str());
    for (const auto& [name, element] : animationNames) {
        if (roleOf(name) != animationRole::none || linked.count(name)) continue;
        const std::string near = nearestName(name, known);
        warning(attributeAt(element, "name"), "animation " + quoted(name) + " is never played: " +
                                                  (near.empty() ? "the game plays " + played + " and the animations "
                                                                  "firstShotIsCharge and windDownInterruptsTo name"
                                                                : "did you mean " + near + "?"));
    }
}

void weaponWalk::visit(TiXmlElement* element, const elementRule& rule) {
    const auto check = kChecks.find(rule.name);
    if (check != kChecks.end() && !(this->*check->second)(element)) return;
    if (!element) return;
    for (const elementRule* child : format.children(rule)) {
        if (!child->repeats) visit(element->FirstChildElement(child->name), *child);
        else forEachChild(element, *child, [&](TiXmlElement* each) { visit(each, *child); });
    }
}

// An element that fills a slot by its id: outside the slots the game skips it, and a later one for
// the same slot replaces it. The slot filled, or -1.
int32_t weaponWalk::fillsSlot(TiXmlElement* element) {
    const ruledElement filler = read(element);
    const slotRule& slot = *filler.rule.attribute("id")->slot;
    const int32_t id = filler.integer("id");
    if (id < 0 || id >= slot.count) {
        error(attributeAt(element, "id"), std::string(slot.filledBy) + " id " + std::to_string(id) + " is not " +
                                              slotRange(slot) + ": the game reports \"" + slot.skippedLine +
                                              "\" and skips it");
        return -1;
    }
    remember(slots[&slot], id, std::to_string(id), element, "id", std::string(": this ") + slot.filledBy + " replaces it",
             true);
    return id;
}

// An attribute that names a slot; -1 (or no attribute) asks for none on purpose. True when it names
// a slot that an element fills.
bool weaponWalk::namesSlot(TiXmlElement* element, const char* attribute, const std::string& what) {
    const ruledElement naming = read(element);
    const slotRule& slot = *naming.rule.attribute(attribute)->slot;
    const int32_t value = naming.integer(attribute);
    if (value == -1) return false;
    const std::string named = what + " " + std::to_string(value);
    if (value < 0 || value >= slot.count) {
        error(attributeAt(element, attribute), named + " is not " + slotRange(slot));
        return false;
    }
    if (!slots[&slot].count(value)) {
        error(attributeAt(element, attribute), named + " names " + slot.article + " " + slot.noun + " that no <" +
                                                   slot.filledBy + "> fills");
        return false;
    }
    return true;
}

// Keeps `element` under `key` and warns when an earlier one had the same key; which of the two the
// game then uses is `outcome`.
template <typename Key>
void weaponWalk::remember(std::map<Key, TiXmlElement*>& seen, const Key& key, const std::string& shown,
                          TiXmlElement* element, const char* attribute, const std::string& outcome,
                          bool laterReplaces) {
    const auto earlier = seen.find(key);
    if (earlier != seen.end()) {
        warning(attributeAt(element, attribute), "duplicate " + std::string(element->Value()) + " " + attribute + " " +
                                                     shown + " (first at line " +
                                                     std::to_string(earlier->second->Row()) + ")" + outcome);
    }
    if (earlier == seen.end() || laterReplaces) seen[key] = element;
}

bool weaponWalk::checkImage(TiXmlElement* image) {
    const std::string problem = gameCheckAlone(image);
    const std::string text = getElementText(image);
    // The game drops an image text's last four characters as its extension, whatever they are.
    const bool noExtension = text.size() >= 4 && text[text.size() - 4] != '.';
    if (!problem.empty()) {
        error(image, problem + (noExtension ? " (the last four characters are taken for an extension: write " + text +
                                                  ".png)" : ""));
    }
    if (fillsSlot(image) < 0 || !problem.empty()) return true;
    const std::string base = imageBase(text);
    const packChecker::imageFile& picture = pack.decodeImage(base);
    if (!picture.problem.empty()) {
        error(image, "cannot use image file " + pack.shownPath(base, "png") + ": " + picture.problem);
    }
    return true;
}

bool weaponWalk::checkEmitter(TiXmlElement* emitter) {
    const std::string problem = gameCheckAlone(emitter);
    if (!problem.empty()) {
        error(emitter, problem);
    } else {
        const std::string base = read(emitter).text("name");
        const packChecker::imageFile& picture = pack.decodeImage(base);
        if (!picture.problem.empty()) {
            error(emitter, "cannot use emitter image " + pack.shownPath(base, "png") + ": " + picture.problem);
        }
    }
    const int32_t id = read(emitter).integer("id");
    remember(emitterIds, id, std::to_string(id), emitter, "id", ": frames get the first", false);
    return true;
}

// Only the text 1 offers a mode, and an offered mode needs animations of its role.
bool weaponWalk::checkShotTypes(TiXmlElement* shotTypes) {
    bool anyMode = false;
    for (const elementRule* mode : format.children(weaponRule("shotTypes"))) {
        TiXmlElement* element = shotTypes ? shotTypes->FirstChildElement(mode->name) : nullptr;
        const std::string name = mode->name, text = getElementText(element);
        if (!element) continue;
        if (!read(element).content()) {
            if (!mode->restates(text)) warning(element, "<" + name + "> " + quoted(text) + " does not enable " + name +
                                                            " fire: only '1' does");
            continue;
        }
        anyMode = true;
        const bool burst = name == "burst";
        if ((burst ? asset.burstAnimations : asset.shotAnimations).empty()) {
            error(element, name + " fire needs a " +
                               (burst ? "burst animation (burst0 to burst9)" : "shot animation (shot0 to shot9)") +
                               ", and the weapon has none");
        }
    }
    if (!anyMode) {
        warning(shotTypes, "no fire mode is enabled (<single>, <burst> or <auto> holding 1): the weapon cannot fire");
    }
    return false;
}

bool weaponWalk::checkSound(TiXmlElement* sound) {
    const std::string problem = gameCheckAlone(sound);
    if (!problem.empty()) error(sound, problem);
    const int32_t id = fillsSlot(sound);
    if (id < 0) return true;
    soundOffsets[id] = read(sound).integer("offset");
    if (!problem.empty()) return true;
    // The slot takes the sound and its variants -v1 to -v3, up to the first that is missing.
    const std::string base = getElementText(sound);
    int n = 0;
    for (; n <= 3; ++n) {
        const std::string file = soundFileName(n == 0 ? base : soundVariantName(base, n));
        if (n > 0 && !assetFileExists(file)) break;
        const std::string& broken = pack.decodeSound(file);
        if (!broken.empty()) error(sound, "cannot use sound file " + pack.shownPath(file) + ": " + broken);
    }
    for (int later = n + 1; later <= 3; ++later) {
        const std::string file = soundFileName(soundVariantName(base, later));
        if (!assetFileExists(file)) continue;
        pack.namedFiles.insert(file);
        warning(sound, "sound file " + pack.shownPath(file) + " is never played: the variants stop at the first one "
                       "missing (" + soundFileName(soundVariantName(base, n)) + ")");
    }
    return true;
}

bool weaponWalk::checkCartridge(TiXmlElement* eject) {
    if (!eject || read(eject).integer("scale") <= 1 || read(eject).integer("image") < 0) return false;
    namesSlot(eject, "image", "cartridge image");
    return false;
}

bool weaponWalk::checkAmmo(TiXmlElement* ammo) {
    if (!ammo || (rounds = read(ammo).integer("count")) < 1) return false;
    if (!ammo->Attribute("img")) {
        warning(ammo, "<ammo> has no img: the game neither shows nor counts the rounds");
        return false;
    }
    namesSlot(ammo, "img", "ammo img");
    if (static_cast<uint32_t>(rounds) > QuadSet::kMaxQuads) {
        error(attributeAt(ammo, "count"), "ammo count " + std::to_string(rounds) + " is more than the " +
                                              std::to_string(QuadSet::kMaxQuads) + " rounds an image slot can show");
    }
    const int32_t slot = read(ammo).integer("img");
    roundWidth = roundHeight = 1;  // a point, when the round's picture is unknown
    if (slots[&kImageSlots].count(slot)) {
        const packChecker::imageFile& picture = pack.decodeImage(imageBase(getElementText(slots[&kImageSlots][slot])));
        if (picture.problem.empty()) {
            roundWidth = static_cast<float>(picture.width);
            roundHeight = static_cast<float>(picture.height);
        }
    }
    bullets.clear();
    return true;
}

bool weaponWalk::checkBullet(TiXmlElement* bullet) {
    const ruledElement round = read(bullet);
    const int32_t id = round.integer("id");
    if (id < 0 || id >= rounds) {
        warning(bullet, "bullet id " + std::to_string(id) + " is not a round of the " + std::to_string(rounds) +
                            " (0 to " + std::to_string(rounds - 1) + "): the game reports \"Bullet quad not found!\"");
        return false;
    }
    remember(bullets, id, std::to_string(id), bullet, "id", "", true);
    const float x = static_cast<float>(round.integer("x"));
    const float y = static_cast<float>(round.integer("y"));
    if (offScreen(x, y, roundWidth, roundHeight, static_cast<float>(round.integer("rot")))) {
        warning(bullet, "bullet " + std::to_string(id) + " at (" + std::to_string(static_cast<long long>(x)) + ", " +
                            std::to_string(static_cast<long long>(y)) + ") is off the 568 x 320 screen");
    }
    return false;
}

bool weaponWalk::checkAnimation(TiXmlElement* element) {
    const ruledElement animation = read(element);
    const std::string name = animation.text("name");
    remember(animationNames, name, quoted(name), element, "name", ": lookups by name find the first", false);
    // Only the name matters to the roles; no background slot, no length.
    asset.addAnimation(new cAnimation(nullptr, 0, name));

    int32_t frames = 0;
    forEachChild(element, weaponRule("frame"), [&frames](TiXmlElement*) { ++frames; });
    const int32_t frameCount = animation.integer("frameCount");
    const TiXmlBase* countAt = attributeAt(element, "frameCount");
    if (frameCount > INT32_MAX / 1000 || frameCount < INT32_MIN / 1000) {
        error(countAt, "frameCount " + std::to_string(frameCount) + " is too large: the animation's length in "
                       "milliseconds does not fit the game's 32-bit number");
    } else if (frameCount == 0 && element->Attribute("frameCount") && !startsWithNumber(element->Attribute("frameCount"))) {
        error(countAt, "frameCount " + quoted(element->Attribute("frameCount")) + " is not a number: the game reads it as 0, "
                       "so the animation lasts no time and is never seen");
    } else if (frameCount <= 0) {
        // The game runs an animation for frameCount x 1000 / 30 ms, whatever frames it holds.
        error(countAt, "frameCount is " + std::to_string(frameCount) + (element->Attribute("frameCount") ? "" : " (missing)") +
                           ": the animation lasts no time and is never seen (a reload with it refills at once)");
    } else if (frames == 0) {
        error(element, "the animation has no <frame>: nothing of the weapon is drawn while it plays");
    } else if (frames > frameCount) {
        // Fewer frames than frameCount hold the last one, which is how a pose is held: no finding.
        const std::string counts = "frameCount is " + std::to_string(frameCount) + " but the animation has " +
                                   std::to_string(frames) + " <frame> elements: ";
        warning(countAt, counts + (frames == frameCount + 1
                                       ? "the last one shows only for the last 17 ms"
                                       : "those past the first " + std::to_string(frameCount + 1) +
                                             " are never shown, and their sounds, cartridges and particles all "
                                             "happen when the animation ends"));
    }
    namesSlot(element, "bg", "bg");

    // The animation sound sits on the frame whose number is its slot's offset.
    const int32_t sound = animation.integer("sound");
    const bool soundSlot = sound >= 0 && sound < kSoundSlots.count;
    animationSound = soundSlot ? sound : -1;
    soundOffset = soundSlot && soundOffsets.count(sound) ? soundOffsets[sound] : 0;
    if (namesSlot(element, "sound", "animation sound") &&
        (soundOffset < 0 || soundOffset >= frames)) {
        warning(attributeAt(element, "sound"), "the offset " + std::to_string(soundOffset) + " of sound " +
                                                   std::to_string(sound) + " is beyond the animation's last frame (" +
                                                   std::to_string(frames) +
                                                   " frames): the animation plays no sound of its own");
    }
    frameNumber = 0;
    return true;
}

bool weaponWalk::checkFrame(TiXmlElement* frame) {
    const int32_t number = frameNumber++;
    namesSlot(frame, "img", "frame img");
    const int32_t sound = read(frame).integer("sound");
    if (sound != -1 && animationSound >= 0 && number == soundOffset) {
        error(attributeAt(frame, "sound"), "frame " + std::to_string(number) + " carries the animation's sound (slot " +
                                               std::to_string(animationSound) + "), so the game reports the sounds as "
                                               "colliding and ignores this frame's sound");
    } else {
        namesSlot(frame, "sound", "frame sound");
    }
    const int32_t netSend = read(frame).integer("netSend");
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
    return true;
}

bool weaponWalk::checkSpawn(TiXmlElement* spawn) {
    const int32_t count = read(spawn).integer("n");
    if (count < 1) error(attributeAt(spawn, "n"), "spawn count " + std::to_string(count) + " is below 1");
    const int32_t id = read(spawn).integer("e");
    if (!emitterIds.count(id)) {
        error(attributeAt(spawn, "e"), "spawn names emitter id " + std::to_string(id) + ", which no <emitter> declares");
    }
    return false;
}

// Each setting as the reader reads it: the first of its name.
bool weaponWalk::checkCustom(TiXmlElement* custom) {
    if (!custom) return false;
    for (const elementRule* rule : format.children(weaponRule("custom"))) {
        TiXmlElement* setting = custom->FirstChildElement(rule->name);
        const std::string name = rule->name;
        if (!setting) continue;
        if (name == "firstShotIsCharge" || name == "windDownInterruptsTo") {
            checkLinkedAnimation(setting);
        } else if (!rule->texts.empty()) {
            checkSettingText(setting, *rule);
        }
    }
    checkForcedMode(custom);
    return false;
}

void weaponWalk::checkSettingText(TiXmlElement* setting, const elementRule& rule) {
    const std::string text = getElementText(setting);
    if (rule.textRuleFor(text) || rule.restates(text)) return;
    // Switching off what the root left off changes nothing either.
    if (std::string(rule.name) == "allowSoundOverlap" && text == "false" && !read(root).on("allowSoundOverlap")) return;
    std::string values;
    for (const textRule& value : rule.texts) {
        if (value.text) values += (values.empty() ? "" : ", ") + std::string(value.text);
    }
    warning(setting, "<" + std::string(rule.name) + "> " + quoted(text) + " matches none of the values the game reads (" +
                         values + "), so it changes nothing");
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

// The forced starting mode is taken as it is, offered or not (cAssetMgr::toggleAssetMode).
void weaponWalk::checkForcedMode(TiXmlElement* custom) {
    TiXmlElement* forced = custom->FirstChildElement("forceStartingMode");
    if (!forced || !read(forced).content()) return;
    const std::string mode = getElementText(forced);
    TiXmlElement* shotTypes = root->FirstChildElement("shotTypes");
    TiXmlElement* offered = shotTypes ? shotTypes->FirstChildElement(mode.c_str()) : nullptr;
    if (getElementText(offered) != "1") {
        warning(forced, "forceStartingMode " + quoted(mode) + " starts the weapon in a mode <shotTypes> does not enable");
    }
}

}  // namespace

namespace {

// Where the parser stops is often far from the mistake: an element left open is named with the line it opened on.
std::string unclosedHint(const std::string& text) {
    std::string name;
    int line = 1;
    if (!unclosedElement(text, name, line) || name.empty()) return std::string();
    return " (<" + name + "> opened on line " + std::to_string(line) + " is not closed)";
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
    if (looksUtf16(text)) {
        findings.add(shown, 1, 1, findingKind::error, utf16Message());
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
    const xmlProblem strict = strictProblem(text);
    if (document.Error()) {
        // Both parsers refuse it: the strict one says where more exactly.
        const bool open = document.ErrorId() == TiXmlBase::TIXML_ERROR_READING_END_TAG;
        if (!strict.message.empty()) {
            findings.add(shown, strict.line, strict.column, findingKind::error,
                         "the XML cannot be parsed: " + strict.message + (open ? unclosedHint(text) : ""));
        } else {
            findings.add(shown, document.ErrorRow(), document.ErrorCol(), findingKind::error,
                         std::string("the XML cannot be parsed: ") + document.ErrorDesc() + (open ? unclosedHint(text) : ""));
        }
        return;
    }
    if (TiXmlElement* root = document.FirstChildElement()) {
        // The game reads it; other XML tools would not.
        if (!strict.message.empty()) findings.add(shown, strict.line, strict.column, findingKind::error, lenientMessage(strict));
        weaponWalk walk(*this, shown);
        walk.run(root);
    } else if (internalSubset(text, line, column)) {
        findings.add(shown, line, column, findingKind::error, subsetMessage());
    } else {
        findings.add(shown, 1, 1, findingKind::error, "the file holds no element");
    }
    // Whatever the game's check rejects must show up here too, positioned or not.
    if (!passed && findings.errorsIn(shown) == 0) {
        findings.add(shown, 1, 1, findingKind::error,
                     verdict.empty() ? "the weapon check rejects this file" : withFullPath(verdict));
    }
}

}  // namespace QEL
