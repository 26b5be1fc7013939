#include "weapon/weaponFormat.h"

#include "render/QuadSet.h"
#include "weapon/cAsset.h"
#include "weapon/cAssetMgr.h"

namespace QEL {

const slotRule kImageSlots{"image slot", "an", kImageSlotCount, "image", "TOO MANY IMAGES!"};
const slotRule kSoundSlots{"sound slot", "a", kSoundSlotCount, "sound", "TOO MANY ANIMATIONS!"};

namespace {

constexpr bool kOnce = false;
constexpr bool kEach = true;
constexpr valueType kText = valueType::text;
constexpr valueType kInt = valueType::integer;
constexpr valueType kNumber = valueType::number;

// A <custom> setting whose text is compared with words; each word's value is what the reader sets.
elementRule setting(const char* name, const char* meaning, std::vector<textRule> texts,
                    std::vector<const char*> restating = {}, std::vector<attributeRule> attributes = {}) {
    return {name, "custom", kOnce, meaning, std::move(attributes), std::move(texts), std::move(restating)};
}

const std::vector<const char*> kTrueWords = {"true", "1"};
const std::vector<const char*> kFalseWords = {"false", "0"};
const std::vector<textRule> kSwitchOff = {{"false", 0}, {"0", 0}};

}  // namespace

const xmlSchema& weaponFormat() {
    static const xmlSchema format{{
        {"kablixWeapon", nullptr, kOnce, "the weapon; the order of its children does not matter", {
            {"name", kText, "", "the weapon's name; the check refuses a weapon without one"},
            {"allowInterrupt", valueType::isTrue, "", "`true`: a press cuts a playing shot short; the check "
                                                      "refuses a weapon without this attribute"},
            {"allowSoundOverlap", valueType::isTrue, "", "`true`: a frame sound does not stop the one before "
                                                         "(at most two play at once)"}}},
        {"custom", "kablixWeapon", kOnce, "per-weapon switches; each is read once, its text compared exactly; "
                                          "without it every setting keeps its default"},
        setting("forceStartingMode", "the mode at take-up; without it auto, else single, else burst",
                {{"burst", kFireModeBurst}, {"single", kFireModeSingle}}),
        setting("light", "`off`: no debug light; `controlled`: only `lit` frames light it; other or missing: "
                         "every shot too",
                {{"off", kLightOff}, {"controlled", kLightControlled}, {nullptr, kLightEveryShot}}),
        setting("fillColor", "the colour of the picture padding (alpha 0 unless `a` says otherwise); missing or "
                             "another text: white; an attribute left out: 0",
                {{"black", 0x000000}, {"skyBlue", 0x699CE6}}, {""},  // colours as 0xRRGGBB
                {{"r", kInt, "0", "without text: red, 0 to 255"}, {"g", kInt, "0", "green"},
                 {"b", kInt, "0", "blue"}, {"a", kInt, "0", "alpha"}}),
        setting("enableCartridgeDroppingSound", "no floor sound for this weapon's cartridges; missing or other: "
                                                "the floor sound plays", kSwitchOff, kTrueWords),
        setting("landscapeMode", "the weapon is held upright, as with `portraitMode` (the damage display "
                                 "changes only for `false`); missing or other: held sideways",
                kSwitchOff, kTrueWords),
        setting("portraitMode", "the weapon is held upright: the switch turns a quarter, and for `true` the "
                                "damage display changes layout; missing or other: held sideways",
                {{"true", 1}, {"1", 1}}, kFalseWords),
        setting("drawBackground", "hide the background, or draw it alpha-blended; other or missing: draw it "
                                  "plainly",
                {{"false", 0}, {"blendAlpha", static_cast<int32_t>(BlendMode::alpha)}}, {"true"}),  // 0: hidden
        setting("allowSoundOverlap", "as the root attribute (only switches it on)", {{"true", 1}}),
        setting("drawOrder", "particles under the background, between background and weapon, or in front; "
                             "missing: in front; other: a warning, and in front too",
                {{"particlesBack", kParticlesBack}, {"particlesOverBG", kParticlesOverBackground},
                 {"particlesFront", kParticlesFront}}),
        setting("firstShotIsCharge", "names an animation: `firstShot` is a charge, and letting go during it "
                                     "plays that animation and fires nothing; missing: `firstShot` is an "
                                     "ordinary shot", {}),
        setting("windDownInterruptsTo", "names an animation: a press during `windDown` jumps to it; missing: the "
                                        "press fires as usual", {}),
        setting("gravity", "pull on cartridges in pixels per ms squared, y down; missing: 0, 0.004; an "
                           "attribute left out: 0", {}, {},
                {{"x", kNumber, "0", "pixels per ms squared"}, {"y", kNumber, "0", "the same, y down"}}),
        setting("ejectGivesMomentum", "cartridges just drop; missing or other: they are thrown", kSwitchOff,
                kTrueWords),
        setting("ejectGivesRotation", "cartridges fly without spinning; missing or other: they spin", kSwitchOff,
                kTrueWords),
        {"images", "kablixWeapon", kOnce, "the pictures; the check refuses a weapon without it"},
        {"image", "images", kEach, "text: a picture file named with a three-letter extension, which is dropped "
                                   "(`gun.png` and `gun.tga` both mean `gun.png`)", {
            {"id", kInt, "-1", "the slot it loads into; a later image with the same id replaces it; "
                               "missing or outside 0 to 14: skipped", &kImageSlots}}},
        {"emitters", "kablixWeapon", kOnce, "particle sources for the frames' spawns; without it spawns start "
                                            "nothing"},
        {"emitter", "emitters", kEach, "one particle source; emitters are shared by name between the weapons of a run", {
            {"id", kInt, "-1", "what spawns name it by; of two with the same id, spawns get the first"},
            {"name", kText, "INVALID_EMITTER_FILE", "the particle picture, without extension; missing: the "
                                                    "check refuses the weapon"},
            {"blend", kInt, "1", "1 opaque, 2 alpha, 3 additive with fading colour; the first weapon naming the "
                                 "picture decides"}}},
        {"shotTypes", "kablixWeapon", kOnce, "the fire modes offered and the switch between them; without it "
                                             "none is offered: the weapon cannot fire", {
            {"switchPosX", kInt, "-100", "top-left corner of the 64 x 64 switch in screen pixels"},
            {"switchPosY", kInt, "-100", "the same, y down"}}},
        {"single", "shotTypes", kOnce, "`1`: single fire is offered; missing or other: not", {}, {{"1", 1}}, {"0"}},
        {"burst", "shotTypes", kOnce, "`1`: burst fire is offered; missing or other: not", {}, {{"1", 1}}, {"0"}},
        {"auto", "shotTypes", kOnce, "`1`: auto fire is offered; missing or other: not", {}, {{"1", 1}}, {"0"}},
        {"sounds", "kablixWeapon", kOnce, "the sounds; without it the weapon's own are silent"},
        {"sound", "sounds", kEach, "text: a sound file, `.ogg` added unless the text ends in `.wav` or `.oga`; its variants `-v1` to `-v3` join it", {
            {"id", kInt, "-1", "the slot it loads into; missing or outside 0 to 9: skipped", &kSoundSlots},
            {"offset", kInt, "0", "the frame on which an animation naming this slot plays it"}}},
        {"ejectCartridge", "kablixWeapon", kOnce, "the flying cartridges; without it none fly", {
            {"image", kInt, "-1", "the cartridge picture; missing: no cartridges", &kImageSlots},
            {"scale", kInt, "-1", "the cartridge's size in pixels; 1 or less: no cartridges"}}},
        {"ammo", "kablixWeapon", kOnce, "the rounds on screen; without it the weapon never runs dry", {
            {"count", kInt, "0", "rounds in the magazine; below 1: none shown, none counted"},
            {"img", kInt, "-1", "the picture of one round; missing: the rounds are neither shown nor counted; "
                                "15 or more: counted, not shown", &kImageSlots}}},
        {"bullet", "ammo", kEach, "where one round is drawn; round count - 1 goes first", {
            {"id", kInt, "-1", "the round, 0 to count - 1; missing or other: skipped, with a warning"},
            {"x", kInt, "0", "top-left corner in screen pixels"},
            {"y", kInt, "0", "top-left corner in screen pixels, y down"},
            {"rot", kInt, "0", "turn in degrees"}}},
        {"animations", "kablixWeapon", kOnce, "the animations; without it the weapon shows nothing and cannot "
                                              "fire"},
        {"animation", "animations", kEach, "one animation, played at 30 frames per second; its name gives its role", {
            {"name", kText, "", "the role, or a name the two links of `<custom>` use; missing: never played"},
            {"frameCount", kInt, "0", "the length: frameCount x 1000 / 30 ms, however many frames there are"},
            {"bg", kInt, "-1", "the background picture; -1: none", &kImageSlots},
            {"sound", kInt, "-1", "a sound played on the frame given by the slot's offset", &kSoundSlots}}},
        {"frame", "animation", kEach, "one picture of the animation with what happens when it is first shown", {
            {"x", kNumber, "0", "top-left corner of the 600 x 400 picture in screen pixels; (-16, -40) centres it"},
            {"y", kNumber, "0", "the same, y down"},
            {"rot", kNumber, "0", "turn in degrees about the picture's centre, counter-clockwise: positive lifts a "
                                   "right-pointing muzzle"},
            {"img", kInt, "-1", "the picture; -1: none", &kImageSlots},
            {"blend", kInt, "0", "1 additive, 2 multiplied; else opaque, or alpha for an RGBA picture"},
            {"netSend", kInt, "0", "above 0: the shot number sent to the other players, and the hit effect they "
                                   "play; keep it below 10000"},
            {"lit", valueType::nonZero, "0", "asks for the debug light"},
            {"sound", kInt, "-1", "started when the frame is shown; ignored, with an error line, on the frame that "
                                  "carries the animation's sound", &kSoundSlots},
            {"n", kInt, "-1", "the frame's number, only quoted in error lines"}}},
        {"eject", "frame", kOnce, "throws cartridges and counts their rounds, instead of the animation's start", {
            {"num", kInt, "0", "cartridges, and rounds counted"},
            {"x", kNumber, "0", "top-left corner of the cartridge in screen pixels"},
            {"y", kNumber, "0", "the same, y down"},
            {"rot", kNumber, "0", "the cartridge flies towards -rot - 90 degrees"}}},
        {"spawn", "frame", kEach, "starts particles on an emitter (at most 20 alive per emitter)", {
            {"n", kInt, "1", "particles; below 1 is an error"},
            {"e", kInt, "-1", "the emitter's id; an id no emitter has: no particles, and an error line"},
            {"x", kNumber, "0", "top-left corner of a particle in screen pixels"},
            {"y", kNumber, "0", "the same, y down"},
            {"ms", kInt, "100", "life in ms: opaque for a third, then fading"},
            {"sc", kNumber, "100", "size in pixels"},
            {"sa", kNumber, "0", "growth in pixels per ms"},
            {"rMn", kNumber, "0", "least spin"}, {"rMx", kNumber, "0", "most spin"},
            {"iRot", kNumber, "0", "start angle"},
            {"ang", kNumber, "0", "launch angle in degrees, 0 right, 90 down"},
            {"rg", kNumber, "0", "spread in degrees around the launch angle"},
            {"gX", kNumber, "0", "gravity in pixels per ms squared"}, {"gY", kNumber, "0", "the same, y down"},
            {"sp", kNumber, "0", "speed in pixels per ms"},
            {"fr", kNumber, "0", "friction; with friction any speed below 0.1 stops at once"}}},
    }};
    return format;
}

const elementRule& weaponRule(const char* name) { return weaponFormat().element(name); }

const std::vector<animationRoleName>& animationRoleNames() {
    static const std::vector<animationRoleName> names = {
        {"intro", false, animationRole::intro, "played once, on the first press after the weapon is taken up"},
        {"firstShot", false, animationRole::firstShot, "the first shot from rest in single or auto mode"},
        {"shot", true, animationRole::shot, "a shot; one is picked at random each time"},
        {"burst", true, animationRole::burst, "a burst (burst mode), picked at random"},
        {"lastShot", false, animationRole::lastShot, "the shot that empties the magazine"},
        {"windDown", false, animationRole::windDown, "after a shot when the trigger is released (or in single mode)"},
        {"reload", false, animationRole::reload, "plays on a reload request; the magazine is full when it ends"},
        {"emptyState", false, animationRole::emptyState, "idles while the magazine is empty"},
        {"idle", true, animationRole::idle, "idles at rest, picked at random"},
    };
    return names;
}

animationRole roleOf(const std::string& name) {
    for (const animationRoleName& entry : animationRoleNames()) {
        const std::string base = entry.name;
        // Numbered names carry exactly one decimal digit: shot10 and shot01 are ordinary animations.
        if (!entry.numbered ? name == base
                            : name.size() == base.size() + 1 && name.compare(0, base.size(), base) == 0 &&
                                  name.back() >= '0' && name.back() <= '9') {
            return entry.role;
        }
    }
    return animationRole::none;
}

}  // namespace QEL
