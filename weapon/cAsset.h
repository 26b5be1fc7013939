// One loaded weapon: its name, fire-mode switches, custom settings and every animation with its
// frames. cAssetMgr creates one per load and cAssetSerializer fills it. The asset owns its
// animations (and they their frames); images, sounds and emitters are borrowed from the manager's
// slots and the particle layer and are never freed here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "effects/cEmitter.h"
#include "render/QuadSet.h"
#include "stats/ScoreEvent.h"
#include "weapon/weaponFormat.h"

namespace QEL {

class cAssetMgr;
class cSoundSlot;
class cAnimation;

// When the debug light is asked for: never, by lit frames only, or by every shot as well.
enum LightMode : int32_t { kLightOff = 0, kLightControlled = 1, kLightEveryShot = 2 };

// Where the particle layer is drawn: under the background, between it and the weapon, in front.
enum ParticleOrder : int32_t { kParticlesBack = 0, kParticlesOverBackground = 1, kParticlesFront = 2 };

// Whether input may cut an animation short: never, only when the weapon allows it (which counts an
// interrupted shot), or always.
enum class interruptRule { never, whenAllowed, always };

// Animations advance at 30 frames per second.
constexpr int32_t kAnimationFps = 30;

// One picture of an animation with what happens when it is first shown.
class cAnimFrame {
public:
    float x = 0.0f, y = 0.0f;       // top-left corner of the weapon image, screen pixels
    float rot = 0.0f;               // degrees
    QuadSet* image = nullptr;       // image slot (the default slot for indices outside 0 to 14)
    cSoundSlot* sound = nullptr;    // sound started on this frame, or null
    BlendMode blendMode = BlendMode::opaque;
    int32_t netSend = 0;            // above 0: shot number handed to the peers when shown
    bool lit = false;               // the frame asks for the light
    cAnimation* animation = nullptr;
    bool eject = false;
    int16_t ejectNum = 0;           // cartridges (and rounds) per ejecting frame
    float ejectX = 0.0f, ejectY = 0.0f, ejectRot = 0.0f;
    std::vector<cSpawnRecord> spawns;
};

class cAnimation {
public:
    // Places the background slot's first quad over the whole screen and rebuilds the slot.
    // The role and the interrupt rule follow from the name.
    cAnimation(QuadSet* background, int32_t frameCount, const std::string& name);
    ~cAnimation();
    cAnimation(const cAnimation&) = delete;
    cAnimation& operator=(const cAnimation&) = delete;

    std::string name;
    QuadSet* background;    // never null
    int32_t frameCount;     // as the file gives it; the <frame> elements may be more or fewer
    int32_t durationMs;     // frameCount × 1000 / 30
    animationRole role;
    interruptRule interrupt;
    // A shot of single or auto fire: shot0 … shot9 or firstShot.
    bool isShot() const { return role == animationRole::shot || role == animationRole::firstShot; }
    // Played at rest: idle0 … idle9 or emptyState.
    bool isIdle() const { return role == animationRole::idle || role == animationRole::emptyState; }
    // Its rounds are shot events: a shot, a burst or the last shot.
    bool countsShots() const { return isShot() || role == animationRole::burst || role == animationRole::lastShot; }
    cAnimation* linked = nullptr;  // firstShotIsCharge / windDownInterruptsTo target
    bool hasEject = false;
    std::vector<cAnimFrame*> frames;  // owned; frame number = index
};

class cAsset {
public:
    explicit cAsset(cAssetMgr* assetMgr);
    ~cAsset();
    cAsset(const cAsset&) = delete;
    cAsset& operator=(const cAsset&) = delete;

    // Takes ownership and sorts the animation by its role.
    void addAnimation(cAnimation* animation);
    // First animation of that exact name, or null.
    cAnimation* findAnimation(const std::string& name) const;
    // First animation of `role` (for the roles that name one animation), or null.
    cAnimation* withRole(animationRole role) const;
    // The animation for one trigger pull: the intro once per load, then a random burst (burst
    // mode) or shot (single and auto); null when there is none.
    cAnimation* getAnimation(FireMode mode);
    // A random idle animation (recording an "idled" event), or null without idles.
    cAnimation* getIdleAnimation();

    std::string name;
    bool allowInterrupt = false;
    bool singleEnabled = false;
    bool burstEnabled = false;
    bool autoEnabled = false;
    int32_t switchPosX = -100;
    int32_t switchPosY = -100;
    ParticleOrder drawOrder = kParticlesFront;
    cAssetMgr* assetMgr;            // not owned
    FireMode forceStartingMode = kNoFireMode;  // single or burst, when forced
    bool allowSoundOverlap = false;
    float gravityX = 0.0f;
    float gravityY = 0.004f;        // screen y grows downwards
    bool ejectGivesMomentum = true;
    bool ejectGivesRotation = true;
    bool landscapeMode = true;
    bool firstShotIsCharge = false;
    bool windDownInterrupts = false;
    BlendMode backgroundBlend = BlendMode::opaque;  // or alpha-blended
    LightMode light = kLightEveryShot;
    bool hasIntro = false;          // an intro exists and has not been handed out yet
    bool hasIdle = false;
    bool drawBackground = true;
    QuadSet* ammoImage = nullptr;   // the slot showing the rounds left, or null

    std::vector<cAnimation*> animations;       // owned, file order
    std::vector<cAnimation*> burstAnimations;  // borrowed from animations
    std::vector<cAnimation*> shotAnimations;
    std::vector<cAnimation*> idleAnimations;
};

}  // namespace QEL
