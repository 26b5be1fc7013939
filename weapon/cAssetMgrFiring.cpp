// cAssetMgr: the firing state machine. There is no state variable of its own: the state is the
// playing animation (by its role) with the trigger, the fire mode and the magazine.
#include <cmath>
#include <cstdlib>
#include <string>

#include "base/appTime.h"
#include "base/log.h"
#include "effects/cCartridgeEjector.h"
#include "effects/debugLight.h"
#include "effects/overlayEffects.h"
#include "effects/teamDamage.h"
#include "render/QuadSet.h"
#include "sound/cSoundManager.h"
#include "weapon/cAssetMgr.h"

namespace QEL {

namespace {

cAnimFrame* firstFrame(const cAnimation* animation) {
    return animation && !animation->frames.empty() ? animation->frames.front() : nullptr;
}

cAnimFrame* lastFrame(const cAnimation* animation) {
    return animation && !animation->frames.empty() ? animation->frames.back() : nullptr;
}

}  // namespace

bool cAssetMgr::playerDead() const { return damage->dead(); }

bool cAssetMgr::dodging() const { return damage->shieldUp(); }

void cAssetMgr::setAnimation(cAnimation* animation) {
    currentAnimation = animation;
    currentFrame = nullptr;
    animationStart = appTimeMs();
}

bool cAssetMgr::canInterrupt() {
    if (!asset) return false;
    if (!currentAnimation) return true;
    if (currentAnimation->interrupt == interruptRule::always) return true;
    if (asset->allowInterrupt && currentAnimation->interrupt == interruptRule::whenAllowed) {
        recordEvent(eventInterruptedShot, fireMode, -1);
        return true;
    }
    return false;
}

void cAssetMgr::injectInputDown() {
    const char* fn = "QEL::cAssetMgr::injectInputDown";
    if (playerDead()) {
        damage->digPress();
        return;
    }
    inputHeld = true;
    if (!asset) {
        logWarning(fn, "cAssetMgr Received input without any assets loaded!");
        return;
    }
    if (!canInterrupt() || dodging()) return;
    if (fireMode == kNoFireMode) {
        logWarning(fn, "cAssetMgr received input during invalid asset state!");
        return;
    }

    int32_t rounds = 1;
    bool pickAnimation = false;
    if (asset->hasIntro) {
        if (asset->withRole(animationRole::intro)) {
            startIntroAtRest();
            return;
        }
        logWarning(fn, "cAssetMgr was told to play intro... BUT NO INTRO FOUND!");
        asset->hasIntro = false;  // the press goes on as an ordinary shot
    }
    if (isEmpty()) {
        if (emptyClick) emptyClick->play2d();
        recordEvent(eventEmptyShot, fireMode, -1);
        return;
    }
    if (fireMode == kFireModeBurst) {
        rounds = 0;
        pickAnimation = true;
    } else if (fireMode == kFireModeSingle || fireMode == kFireModeAuto) {
        if (currentAnimation && currentAnimation->role == animationRole::windDown && asset->windDownInterrupts) {
            setAnimation(currentAnimation->linked);
            return;
        }
        if (roundsLeft == 0) {
            // The last round; without a lastShot animation the weapon continues as at rest.
            setAnimation(asset->withRole(animationRole::lastShot));
            if (currentAnimation) {
                if (!currentAnimation->hasEject) recordShot(1);
                return;
            }
        }
        if (!currentAnimation || currentAnimation->isIdle()) {
            setAnimation(asset->withRole(animationRole::firstShot));
            if (currentAnimation) {
                // A charge fires nothing yet: its round counts when the real shot follows it.
                if (!currentAnimation->hasEject && !asset->firstShotIsCharge) recordShot(1);
                return;
            }
        }
        pickAnimation = true;
    }
    if (!pickAnimation) return;

    cAnimation* next = asset->getAnimation(fireMode);
    if (!next) {
        logError(fn, "No animations found for the current firing mode! Crashing...");
        // Nothing to play: the weapon stays at rest and takes the next press.
        setAnimation(nullptr);
        return;
    }
    // A fresh start, so that re-firing the same animation still shows its first frame anew.
    setAnimation(next);
    if (!next->hasEject) recordShot(rounds);
}

// The intro starts at the first press. Its first frame has been on screen (and has fired its side
// effects) since the weapon came to rest, so it is not shown anew.
void cAssetMgr::startIntroAtRest() {
    cAnimFrame* shown = currentFrame;
    cAnimation* intro = asset->getAnimation(fireMode);  // hands the intro out, once
    setAnimation(intro);
    if (shown && shown == firstFrame(intro)) currentFrame = shown;
    if (intro && !intro->hasEject) recordShot(0);
}

void cAssetMgr::injectInputUp() {
    if (playerDead()) {
        damage->armDig();
        return;
    }
    inputHeld = false;
    if (asset && asset->firstShotIsCharge && currentAnimation && currentAnimation->role == animationRole::firstShot) {
        setAnimation(currentAnimation->linked);
    }
}

bool cAssetMgr::requestReload() {
    if (playerDead() || !canInterrupt()) return false;
    cAnimation* reload = asset->withRole(animationRole::reload);
    if (!reload) return false;
    setAnimation(reload);
    return true;
}

void cAssetMgr::tapInput() {
    if (isEmpty()) {
        requestReload();
        return;
    }
    injectInputDown();
    injectInputUp();
}

bool cAssetMgr::injectDodgeInput(bool pressed) {
    if (playerDead()) {
        if (pressed) {
            injectInputDown();
        } else {
            damage->armDig();
        }
        return false;
    }
    if (damage->teamMode()) damage->setDodge(pressed);
    if (!dodging()) return false;
    // Raising the shield lets go of the trigger.
    inputHeld = false;
    if (asset && asset->firstShotIsCharge && currentAnimation && currentAnimation->role == animationRole::firstShot) {
        setAnimation(currentAnimation->linked);
    }
    return true;
}

void cAssetMgr::receiveHit(int32_t effectId, bool logged) {
    if (playerDead()) return;
    int32_t taken = 0;
    if (cOverlayEffect* effect = hitEffects->findEffect(effectId)) effect->play(taken);
    recordEvent(eventIncomingHit, effectId, taken, logged);
    if (!damageEnabled) return;
    if (damage->hit(-taken, inputHeld)) return;

    recordEvent(eventPlayerDeath, -1, -1);
    setAnimation(nullptr);
    stopAllSounds();
    const std::string cry = "death" + std::to_string(rand() % 3 + 1);
    if (cSound* sound = soundManager->findSound(cry)) soundManager->play(sound, false);
}

bool cAssetMgr::knowsHitEffect(int32_t effectId) const {
    return hitEffects->effects.empty() || hitEffects->findEffect(effectId) != nullptr;
}

void cAssetMgr::stopAllSounds() {
    playingFrameSounds.clear();
    hssSpeaker* speaker = soundManager->getSpeaker();
    if (!speaker || !speaker->isOpen()) return;
    const int32_t first = speaker->getMusicChannelCount();
    const int32_t end = first + speaker->getSoundChannelCount();
    for (int32_t handle = first; handle < end; ++handle) {
        if (hssChannel* channel = speaker->getChannel(handle)) channel->stop();
    }
}

void cAssetMgr::recordShot(int32_t rounds) {
    if (!asset) return;
    if (asset->light == kLightEveryShot) debugLight->request();
    // A counted magazine gives no more than it holds: a burst ejecting past its end fires blanks.
    const int32_t wanted = rounds;
    if (magazineSize != 0 && rounds > roundsLeft + 1) rounds = roundsLeft + 1;
    const bool blank = wanted > 0 && rounds == 0;
    if (!blank && shotStatsEnabled && currentAnimation && currentAnimation->countsShots()) {
        recordEvent(eventShot, fireMode, rounds);
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
    dirty = true;
}

// A round fired at the start of `next` counts against `next`, not against the animation that ran
// out (which is still the current one while its successor is chosen).
void cAssetMgr::recordShotFor(cAnimation* next, int32_t rounds) {
    cAnimation* ranOut = currentAnimation;
    currentAnimation = next;
    recordShot(rounds);
    currentAnimation = ranOut;
}

cAnimation* cAssetMgr::nextAnimation() {
    cAnimation* ranOut = currentAnimation;
    if (!ranOut || ranOut->isIdle() || ranOut->role == animationRole::windDown) return restAnimation();
    if (asset->firstShotIsCharge && ranOut->role == animationRole::firstShot) {
        // The charge is complete: the real shot fires the round held back at the press.
        cAnimation* shot = asset->getAnimation(fireMode);
        if (shot && !shot->hasEject) recordShotFor(shot, fireMode == kFireModeBurst ? 0 : 1);
        return shot;
    }
    if (ranOut->isShot() && (fireMode == kFireModeSingle || !inputHeld)) return asset->withRole(animationRole::windDown);
    if (fireMode == kFireModeAuto && inputHeld) {
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
    return nullptr;
}

cAnimation* cAssetMgr::restAnimation() {
    if (isEmpty()) {
        if (cAnimation* empty = asset->withRole(animationRole::emptyState)) return empty;
    }
    return asset->getIdleAnimation();
}

void cAssetMgr::reloadFinished() {
    refillMagazine();
    recordEvent(eventReload, fireMode, -1);
}

void cAssetMgr::refillMagazine() {
    roundsLeft = magazineSize - 1;
    if (QuadSet* ammo = asset->ammoImage) {
        ammo->unlock();
        for (int32_t i = 0; i < magazineSize; ++i) {
            if (Quad* quad = ammo->getQuad(static_cast<uint32_t>(i))) quad->setAllColors(Color(1.0f, 1.0f, 1.0f, 1.0f));
        }
        ammo->rebuild();
    }
    dirty = true;
}

// Frame number trunc(t) plus one when the fraction of t is above one half, t = elapsed × 30 / 1000;
// a number past the end gives the last frame.
cAnimFrame* cAssetMgr::frameDue(cAnimation* animation, uint32_t now) const {
    if (animation->frames.empty()) return nullptr;
    const double t = static_cast<double>(now - animationStart) * kAnimationFps / 1000.0;
    const double whole = std::trunc(t);
    size_t index = static_cast<size_t>(whole) + (t - whole > 0.5 ? 1 : 0);
    if (index >= animation->frames.size()) index = animation->frames.size() - 1;
    return animation->frames[index];
}

// Frames of an animation that ran out after the one shown last, including its last frame, have
// not been shown: their side effects (rounds above all) are caught up before the next animation.
void cAssetMgr::fireRunOutTail(cAnimation* ranOut) {
    const std::vector<cAnimFrame*>& frames = ranOut->frames;
    size_t from = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i] == currentFrame) from = i + 1;
    }
    for (size_t i = from; i < frames.size(); ++i) fireFrameEffects(frames[i]);
}

bool cAssetMgr::update(uint32_t now, int32_t& netShotOut, bool drawPicture) {
    drewScreen = false;
    netShotOut = -1;
    if (!asset) return false;
    drawing = drawPicture;
    const bool shown = advance(now, netShotOut);
    drawing = true;
    return shown;
}

bool cAssetMgr::advance(uint32_t now, int32_t& netShotOut) {
    netShotOut = pendingNetShot;
    pendingNetShot = -1;
    debugLight->update(now);
    if (ejector->update(now)) dirty = true;
    if (hitEffects->update(now)) dirty = true;
    if (particleLayer->update(now)) dirty = true;
    if (damage->update(now)) dirty = true;

    if (previewing) return showPreviewed();
    if (!currentAnimation) return updateAtRest();
    restProblemReported = false;

    cAnimation* playing = currentAnimation;
    const float elapsed = static_cast<float>(now - animationStart);
    if (elapsed > static_cast<float>(playing->durationMs)) {
        cAnimFrame* last = lastFrame(playing);
        fireRunOutTail(playing);
        if (playing->role == animationRole::reload) {
            reloadFinished();
            currentAnimation = nullptr;
        }
        currentAnimation = nextAnimation();
        currentFrame = nullptr;
        animationStart = appTimeMs();
        if (currentAnimation) {
            drawFrame(firstFrame(currentAnimation), false);
        } else {
            // Nothing follows: the last frame stays on screen; its side effects have fired.
            drawFrame(last, true);
        }
        return true;
    }

    cAnimFrame* frame = frameDue(playing, now);
    if (frame != currentFrame) {
        catchUpFrames(currentFrame, frame);
        drawFrame(frame, false);
    } else {
        drawFrame(frame, true);
    }
    return true;
}

bool cAssetMgr::updateAtRest() {
    if (!asset) return false;
    if (asset->hasIntro) {
        // The intro waits for the first press; its first frame fires its side effects once.
        cAnimFrame* frame = firstFrame(asset->withRole(animationRole::intro));
        drawFrame(frame, frame != nullptr && frame == currentFrame);
        return true;
    }
    if (asset->hasIdle) {
        setAnimation(restAnimation());
        drawFrame(firstFrame(currentAnimation), false);
        return true;
    }
    const cAnimation* still = stillAnimation();
    if (!still) {
        if (!restProblemReported) {
            logError("QEL::cAssetMgr::update", asset->name,
                     " has an inconsistency in it's firing mode.  Check it's custom XML.");
            restProblemReported = true;
        }
        drawWithoutWeapon();
        currentFrame = nullptr;  // no weapon picture on screen now
        return true;
    }
    drawFrame(lastFrame(still), true);
    return true;
}

}  // namespace QEL
