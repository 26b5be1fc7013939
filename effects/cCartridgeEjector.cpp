#include "effects/cCartridgeEjector.h"

#include <cmath>

#include "effects/effectsRandom.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "sound/cSoundManager.h"

namespace QEL {

namespace {

// Parked cartridges wait this far beyond the bottom-right corner, in pixels.
constexpr float kParkOffset = 64.0f;
// A parked quad's size in pixels until its cartridge is first thrown.
constexpr float kParkedQuadSize = 5.0f;
// Bigger cartridges fly proportionally faster: pixels moved = speed × dt × this × size.
constexpr float kSpeedPerPixelOfSize = 0.015f;

}  // namespace

// --- cCartridge ---

cCartridge::cCartridge(const float* gravityX, const float* gravityY, int32_t screenWidth, int32_t screenHeight)
    : screenW(screenWidth), screenH(screenHeight), gravX(gravityX), gravY(gravityY) {
    park();
}

void cCartridge::park() {
    active = false;
    size = 0.0f;
    quad = nullptr;
    x = screenW + kParkOffset;
    y = screenH + kParkOffset;
}

void cCartridge::throwFrom(float startX, float startY, float angle, bool givesMomentum, bool givesRotation) {
    active = true;
    x = startX;
    y = startY;
    rotation = angle - 10.0f + effects::randomFraction() * 20.0f;
    if (quad) quad->angle = rotation;

    // Out of the ejection port, at right angles to the cartridge (y grows downwards).
    float direction = std::fmod(-rotation - 90.0f, 360.0f);
    if (direction < 0.0f) direction += 360.0f;
    spin = 0.0f;
    if (givesMomentum) {
        const float speed = 0.8f + effects::randomFraction() * 0.4f;
        const float radians = effects::degreesToRadians(direction);
        vx = std::cos(radians) * speed;
        vy = std::sin(radians) * speed;
        if (givesRotation) spin = 0.3f + effects::randomFraction() * 0.6f;
    } else {
        vx = vy = 0.0f;
        if (givesRotation) {
            const float base = effects::degreesToRadians(rotation);
            spin = effects::randomBetween(base - 0.15f, base + 0.15f);
        }
    }
}

void cCartridge::placeQuad() {
    if (!quad) return;
    const float w = static_cast<float>(screenW), h = static_cast<float>(screenH);
    quad->position = FloatCoords(x / w * 2.0f - 1.0f, (h - y) / h * 2.0f - 1.0f, size / w, size / h);
}

bool cCartridge::step(uint32_t dtMs) {
    if (!active) return false;
    const float dt = static_cast<float>(dtMs);
    vx += *gravX * dt;
    vy += *gravY * dt;
    x += vx * dt * kSpeedPerPixelOfSize * size;
    y += vy * dt * kSpeedPerPixelOfSize * size;
    const float margin = 2.0f * size;
    if (x < -margin || x > screenW + margin || y < -margin || y > screenH + margin) active = false;
    placeQuad();
    rotation += spin * dt;
    if (quad) quad->angle = rotation;
    return true;
}

// --- cCartridgeEjector ---

cCartridgeEjector::cCartridgeEjector(cSoundPool* dropSoundPool) : dropSound(dropSoundPool) {
    for (cCartridge*& cartridge : cartridges)
        cartridge = new cCartridge(&gravityX, &gravityY, kScreenWidth, kScreenHeight);
}

cCartridgeEjector::~cCartridgeEjector() {
    for (cCartridge* cartridge : cartridges) delete cartridge;
}

void cCartridgeEjector::reset() {
    activeCount = 0;
    nextIndex = 0;
    image = nullptr;
    for (cCartridge* cartridge : cartridges) cartridge->park();
}

void cCartridgeEjector::setup(QuadSet* slot, int32_t scale) {
    reset();
    image = slot;
    size = static_cast<float>(scale);
    if (!image) return;
    image->unlock();
    image->clearQuads();
    const float w = image->getScreenWidth(), h = image->getScreenHeight();
    for (cCartridge* cartridge : cartridges) {
        cartridge->quad = image->addQuad();
        cartridge->size = size;
        if (!cartridge->quad) continue;
        cartridge->quad->textureRect = FloatCoords(0, 0, 1, 1);  // the whole sprite
        cartridge->quad->position = FloatCoords(cartridge->x / w * 2.0f - 1.0f, (h - cartridge->y) / h * 2.0f - 1.0f,
                                                kParkedQuadSize / w, kParkedQuadSize / h);
    }
    image->rebuild();
}

void cCartridgeEjector::throwCartridge(float x, float y, float angle, bool momentum, bool rotation) {
    if (!image) return;
    if (nextIndex >= kCartridgeCount) nextIndex = 0;
    cartridges[nextIndex]->throwFrom(x, y, angle, momentum, rotation);
    ++nextIndex;
}

bool cCartridgeEjector::inFlight() const {
    if (!image) return false;
    for (const cCartridge* cartridge : cartridges) {
        if (cartridge->active) return true;
    }
    return false;
}

bool cCartridgeEjector::update(uint32_t now) {
    if (!image) return false;
    const uint32_t dt = now - lastTime;
    lastTime = now;

    image->unlock();
    int32_t flying = 0;
    for (cCartridge* cartridge : cartridges) {
        if (cartridge->step(dt)) ++flying;
    }
    image->rebuild();

    // One sound when the shells in the air drop to one or none, not one per shell.
    if (dropSoundEnabled && flying <= 1 && activeCount > flying && dropSound) dropSound->play2d();
    activeCount = flying;
    return flying > 0;
}

}  // namespace QEL
