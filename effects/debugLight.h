// debugLight: a small red square in the top-left corner that flashes for a moment when the weapon
// shoots, shown only while switched on by its key. The asset manager owns it, requests it on shots
// and lit frames, advances it every frame and draws it last. It owns its QuadSet.
#pragma once

#include <cstdint>

namespace QEL {

class QuadSet;

class debugLight {
public:
    // How long the light stays on after it came on, in ms (it goes off at the first update past it).
    static constexpr uint32_t kOnMs = 10;

    debugLight();
    ~debugLight();
    debugLight(const debugLight&) = delete;
    debugLight& operator=(const debugLight&) = delete;

    // Flips `visible` and says so: "   Debug light on." / "   Debug light off.".
    void toggle();
    // A shot or a lit frame asks for the light.
    void request() { requested = true; }
    // Weapon put down: off, nothing requested, and the timing runs from now on.
    void reset();
    // Once per frame: the light comes on at the first update after a request and goes off at the
    // first update more than kOnMs after it came on. Nothing happens before the first reset().
    void update(uint32_t now);
    // Draws the square (opaque) while visible and on.
    void draw();
    // Whether update(now) leaves the square in another state than the last draw showed.
    bool pictureDue(uint32_t now) const;

    uint32_t start = 0;     // clock ms when the light last came on
    bool on = false;
    bool requested = false;
    uint32_t elapsed = 0;   // ms since it came on
    bool active = false;
    bool visible = false;
    bool shown = false;     // the last draw showed the square
    QuadSet* square;        // owned: one red 10 × 10 quad at pixel (10, 10)
};

}  // namespace QEL
