#include "effects/debugLight.h"

#include "base/log.h"
#include "render/QuadSet.h"
#include "render/screen.h"

namespace QEL {

debugLight::debugLight() : square(new QuadSet(kScreenWidth, kScreenHeight)) {
    square->unlock();
    if (Quad* quad = square->addQuad()) {
        quad->setAllColors(Color(1, 0, 0, 1));
        quad->position = FloatCoords(pixelToDeviceX(10), pixelToDeviceY(10), widthFraction(10), heightFraction(10));
    }
    square->rebuild();  // never edited again, only drawn
}

debugLight::~debugLight() { delete square; }

void debugLight::toggle() {
    visible = !visible;
    logStatus(visible ? "Debug light on." : "Debug light off.");
}

void debugLight::reset() {
    start = 0;
    on = false;
    requested = false;
    active = true;
}

void debugLight::update(uint32_t now) {
    if (!active) return;
    if (on) {
        elapsed = now - start;
        if (elapsed > kOnMs) requested = false;
    }
    if (on != requested) {
        if (requested) start = now;
        on = requested;
    }
}

void debugLight::draw() {
    shown = visible && on;
    if (shown) square->draw(BlendMode::opaque);
}

bool debugLight::pictureDue(uint32_t now) const {
    bool willBeOn = on;
    if (active) {
        const bool stillRequested = requested && !(on && now - start > kOnMs);
        willBeOn = stillRequested;
    }
    return (visible && willBeOn) != shown;
}

}  // namespace QEL
