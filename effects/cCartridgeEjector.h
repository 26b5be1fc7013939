// cCartridgeEjector: spent cartridges thrown out by ejecting frames. A fixed ring of 20 cartridge
// sprites shares one image slot of the weapon; they fly under the weapon's gravity until they leave
// the screen, and when the flying ones drop to one or none the shells-on-the-floor sound plays.
// cAssetMgr owns one ejector for its whole life; each weapon load either sets it up (image slot and
// scale) or resets it. The ejector owns its cartridges; the image slot and the drop sound pool are
// borrowed. Nothing is allocated after set-up.
#pragma once

#include <cstdint>

namespace QEL {

class Quad;
class QuadSet;
class cSoundPool;

class cCartridge {
public:
    cCartridge(const float* gravityX, const float* gravityY, int32_t screenWidth, int32_t screenHeight);

    // Inactive, size 0, no quad, parked just off the bottom-right corner.
    void park();
    // Launch from (x, y) screen pixels within ±10 degrees of `angle`.
    void throwFrom(float x, float y, float angle, bool momentum, bool rotation);
    // One step of `dtMs`; true when the cartridge was active (and so moved).
    bool step(uint32_t dtMs);

    bool active = false;
    float size = 0.0f;  // sprite size in pixels; also scales the speed
    int32_t screenW, screenH;
    float x = 0.0f, y = 0.0f;  // screen pixels, y downwards
    float vx = 0.0f, vy = 0.0f;
    float rotation = 0.0f;  // degrees
    float spin = 0.0f;      // degrees per millisecond
    Quad* quad = nullptr;   // in the ejector's image slot; null until set up
    const float* gravX;     // the ejector's gravity, so every cartridge follows the current weapon
    const float* gravY;

private:
    void placeQuad();
};

class cCartridgeEjector {
public:
    static constexpr int32_t kCartridgeCount = 20;

    // `dropSound` is the "shellHitFloor" pool (borrowed; may be null for silence).
    explicit cCartridgeEjector(cSoundPool* dropSound);
    ~cCartridgeEjector();
    cCartridgeEjector(const cCartridgeEjector&) = delete;
    cCartridgeEjector& operator=(const cCartridgeEjector&) = delete;

    // No cartridges for the current weapon.
    void reset();
    // Takes over the image slot `slot` (its quads are replaced by 20 cartridge quads) at `scale` pixels.
    void setup(QuadSet* slot, int32_t scale);
    // Throws the cartridge at nextIndex (wrapping from 20 to 0) and advances; a throw may take over
    // a cartridge still in flight. Does nothing while no image is set.
    void throwCartridge(float x, float y, float angle, bool momentum, bool rotation);
    // Advances every cartridge to clock reading `now`; false at once (time untouched) without an image.
    // True while any cartridge was flying.
    bool update(uint32_t now);
    // Whether a cartridge is in the air (so the next update moves it); parked ones are off screen.
    bool inFlight() const;

    const cCartridge& cartridge(int32_t index) const { return *cartridges[index]; }

    float gravityX = 0.0f, gravityY = 0.0f;  // copied from the weapon at every load
    int32_t activeCount = 0;  // cartridges in flight at the previous update
    uint32_t lastTime = 0;
    int32_t nextIndex = 0;
    float size = 0.0f;
    bool dropSoundEnabled = true;
    cSoundPool* dropSound;  // borrowed
    QuadSet* image = nullptr;  // borrowed image slot; null = no cartridges for this weapon

private:
    cCartridge* cartridges[kCartridgeCount];  // owned
};

}  // namespace QEL
