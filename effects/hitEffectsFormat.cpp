#include "effects/overlayEffects.h"

namespace QEL {

const xmlSchema& hitEffectsFormat() {
    constexpr valueType kText = valueType::text;
    constexpr valueType kInt = valueType::integer;
    constexpr valueType kNumber = valueType::number;
    static const xmlSchema format{{
        {"overlayHitEffects", nullptr, false, "the hit effects, read once at start-up"},
        {"emitters", "overlayHitEffects", false, "the particle sources the spurts name; without it no hit shows "
                                                 "particles"},
        {"emitter", "emitters", true, "one complete particle source (at most 20 particles alive)", {
            {"name", kText, "", "what spurts name it by; a warning when missing"},
            {"file", kText, "", "the particle picture, without extension; missing: the name"},
            {"blend", kText, "", "`add`: additive, the colour fading with the alpha; other: alpha-blended"},
            {"durationMS", kInt, "0", "particle life in ms; 0 warns"},
            {"rangeX", kInt, "0", "top-left corner of the area particles start in, screen pixels"},
            {"rangeY", kInt, "0", "the same, y down"},
            {"rangeW", kInt, "0", "width of that area"}, {"rangeH", kInt, "0", "height of that area"},
            {"scale", kNumber, "0", "particle size in pixels; 0 warns"},
            {"friction", kNumber, "0", "slowing per ms"},
            {"angle", kNumber, "0", "launch angle in degrees, 0 right, 90 down"},
            {"angleRange", kNumber, "0", "spread in degrees around it"},
            {"gravX", kNumber, "0", "gravity in pixels per ms squared"}, {"gravY", kNumber, "0", "the same, y down"},
            {"speed", kNumber, "0", "launch speed in pixels per ms"},
            {"rotSpeedMin", kNumber, "0", "least spin"}, {"rotSpeedMax", kNumber, "0", "most spin"},
            {"startAtRotZero", valueType::isTrue, "", "`true`: particles start unturned"}}},
        {"effects", "overlayHitEffects", false, "the effects; without it a hit plays nothing and deals no damage"},
        {"effect", "effects", true, "what a hit with shot number `id` plays: one of its spurts, at random", {
            {"id", kInt, "-1", "the shot number; below 0 the effect is skipped with a warning"},
            {"name", kText, "", "a name for people; a warning when missing"}}},
        {"spurt", "effect", true, "one way the effect plays", {
            {"spurtID", kInt, "0", "its number"},
            {"dMax", kInt, "0", "most damage dealt"}, {"dMin", kInt, "0", "least damage dealt"},
            {"duration", kInt, "100", "ms over which its emitters emit"}}},
        {"emitter", "spurt", true, "particles from an emitter of `<emitters>`, spread over the duration", {
            {"name", kText, "", "the emitter; a name no emitter has: no particles"},
            {"count", kInt, "1", "particles"},
            {"delay", kInt, "0", "ms before the first"}}},
        {"sound", "spurt", true, "the sound played; only the last counts; without it the spurt is silent", {
            {"file", kText, "", "a sound file, `.ogg` added unless the text ends in `.wav` or `.oga`"}}},
        {"command", "spurt", false, "instead of damage, a command to the victim's game; without it, or when that "
                                    "weapon cannot be loaded, the spurt plays as usual", {
            {"type", kInt, "0", "`1`: take up the weapon `cmd` (nothing happens if it is in hand)"},
            {"cmd", kText, "INVALID COMMAND", "the weapon"}}},
    }};
    return format;
}

}  // namespace QEL
