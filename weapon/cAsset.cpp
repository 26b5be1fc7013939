#include "weapon/cAsset.h"

#include <cstdint>
#include <cstdlib>

#include "base/log.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponFormat.h"

namespace QEL {

namespace {

// frameCount × 1000 / 30 in 64 bits: a frameCount from a file may be anything an int holds.
int32_t animationDurationMs(int32_t frameCount) {
    const int64_t ms = int64_t(frameCount) * 1000 / kAnimationFps;
    return ms > INT32_MAX ? INT32_MAX : ms < INT32_MIN ? INT32_MIN : int32_t(ms);
}

}  // namespace

cAnimation::cAnimation(QuadSet* background, int32_t frameCount, const std::string& name)
    : name(name), background(background), frameCount(frameCount), durationMs(animationDurationMs(frameCount)) {
    if (!background) return;
    // The background always covers the whole screen; the drawing only picks its texture rectangle.
    background->unlock();
    if (Quad* quad = background->getQuad(0)) {
        quad->position = FloatCoords(-1.0f, 1.0f, widthFraction(kScreenWidth),
                                     heightFraction(kScreenHeight));
    }
    background->rebuild();
}

cAnimation::~cAnimation() {
    for (cAnimFrame* frame : frames) delete frame;
    frames.clear();
}

cAsset::cAsset(cAssetMgr* assetMgr) : assetMgr(assetMgr) {}

cAsset::~cAsset() {
    for (cAnimation* animation : animations) delete animation;
    animations.clear();
    burstAnimations.clear();
    shotAnimations.clear();
    idleAnimations.clear();
}

void cAsset::addAnimation(cAnimation* animation) {
    if (!animation) return;
    animations.push_back(animation);
    switch (roleOf(animation->name)) {
        case animationRole::shot:
            animation->isShot = true;
            shotAnimations.push_back(animation);
            break;
        case animationRole::burst:
            animation->isBurst = true;
            burstAnimations.push_back(animation);
            break;
        case animationRole::idle:
            hasIdle = true;
            animation->isIdle = true;
            idleAnimations.push_back(animation);
            break;
        case animationRole::firstShot:
            animation->isShot = true;
            animation->isFirstShot = true;
            break;
        case animationRole::lastShot: animation->isLastShot = true; break;
        case animationRole::windDown: animation->isWindDown = true; break;
        case animationRole::emptyState:
            animation->isEmptyState = true;
            animation->isIdle = true;
            break;
        case animationRole::intro: hasIntro = true; break;
        default: break;  // found by name only (reload, or any other)
    }
}

cAnimation* cAsset::findAnimation(const std::string& wanted) const {
    for (cAnimation* animation : animations) {
        if (animation->name == wanted) return animation;
    }
    return nullptr;
}

static cAnimation* randomElement(const std::vector<cAnimation*>& list) {
    if (list.empty()) return nullptr;
    return list[static_cast<size_t>(rand()) % list.size()];
}

cAnimation* cAsset::getAnimation(FireMode mode) {
    if (hasIntro) {
        hasIntro = false;
        return findAnimation("intro");
    }
    if (mode == kFireModeBurst) return randomElement(burstAnimations);
    if (mode == kFireModeSingle || mode == kFireModeAuto) {
        if (shotAnimations.empty()) {
            logError("QEL::cAsset::getAnimation", "Could not find single shot. (ie. shot1, shot2, shot3) ");
            return nullptr;
        }
        return randomElement(shotAnimations);
    }
    return nullptr;
}

cAnimation* cAsset::getIdleAnimation() {
    if (!hasIdle) return nullptr;
    if (assetMgr) assetMgr->recordEvent(eventIdled, assetMgr->currentFireMode(), -1);
    return randomElement(idleAnimations);
}

}  // namespace QEL
