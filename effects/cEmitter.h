// cEmitter: a fixed ring of 20 particles that share one image, simulated in screen pixels
// (launch, gravity, friction, spin, growth, fade-out). Overlay emitters are read in full from an
// <emitter> element; weapon emitters only name their image and take their motion from each frame's
// spawn records. The emitter owns its particles and its QuadSet; a cOverlayFXMgr owns the emitter.
// Nothing is allocated while simulating: the particles exist from construction and each particle's
// quad is made on its first spawn and reused after that.
#pragma once

#include <cstdint>
#include <string>

#include "render/QuadSet.h"
#include "xml/XMLSerializer.h"

namespace QEL {

class Quad;
class QuadSet;
class cEmitter;

// One particle spawn started when a frame is shown; copied by value.
struct cSpawnRecord {
    cEmitter* emitter = nullptr;  // may be null: such a record spawns nothing
    int32_t count = 1;            // particles per trigger
    int32_t ms = 100;             // particle lifetime
    float x = 0.0f, y = 0.0f;     // spawn point, screen pixels
    float sc = 100.0f;            // start scale, per cent
    float sa = 0.0f;              // growth per millisecond
    float rMn = 0.0f, rMx = 0.0f; // spin speed range
    float iRot = 0.0f;            // initial rotation
    float ang = 0.0f;             // mean launch angle, degrees
    float rg = 0.0f;              // width of the launch-angle range, degrees, centred on ang
    float gX = 0.0f, gY = 0.0f;   // gravity
    float sp = 0.0f;              // launch speed
    float fr = 0.0f;              // friction
};

// The launch parameters of one particle. Positions and sizes are screen pixels (y downwards),
// speeds pixels per millisecond, gravity pixels per millisecond squared, angles degrees.
struct cParticleParams {
    float size = 100.0f;
    float sizeSpeed = 0.0f;
    float x = 0.0f, y = 0.0f;  // top-left corner
    float vx = 0.0f, vy = 0.0f;
    float gravX = 0.0f, gravY = 0.0f;
    float rotation = 0.0f;
    float spin = 0.0f;  // degrees per millisecond
    float friction = 0.0f;
    int32_t lifeMs = 0;
};

class cParticle {
public:
    cParticle(int32_t screenWidth, int32_t screenHeight) : screenW(screenWidth), screenH(screenHeight) {}

    // Starts the particle from `p`: full opacity for a third of its life, then a linear fade over lifeMs.
    void start(const cParticleParams& p);
    // One simulation step of `dtMs`; false (and nothing moves) when the particle is not active.
    bool step(int32_t dtMs);

    bool fadeColour = false;  // fade the colour together with the alpha (additive blending)
    bool active = false;
    int32_t screenW, screenH;  // outside this area (by twice the size) the particle dies
    int32_t ageMs = 0;
    int32_t delayMs = 0;       // time at full opacity
    cParticleParams params;
    Quad* quad = nullptr;      // in the emitter's QuadSet; null until the first spawn

private:
    void applyFriction(float dt);
    void placeQuad();
};

class cEmitter : public XMLSerializer {
public:
    static constexpr int32_t kParticleCount = 20;
    // The blend that makes particles additive and fades their colour with the alpha.
    static constexpr BlendMode kBlendAdditiveFade = BlendMode::additive;

    cEmitter(int32_t screenWidth, int32_t screenHeight);
    ~cEmitter() override;
    cEmitter(const cEmitter&) = delete;
    cEmitter& operator=(const cEmitter&) = delete;

    // Reads a complete emitter from an <emitter> element (warnings for a missing name, duration or
    // scale; reading goes on after each). Always true.
    bool processRoot(TiXmlElement* emitter) override;
    // A weapon emitter: only the name, the image (file + ".png" in the assets folder, or the
    // picture named by `picture`, a pack's file) and the blend.
    void setup(const std::string& emitterName, const std::string& imageFile, BlendMode blendMode,
               const std::string& picture = std::string());
    std::string getName() const { return name; }
    // The image file, "../assets/" + file + ".png", or the picture setup named.
    std::string picturePath() const;
    // Reads the image file again (after it changed on disk); a file that cannot be read keeps
    // the picture shown so far.
    void reloadPicture();

    // Launches `count` particles from the emitter's own parameters (overlay hit effects).
    void emit(int32_t count);
    // Starts one particle in the next ring position; the 21st spawn replaces the oldest particle.
    bool spawn(const cParticleParams& p);
    // Fires one spawn record of a weapon frame into the record's own emitter; a record without an
    // emitter spawns nothing. Call as cEmitter::emitFromRecord(record).
    static void emitFromRecord(const cSpawnRecord& record);

    // Advances every active particle by `dtMs`; false at once when nothing was alive last time.
    // Keep updating and drawing the emitter until an update returns false.
    bool update(int32_t dtMs);
    // Rebuilds, draws (with `blend`) and unlocks the particles' set, only while anyActive.
    void draw();

    const cParticle& particle(int32_t index) const { return *particles[index]; }
    QuadSet* getQuads() const { return quads; }

    bool anyActive = false;  // a particle was alive at the last update, or was spawned since
    int32_t rangeX = 0, rangeY = 0;  // top-left corner of the spawn area, pixels
    int32_t rangeW = 0, rangeH = 0;  // size of the spawn area; a negative size counts as 0
    std::string name;
    std::string file;  // base name of the particle image (".png")
    std::string picture;  // a weapon emitter's picture in a pack; empty for the assets folder
    float scale = 0.0f;
    float gravX = 0.0f, gravY = 0.0f;
    float speed = 0.0f;
    float friction = 0.0f;
    float angle = 0.0f, angleRange = 0.0f;  // degrees; the range is centred on angle
    float rotSpeedMin = 0.0f, rotSpeedMax = 0.0f;
    int32_t durationMs = 0;
    bool startAtRotZero = false;
    BlendMode blend = BlendMode::alpha;

private:
    void ensureTexture();
    void setFadeColour(bool fade);

    cParticleParams params;  // scratch template that emit fills
    int32_t nextIndex = 0;
    cParticle* particles[kParticleCount];  // owned
    QuadSet* quads;                        // owned
};

}  // namespace QEL
