// weaponFiring: the firing state machine (weaponFiring.h).
#include "weapon/weaponFiring.h"

#include <cmath>

#include "base/appTime.h"
#include "base/log.h"
#include "effects/debugLight.h"
#include "effects/teamDamage.h"
#include "render/QuadSet.h"
#include "sound/cSoundManager.h"
#include "weapon/cAsset.h"
#include "weapon/weaponEvents.h"

namespace QEL {

namespace {

// The log lines keep the reporting names they have always had: logs are read byte for byte.
const char* const kPressFn = "QEL::cAssetMgr::injectInputDown";
const char* const kTurnFn = "QEL::cAssetMgr::update";

cAnimFrame* firstFrame(const cAnimation* animation) {
    return animation && !animation->frames.empty() ? animation->frames.front() : nullptr;
}

cAnimFrame* lastFrame(const cAnimation* animation) {
    return animation && !animation->frames.empty() ? animation->frames.back() : nullptr;
}

const char* modeLabel(FireMode mode) {
    return mode == kFireModeAuto     ? "auto fire"
           : mode == kFireModeBurst  ? "burst fire"
           : mode == kFireModeSingle ? "single fire"
                                     : "invalid fire mode";
}

}  // namespace

weaponFiring::weaponFiring(const parts& reached) : reached(reached) {}

void weaponFiring::recordEvent(int32_t type, int32_t data1, int32_t data2) {
    reached.events.record(type, data1, data2);
}

// --- The weapon ---

void weaponFiring::putDown() {
    asset = nullptr;
    mode = kNoFireMode;
    currentAnimation = nullptr;
    currentFrame = nullptr;
    restProblemReported = false;
    magazineSize = 0;
    roundsLeft = -1;
}

void weaponFiring::setMagazine(int32_t rounds) {
    magazineSize = rounds;
    roundsLeft = rounds - 1;
}

FireMode weaponFiring::nextMode(FireMode keepMode) {
    if (reached.damage.dead()) return mode;
    if (!asset) return kNoFireMode;
    if (mode == kNoFireMode) {
        mode = startMode(keepMode);
    } else if (mode == kFireModeAuto || mode == kFireModeBurst || mode == kFireModeSingle) {
        if (reached.emptyClick) reached.emptyClick->play2d();
        mode = modeAfter(mode);
    }
    logStatus(modeLabel(mode));
    reached.output.showMode(mode);
    reached.output.changed();
    recordEvent(eventSwitchedMode, mode, -1);
    return mode;
}

FireMode weaponFiring::startMode(FireMode keepMode) const {
    if (offersMode(keepMode)) return keepMode;
    if (asset->forceStartingMode != kNoFireMode) return asset->forceStartingMode;
    if (asset->autoEnabled) return kFireModeAuto;
    if (asset->singleEnabled) return kFireModeSingle;
    if (asset->burstEnabled) return kFireModeBurst;
    return kNoFireMode;
}

// The modes cycle auto → burst → single, skipping what the weapon does not offer.
FireMode weaponFiring::modeAfter(FireMode current) const {
    const bool single = asset->singleEnabled, burst = asset->burstEnabled, automatic = asset->autoEnabled;
    switch (current) {
        case kFireModeAuto:
            return burst ? kFireModeBurst : single ? kFireModeSingle : kFireModeAuto;
        case kFireModeBurst:
            return single ? kFireModeSingle : automatic ? kFireModeAuto : kFireModeBurst;
        case kFireModeSingle:
            return automatic ? kFireModeAuto : burst ? kFireModeBurst : kFireModeSingle;
        default:
            return current;
    }
}

bool weaponFiring::offersMode(FireMode wanted) const {
    return (wanted == kFireModeSingle && asset->singleEnabled) || (wanted == kFireModeBurst && asset->burstEnabled) ||
           (wanted == kFireModeAuto && asset->autoEnabled);
}

// --- Inputs ---

void weaponFiring::setAnimation(cAnimation* animation) {
    currentAnimation = animation;
    currentFrame = nullptr;
    animationStart = appTimeMs();
}

bool weaponFiring::canInterrupt() {
    if (!asset) return false;
    if (!currentAnimation) return true;
    if (currentAnimation->interrupt == interruptRule::always) return true;
    if (asset->allowInterrupt && currentAnimation->interrupt == interruptRule::whenAllowed) {
        recordEvent(eventInterruptedShot, mode, -1);
        return true;
    }
    return false;
}

void weaponFiring::triggerDown() {
    if (reached.damage.dead()) {
        reached.damage.digPress();
        return;
    }
    inputHeld = true;
    if (!asset) {
        logWarning(kPressFn, "cAssetMgr Received input without any assets loaded!");
        return;
    }
    if (!canInterrupt() || reached.damage.shieldUp()) return;
    if (mode == kNoFireMode) {
        logWarning(kPressFn, "cAssetMgr received input during invalid asset state!");
        return;
    }
    if (pressStartsIntro() || pressFindsEmpty()) return;
    if (mode == kFireModeBurst) {
        pressStartsShot(0);  // a burst counts its rounds as its frames eject them
        return;
    }
    if (mode != kFireModeSingle && mode != kFireModeAuto) return;
    if (pressStartsFirst()) return;
    pressStartsShot(1);
}

bool weaponFiring::pressStartsIntro() {
    if (!asset->hasIntro) return false;
    if (asset->withRole(animationRole::intro)) {
        startIntroAtRest();
        return true;
    }
    logWarning(kPressFn, "cAssetMgr was told to play intro... BUT NO INTRO FOUND!");
    asset->hasIntro = false;  // the press goes on as an ordinary shot
    return false;
}

bool weaponFiring::pressFindsEmpty() {
    if (!isEmpty()) return false;
    if (reached.emptyClick) reached.emptyClick->play2d();
    recordEvent(eventEmptyShot, mode, -1);
    return true;
}

// Single or automatic fire: a wind-down cut short, the last round, or the first shot from rest.
bool weaponFiring::pressStartsFirst() {
    if (currentAnimation && currentAnimation->role == animationRole::windDown && asset->windDownInterrupts) {
        setAnimation(currentAnimation->linked);
        return true;
    }
    if (roundsLeft == 0) {
        // The last round; without a lastShot animation the weapon continues as at rest.
        setAnimation(asset->withRole(animationRole::lastShot));
        if (currentAnimation) {
            if (!currentAnimation->hasEject) recordShot(1);
            return true;
        }
    }
    if (!currentAnimation || currentAnimation->isIdle()) {
        setAnimation(asset->withRole(animationRole::firstShot));
        if (currentAnimation) {
            // A charge fires nothing yet: its round counts when the real shot follows it.
            if (!currentAnimation->hasEject && !asset->firstShotIsCharge) recordShot(1);
            return true;
        }
    }
    return false;
}

void weaponFiring::pressStartsShot(int32_t rounds) {
    cAnimation* next = asset->getAnimation(mode);
    if (!next) {
        logError(kPressFn, "No animations found for the current firing mode! Crashing...");
        // Nothing to play: the weapon stays at rest and takes the next press.
        setAnimation(nullptr);
        return;
    }
    // A fresh start, so that re-firing the same animation still shows its first frame anew.
    setAnimation(next);
    if (!next->hasEject) recordShot(rounds);
}

// Its first frame has been on screen (and has fired its side effects) since the weapon came to
// rest, so it is not shown anew.
void weaponFiring::startIntroAtRest() {
    cAnimFrame* shown = currentFrame;
    cAnimation* intro = asset->getAnimation(mode);  // hands the intro out, once
    setAnimation(intro);
    if (shown && shown == firstFrame(intro)) currentFrame = shown;
    if (intro && !intro->hasEject) recordShot(0);
}

void weaponFiring::triggerUp() {
    if (reached.damage.dead()) {
        reached.damage.armDig();
        return;
    }
    inputHeld = false;
    releaseCharge();
}

void weaponFiring::releaseCharge() {
    if (asset && asset->firstShotIsCharge && currentAnimation && currentAnimation->role == animationRole::firstShot) {
        setAnimation(currentAnimation->linked);
    }
}

bool weaponFiring::reload() {
    if (reached.damage.dead() || !canInterrupt()) return false;
    cAnimation* reloading = asset->withRole(animationRole::reload);
    if (!reloading) return false;
    setAnimation(reloading);
    return true;
}

void weaponFiring::tap() {
    if (isEmpty()) {
        reload();
        return;
    }
    triggerDown();
    triggerUp();
}

bool weaponFiring::shield(bool pressed) {
    if (reached.damage.dead()) {
        if (pressed) {
            triggerDown();
        } else {
            reached.damage.armDig();
        }
        return false;
    }
    if (reached.damage.teamMode()) reached.damage.setDodge(pressed);
    if (!reached.damage.shieldUp()) return false;
    // Raising the shield lets go of the trigger.
    inputHeld = false;
    releaseCharge();
    return true;
}

// --- The magazine ---

void weaponFiring::recordShot(int32_t rounds) {
    if (!asset) return;
    if (asset->light == kLightEveryShot) reached.light.request();
    // A counted magazine gives no more than it holds: a burst ejecting past its end fires blanks.
    const int32_t wanted = rounds;
    if (magazineSize != 0 && rounds > roundsLeft + 1) rounds = roundsLeft + 1;
    const bool blank = wanted > 0 && rounds == 0;
    if (!blank && shotStatsEnabled && currentAnimation && currentAnimation->countsShots()) {
        recordEvent(eventShot, mode, rounds);
    }
    if (magazineSize == 0 || roundsLeft < 0) return;
    QuadSet* ammo = asset->ammoImage;
    if (ammo) ammo->unlock();
    for (int32_t i = 0; i < rounds && roundsLeft >= 0; ++i) {
        // The round's quad turns invisible.
        if (ammo) {
            if (Quad* quad = ammo->getQuad(static_cast<uint32_t>(roundsLeft))) {
                quad->setAllColors(Color(1.0f, 1.0f, 1.0f, 0.0f));
            }
        }
        --roundsLeft;
    }
    if (ammo) ammo->rebuild();
    reached.output.changed();
}

// A round fired at the start of `next` counts against `next`, not against the animation that ran
// out (which is still the current one while its successor is chosen).
void weaponFiring::recordShotFor(cAnimation* next, int32_t rounds) {
    cAnimation* ranOut = currentAnimation;
    currentAnimation = next;
    recordShot(rounds);
    currentAnimation = ranOut;
}

void weaponFiring::refillMagazine() {
    roundsLeft = magazineSize - 1;
    if (QuadSet* ammo = asset->ammoImage) {
        ammo->unlock();
        for (int32_t i = 0; i < magazineSize; ++i) {
            if (Quad* quad = ammo->getQuad(static_cast<uint32_t>(i))) quad->setAllColors(Color(1.0f, 1.0f, 1.0f, 1.0f));
        }
        ammo->rebuild();
    }
    reached.output.changed();
}

// --- What follows ---

cAnimation* weaponFiring::nextAnimation() {
    cAnimation* ranOut = currentAnimation;
    if (!ranOut || ranOut->isIdle() || ranOut->role == animationRole::windDown) return restAnimation();
    if (asset->firstShotIsCharge && ranOut->role == animationRole::firstShot) {
        // The charge is complete: the real shot fires the round held back at the press.
        cAnimation* shot = asset->getAnimation(mode);
        if (shot && !shot->hasEject) recordShotFor(shot, mode == kFireModeBurst ? 0 : 1);
        return shot;
    }
    if (ranOut->isShot() && (mode == kFireModeSingle || !inputHeld)) return asset->withRole(animationRole::windDown);
    if (mode == kFireModeAuto && inputHeld) return nextWhileHeld();
    return nullptr;
}

// Automatic fire with the trigger held: the last shot, the wind-down when empty, or another shot.
cAnimation* weaponFiring::nextWhileHeld() {
    if (roundsLeft == 0) {
        if (cAnimation* last = asset->withRole(animationRole::lastShot)) {
            if (magazineSize != 0 && !last->hasEject) recordShotFor(last, 1);
            return last;
        }
    }
    if (isEmpty()) return asset->withRole(animationRole::windDown);
    cAnimation* shot = asset->getAnimation(kFireModeAuto);
    if (shot && !shot->hasEject) recordShotFor(shot, 1);
    return shot;
}

cAnimation* weaponFiring::restAnimation() {
    if (isEmpty()) {
        if (cAnimation* empty = asset->withRole(animationRole::emptyState)) return empty;
    }
    return asset->getIdleAnimation();
}

const cAnimation* weaponFiring::stillAnimation() const {
    if (const cAnimation* windDown = asset->withRole(animationRole::windDown)) return windDown;
    return asset->findAnimation(mode == kFireModeBurst ? "burst1" : "shot1");
}

// --- Turns ---

// Frame number trunc(t) plus one when the fraction of t is above one half, t = elapsed × 30 / 1000;
// a number past the end gives the last frame.
cAnimFrame* weaponFiring::frameDue(const cAnimation* animation, uint32_t now) const {
    if (animation->frames.empty()) return nullptr;
    const double t = static_cast<double>(now - animationStart) * kAnimationFps / 1000.0;
    const double whole = std::trunc(t);
    size_t index = static_cast<size_t>(whole) + (t - whole > 0.5 ? 1 : 0);
    if (index >= animation->frames.size()) index = animation->frames.size() - 1;
    return animation->frames[index];
}

bool weaponFiring::runsOut(const cAnimation* animation, uint32_t now) const {
    return static_cast<float>(now - animationStart) > static_cast<float>(animation->durationMs);
}

bool weaponFiring::turn(uint32_t now) {
    if (!currentAnimation) return turnAtRest();
    restProblemReported = false;
    cAnimation* playing = currentAnimation;
    if (runsOut(playing, now)) return turnRunOut(playing);
    cAnimFrame* frame = frameDue(playing, now);
    if (frame != currentFrame) {
        catchUpFrames(currentFrame, frame);
        reached.output.showFrame(frame, false);
    } else {
        reached.output.showFrame(frame, true);
    }
    return true;
}

bool weaponFiring::turnRunOut(cAnimation* ranOut) {
    cAnimFrame* last = lastFrame(ranOut);
    fireRunOutTail(ranOut);
    if (ranOut->role == animationRole::reload) {
        refillMagazine();
        recordEvent(eventReload, mode, -1);
        currentAnimation = nullptr;
    }
    currentAnimation = nextAnimation();
    currentFrame = nullptr;
    animationStart = appTimeMs();
    if (currentAnimation) {
        reached.output.showFrame(firstFrame(currentAnimation), false);
    } else {
        // Nothing follows: the last frame stays on screen; its side effects have fired.
        reached.output.showFrame(last, true);
    }
    return true;
}

bool weaponFiring::turnAtRest() {
    if (!asset) return false;
    if (asset->hasIntro) {
        // The intro waits for the first press; its first frame fires its side effects once.
        cAnimFrame* frame = firstFrame(asset->withRole(animationRole::intro));
        reached.output.showFrame(frame, frame != nullptr && frame == currentFrame);
        return true;
    }
    if (asset->hasIdle) {
        setAnimation(restAnimation());
        reached.output.showFrame(firstFrame(currentAnimation), false);
        return true;
    }
    const cAnimation* still = stillAnimation();
    if (!still) {
        if (!restProblemReported) {
            logError(kTurnFn, asset->name, " has an inconsistency in it's firing mode.  Check it's custom XML.");
            restProblemReported = true;
        }
        reached.output.showWithoutWeapon();
        currentFrame = nullptr;  // no weapon picture on screen now
        return true;
    }
    reached.output.showFrame(lastFrame(still), true);
    return true;
}

// Frames of an animation that ran out after the one shown last, including its last frame, have
// not been shown: their side effects (rounds above all) are caught up before the next animation.
void weaponFiring::fireRunOutTail(cAnimation* ranOut) {
    const std::vector<cAnimFrame*>& frames = ranOut->frames;
    size_t from = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i] == currentFrame) from = i + 1;
    }
    for (size_t i = from; i < frames.size(); ++i) reached.output.fireFrameEffects(frames[i]);
}

void weaponFiring::catchUpFrames(cAnimFrame* shown, cAnimFrame* next) {
    if (!shown || !next || shown->animation != next->animation || !shown->animation) return;
    bool passedShown = false;
    for (cAnimFrame* frame : shown->animation->frames) {
        if (frame == next) break;
        if (passedShown) reached.output.fireFrameEffects(frame);
        if (frame == shown) passedShown = true;
    }
}

// Mirrors what turn shows: the frame due by the clock (or the animation running out), or at rest
// the intro's first frame, a new idle, or the wind-down's last frame.
bool weaponFiring::newFrameDue(uint32_t now) const {
    if (currentAnimation) return runsOut(currentAnimation, now) || frameDue(currentAnimation, now) != currentFrame;
    if (!asset) return false;
    if (asset->hasIntro) {
        const cAnimation* intro = asset->withRole(animationRole::intro);
        return intro && !intro->frames.empty() && intro->frames.front() != currentFrame;
    }
    if (asset->hasIdle) return true;
    const cAnimation* still = stillAnimation();
    // Nothing to show: due once, to take the last frame shown off the screen.
    if (!still) return currentFrame != nullptr;
    return !still->frames.empty() && still->frames.back() != currentFrame;
}

// A frame lasts 34 ms at most: the search is short and asks the very rule turn uses.
int32_t weaponFiring::msToNextFrame(uint32_t now) const {
    if (!currentAnimation) return -1;
    const cAnimFrame* shown = frameDue(currentAnimation, now);
    for (uint32_t ms = 1; ms <= 1000 / kAnimationFps + 1; ++ms) {
        const uint32_t later = now + ms;
        if (runsOut(currentAnimation, later) || frameDue(currentAnimation, later) != shown) {
            return static_cast<int32_t>(ms);
        }
    }
    return 1000 / kAnimationFps;
}

}  // namespace QEL
