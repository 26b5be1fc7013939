#include "effects/cEmitter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/assetPath.h"
#include "base/log.h"
#include "effects/effectsRandom.h"
#include "effects/overlayEffects.h"
#include "render/QuadSet.h"

namespace QEL {

namespace {

const char* const kProcessRoot = "QEL::cEmitter::processRoot";

// A dead particle's quad is parked this far off screen, in pixels.
constexpr float kParkedPixel = 5000.0f;

// Friction pulls `value` towards 0 by dt × friction; values within `cutOff` of 0 stop at once.
float slowDown(float value, float cutOff, float dt, float friction) {
    if (value > 0.0f) return value < cutOff ? 0.0f : value - dt * friction;
    if (value < 0.0f) return value > -cutOff ? 0.0f : value + dt * friction;
    return value;
}

// Where a particle of a spawn area's axis starts: a random whole pixel of the area is its centre.
// An area of negative size is a single point.
float spawnOffset(int32_t start, int32_t size, float particleSize) {
    const int32_t span = std::max(size, 0) + 1;
    return static_cast<float>(start + std::rand() % span) - particleSize / 2.0f;
}

}  // namespace

// --- cParticle ---

void cParticle::start(const cParticleParams& p) {
    active = true;
    ageMs = 0;
    params = p;
    delayMs = static_cast<int32_t>(static_cast<uint32_t>(params.lifeMs) / 3u);
    params.rotation = std::fmod(params.rotation, 360.0f);
    if (params.rotation < 0.0f) params.rotation += 360.0f;
    if (!quad) return;
    quad->setAllColors(Color(1, 1, 1, 1));
    placeQuad();
}

void cParticle::applyFriction(float dt) {
    const float friction = params.friction;
    params.vx = slowDown(params.vx, 0.1f, dt, friction);
    params.vy = slowDown(params.vy, 0.1f, dt, friction);
    params.spin = slowDown(params.spin, friction, dt, friction);
}

void cParticle::placeQuad() {
    if (!quad) return;
    const float w = static_cast<float>(screenW), h = static_cast<float>(screenH);
    quad->position = FloatCoords(params.x / w * 2.0f - 1.0f, (h - params.y) / h * 2.0f - 1.0f,
                                 params.size / w, params.size / h);
    quad->angle = params.rotation;
}

bool cParticle::step(int32_t dtMs) {
    if (!active) return false;
    const float dt = static_cast<float>(dtMs);
    cParticleParams& p = params;
    if (p.friction != 0.0f) applyFriction(dt);

    p.vx += p.gravX * dt;
    p.vy += p.gravY * dt;
    p.x += p.vx * dt;
    p.y += p.vy * dt;

    if (p.sizeSpeed != 0.0f) {
        const float growth = p.sizeSpeed * dt;
        p.size += growth;
        p.x -= growth / 2.0f;  // grows about its centre
        p.y -= growth / 2.0f;
        if (p.size <= 0.0f) {
            p.size = 0.0f;
            p.sizeSpeed = 0.0f;
            active = false;
        }
    }
    const float margin = 2.0f * p.size;
    if (p.x < -margin || p.x > screenW + margin || p.y < -margin || p.y > screenH + margin) active = false;

    p.rotation += p.spin * dt;
    placeQuad();

    ageMs += dtMs;
    if (int64_t(ageMs) > int64_t(delayMs) + p.lifeMs) {
        if (quad) {
            const float w = static_cast<float>(screenW), h = static_cast<float>(screenH);
            quad->position.x = kParkedPixel / w * 2.0f - 1.0f;
            quad->position.y = (h - kParkedPixel) / h * 2.0f - 1.0f;
        }
        active = false;
    } else if (ageMs >= delayMs && quad) {
        const float alpha = p.lifeMs > 0 ? 1.0f - static_cast<float>(ageMs - delayMs) / p.lifeMs : 0.0f;
        quad->setAllColors(fadeColour ? Color(alpha, alpha, alpha, alpha) : Color(1, 1, 1, alpha));
    }
    return true;
}

// --- cEmitter ---

cEmitter::cEmitter(int32_t screenWidth, int32_t screenHeight) : quads(new QuadSet(screenWidth, screenHeight)) {
    quads->unlock();
    for (cParticle*& particle : particles) particle = new cParticle(screenWidth, screenHeight);
}

cEmitter::~cEmitter() {
    for (cParticle* particle : particles) delete particle;
    delete quads;
}

void cEmitter::setFadeColour(bool fade) {
    for (cParticle* particle : particles) particle->fadeColour = fade;
}

std::string cEmitter::picturePath() const { return picture.empty() ? assetPath(file, "png") : picture; }

void cEmitter::ensureTexture() {
    if (!quads->getHasTexture()) quads->loadTexture(picturePath());
}

void cEmitter::reloadPicture() { quads->loadTexture(picturePath()); }

bool cEmitter::processRoot(TiXmlElement* element) {
    const ruledElement emitter(element, hitEffectsFormat().element("emitter", "emitters"));
    name = emitter.text("name");
    file = name;
    if (name.empty()) logWarning(kProcessRoot, "WARNING: name not specified in <emitter> element.\n");
    const std::string fileAttribute = emitter.text("file");
    if (!fileAttribute.empty()) file = fileAttribute;

    const bool additive = emitter.text("blend") == "add";
    blend = additive ? kBlendAdditiveFade : BlendMode::alpha;
    setFadeColour(additive);

    durationMs = emitter.integer("durationMS");
    if (durationMs == 0) logWarning(kProcessRoot, "WARNING: durationMS is 0 or not specified in <emitter> element.\n");
    rangeX = emitter.integer("rangeX");
    rangeY = emitter.integer("rangeY");
    rangeW = emitter.integer("rangeW");
    rangeH = emitter.integer("rangeH");
    scale = emitter.number("scale");
    if (scale == 0.0f) logWarning(kProcessRoot, "WARNING: scale is 0 or not specified in <emitter> element.\n");
    friction = emitter.number("friction");
    angle = emitter.number("angle");
    angleRange = emitter.number("angleRange");
    gravX = emitter.number("gravX");
    gravY = emitter.number("gravY");
    speed = emitter.number("speed");
    rotSpeedMin = emitter.number("rotSpeedMin");
    rotSpeedMax = emitter.number("rotSpeedMax");
    startAtRotZero = emitter.on("startAtRotZero");
    return true;
}

void cEmitter::setup(const std::string& emitterName, const std::string& imageFile, BlendMode blendMode,
                     const std::string& picturePath) {
    name = emitterName;
    file = imageFile;
    picture = picturePath;
    blend = blendMode;
    if (blend == kBlendAdditiveFade) setFadeColour(true);
    ensureTexture();
}

void cEmitter::emit(int32_t count) {
    ensureTexture();
    for (int32_t i = 0; i < count; ++i) {
        params.size = scale;
        params.sizeSpeed = 0.0f;
        params.gravX = gravX;
        params.gravY = gravY;
        params.friction = friction;
        params.lifeMs = durationMs;
        params.x = spawnOffset(rangeX, rangeW, scale);
        params.y = spawnOffset(rangeY, rangeH, scale);
        params.spin = effects::randomBetween(rotSpeedMin, rotSpeedMax);
        params.rotation = startAtRotZero ? 0.0f : effects::randomBetween(0.0f, 360.0f);
        const float launch = effects::degreesToRadians(angle + effects::randomBetween(-angleRange / 2, angleRange / 2));
        params.vx = std::cos(launch) * speed;
        params.vy = std::sin(launch) * speed;
        spawn(params);
    }
}

bool cEmitter::spawn(const cParticleParams& p) {
    anyActive = true;
    if (nextIndex >= kParticleCount) nextIndex = 0;
    cParticle& particle = *particles[nextIndex];
    if (!particle.quad) {
        particle.quad = quads->addQuad();
        if (particle.quad) particle.quad->textureRect = FloatCoords(0, 0, 1, 1);  // the whole texture
    }
    particle.start(p);
    ++nextIndex;
    return true;
}

void cEmitter::emitFromRecord(const cSpawnRecord& record) {
    if (!record.emitter) return;
    cParticleParams p;
    p.size = record.sc;
    p.sizeSpeed = record.sa;
    p.x = record.x;
    p.y = record.y;
    p.gravX = record.gX;
    p.gravY = record.gY;
    p.rotation = record.iRot;
    p.friction = record.fr;
    p.lifeMs = record.ms;
    for (int32_t i = 0; i < record.count; ++i) {
        const float launch = effects::degreesToRadians(record.ang + effects::randomBetween(-record.rg / 2, record.rg / 2));
        p.vx = std::cos(launch) * record.sp;
        p.vy = std::sin(launch) * record.sp;
        p.spin = effects::randomBetween(record.rMn, record.rMx);
        record.emitter->spawn(p);
    }
}

bool cEmitter::update(int32_t dtMs) {
    if (!anyActive) return false;
    anyActive = false;
    for (cParticle* particle : particles) {
        if (particle->step(dtMs)) anyActive = true;
    }
    return anyActive;
}

void cEmitter::draw() {
    if (!anyActive) return;
    quads->rebuild();
    quads->draw(blend);
    quads->unlock();
}

}  // namespace QEL
