// One loaded weapon: its name, fire-mode switches, custom settings and every animation with its
// frames. cAssetMgr creates one per load and cAssetSerializer fills it. The asset owns its
// animations (and they their frames); images, sounds and emitters are borrowed from the manager's
// slots and the particle layer and are never freed here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "effects/cEmitter.h"

namespace QEL {

class QuadSet;
class cAssetMgr;
class cSoundSlot;
class cAnimation;

// 0 single, 1 burst, 2 auto; the manager uses -1 while no mode is available.
typedef int32_t FireMode;
constexpr FireMode kFireModeSingle = 0;
constexpr FireMode kFireModeBurst = 1;
constexpr FireMode kFireModeAuto = 2;

// Animations advance at 30 frames per second.
constexpr int32_t kAnimationFps = 30;

// One picture of an animation with what happens when it is first shown.
class cAnimFrame {
public:
    float x = 0.0f, y = 0.0f;       // top-left corner of the weapon image, screen pixels
    float rot = 0.0f;               // degrees
    QuadSet* image = nullptr;       // image slot (the default slot for indices outside 0 to 14)
    cSoundSlot* sound = nullptr;    // sound started on this frame, or null
    int32_t blendMode = 1;          // 1 opaque, 2 alpha, 3 additive, 4 multiply
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
    cAnimation(QuadSet* background, int32_t frameCount, const std::string& name);
    ~cAnimation();
    cAnimation(const cAnimation&) = delete;
    cAnimation& operator=(const cAnimation&) = delete;

    std::string name;
    QuadSet* background;    // never null
    int32_t durationMs;     // frameCount × 1000 / 30
    bool isShot = false;    // shot0 … shot9 or firstShot
    bool isBurst = false;   // burst0 … burst9
    bool isIdle = false;    // idle0 … idle9 or emptyState
    bool isFirstShot = false;
    bool isLastShot = false;
    bool isWindDown = false;
    bool isEmptyState = false;
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

    // Takes ownership and sorts the animation into its role by exact name.
    void addAnimation(cAnimation* animation);
    // First animation of that exact name, or null.
    cAnimation* findAnimation(const std::string& name) const;
    // The animation for one trigger pull: the intro once per load, then a random burst (mode 1)
    // or shot (modes 0 and 2); null when there is none.
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
    int32_t drawOrder = 2;          // 0 particles under the background, 1 over it, 2 in front
    cAssetMgr* assetMgr;            // not owned
    int32_t forceStartingMode = -1; // -1 none, 0 single, 1 burst
    bool allowSoundOverlap = false;
    float gravityX = 0.0f;
    float gravityY = 0.004f;        // screen y grows downwards
    bool ejectGivesMomentum = true;
    bool ejectGivesRotation = true;
    bool landscapeMode = true;
    bool firstShotIsCharge = false;
    bool windDownInterrupts = false;
    int32_t backgroundBlend = 1;    // 1 normal, 2 alpha-blended
    int32_t light = 2;              // 0 off, 1 controlled, 2 on every shot
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
