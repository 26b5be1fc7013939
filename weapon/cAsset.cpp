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

// `name` is `family` followed by a number from 0 to 10.
bool numberedUpToTen(const std::string& name, const std::string& family) {
    if (name.compare(0, family.size(), family) != 0) return false;
    const std::string number = name.substr(family.size());
    return number == "10" || (number.size() == 1 && number[0] >= '0' && number[0] <= '9');
}

// Shots may be cut short only when the weapon allows it, the wind-down, the empty state and the
// idles always. The families reach 10 here, one past the roles, and custom0 to custom10 (which only
// a firstShotIsCharge or windDownInterruptsTo link can play) count as shots.
interruptRule interruptRuleFor(animationRole role, const std::string& name) {
    switch (role) {
    case animationRole::firstShot:
    case animationRole::shot: return interruptRule::whenAllowed;
    case animationRole::windDown:
    case animationRole::emptyState:
    case animationRole::idle: return interruptRule::always;
    default: break;
    }
    if (numberedUpToTen(name, "shot") || numberedUpToTen(name, "custom")) return interruptRule::whenAllowed;
    if (numberedUpToTen(name, "idle")) return interruptRule::always;
    return interruptRule::never;
}

}  // namespace

cAnimation::cAnimation(QuadSet* background, int32_t frameCount, const std::string& name)
    : name(name), background(background), frameCount(frameCount), durationMs(animationDurationMs(frameCount)),
      role(roleOf(name)), interrupt(interruptRuleFor(role, name)) {
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
    switch (animation->role) {
        case animationRole::shot: shotAnimations.push_back(animation); break;
        case animationRole::burst: burstAnimations.push_back(animation); break;
        case animationRole::idle:
            hasIdle = true;
            idleAnimations.push_back(animation);
            break;
        case animationRole::intro: hasIntro = true; break;
        default: break;  // found by role or by name
    }
}

cAnimation* cAsset::withRole(animationRole wanted) const {
    for (cAnimation* animation : animations) {
        if (animation->role == wanted) return animation;
    }
    return nullptr;
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
        return withRole(animationRole::intro);
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
