// cAssetMgr: drawing what the firing state machine shows (the screen draws it, weaponScreen.h),
// whether a picture is due, the preview's frame, and the side effects of each newly shown (or
// skipped) frame: sound, cartridges with their rounds, particles, network value, light.
#include <algorithm>
#include <cstdlib>

#include "base/log.h"
#include "effects/cCartridgeEjector.h"
#include "effects/cEmitter.h"
#include "effects/debugLight.h"
#include "effects/overlayEffects.h"
#include "effects/teamDamage.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "sound/cSoundManager.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponScreen.h"

namespace QEL {

// The log line keeps the reporting name it has always had: logs are read byte for byte.
void cAssetMgr::showFrame(cAnimFrame* frame, bool repeat) {
    if (!asset) return;
    if (!frame) {
        logWarning("QEL::cAssetMgr::drawFrame",
                   "cAssetMgr empty frame sent to draw! Check if the animation has any frames.");
        return;
    }
    if (!drawing) {
        // A new frame while the picture is kept: it is drawn at the next turn.
        if (!repeat || frame != firing->shownFrame()) dirty = true;
        if (!repeat) fireFrameEffects(frame);
        firing->setShownFrame(frame);
        return;
    }
    drewScreen = true;
    screen->drawBehind(*asset, frame);
    if (!repeat) fireFrameEffects(frame);
    firing->setShownFrame(frame);
    screen->drawInFront(*asset, firing->magazineCapacity() != 0);
}

void cAssetMgr::showWithoutWeapon() {
    if (!asset || !drawing) return;
    drewScreen = true;
    screen->drawBehind(*asset, nullptr);
    screen->drawInFront(*asset, firing->magazineCapacity() != 0);
}

void cAssetMgr::showMode(FireMode mode) { screen->showMode(*asset, mode); }

std::vector<IntCoords> cAssetMgr::hudRectangles() const {
    std::vector<IntCoords> covered;
    if (!asset) return covered;
    covered.emplace_back(asset->switchPosX, asset->switchPosY, 64, 64);
    const QuadSet* rounds = firing->magazineCapacity() != 0 ? asset->ammoImage : nullptr;
    for (uint32_t i = 0; rounds && i < rounds->quadCount(); ++i) {
        const FloatCoords& at = rounds->quadAt(i)->position;
        const float w = at.w * kScreenWidth, h = at.h * kScreenHeight;
        const float side = std::max(w, h);
        const float centreX = (at.x + 1.0f) / 2.0f * kScreenWidth + w / 2.0f;
        const float centreY = (1.0f - at.y) / 2.0f * kScreenHeight + h / 2.0f;
        covered.emplace_back(static_cast<int32_t>(centreX - side / 2.0f), static_cast<int32_t>(centreY - side / 2.0f),
                             static_cast<int32_t>(side) + 1, static_cast<int32_t>(side) + 1);
    }
    return covered;
}

bool cAssetMgr::pictureDue(uint32_t now) const {
    if (dirty) return true;
    if (!asset) return false;
    if (debugLight->pictureDue(now) || ejector->inFlight() || hitEffects->busy() || particleLayer->busy() ||
        damage->pictureDue()) {
        return true;
    }
    return animationFrameDue(now);
}

bool cAssetMgr::animationFrameDue(uint32_t now) const {
    if (previewing) return false;  // a new previewed frame has made the picture dirty
    return firing->newFrameDue(now);
}

bool cAssetMgr::previewFrame(size_t animation, size_t frame) {
    previewed = nullptr;
    dirty = true;
    if (!asset || animation >= asset->animations.size() || frame >= asset->animations[animation]->frames.size())
        return false;
    previewed = asset->animations[animation]->frames[frame];
    if (frame == 0) firing->refillMagazine();
    fireFrameEffects(previewed);
    return true;
}

bool cAssetMgr::showPreviewed() {
    if (previewed) {
        showFrame(previewed, true);
    } else {
        showWithoutWeapon();
        firing->setShownFrame(nullptr);
    }
    return true;
}

void cAssetMgr::fireFrameEffects(cAnimFrame* frame) {
    if (frame->sound) playFrameSound(frame->sound);
    if (frame->eject) ejectCartridges(frame);
    for (const cSpawnRecord& record : frame->spawns) cEmitter::emitFromRecord(record);
    if (frame->netSend > 0) pendingNetShot = frame->netSend;
    if (asset->light != kLightOff && frame->lit) debugLight->request();
}

void cAssetMgr::ejectCartridges(const cAnimFrame* frame) {
    // An ejecting animation counts its rounds here, one ejectNum per ejecting frame.
    firing->recordShot(frame->ejectNum);
    if (!ejector->image) return;
    for (int32_t i = 0; i < frame->ejectNum; ++i) {
        ejector->throwCartridge(frame->ejectX, frame->ejectY, frame->ejectRot, asset->ejectGivesMomentum,
                                asset->ejectGivesRotation);
    }
}

void cAssetMgr::stopFrameSound(int32_t id) {
    cSound* sound = soundManager->findSoundById(static_cast<uint32_t>(id));
    if (!sound) return;
    if (hssSoundChannel* channel = sound->channel.load()) channel->stop();
}

// Ids of sounds that are gone or have ended are of no further use; dropping them keeps the list
// at two entries at most.
void cAssetMgr::pruneFrameSounds() {
    size_t kept = 0;
    for (int32_t id : playingFrameSounds) {
        cSound* sound = soundManager->findSoundById(static_cast<uint32_t>(id));
        if (sound && sound->channel.load()) playingFrameSounds[kept++] = id;
    }
    playingFrameSounds.resize(kept);
}

void cAssetMgr::playFrameSound(cSoundSlot* slot) {
    if (!slot || slot->pools.empty()) return;
    pruneFrameSounds();
    if (!asset->allowSoundOverlap) {
        for (int32_t id : playingFrameSounds) stopFrameSound(id);
        playingFrameSounds.clear();
    } else if (playingFrameSounds.size() > 1) {
        // At most two frame sounds overlap: the oldest gives way.
        stopFrameSound(playingFrameSounds.front());
        playingFrameSounds.erase(playingFrameSounds.begin());
    }
    const size_t poolCount = slot->pools.size();
    cSoundPool* pool = poolCount == 1 ? slot->pools.front() : slot->pools[static_cast<size_t>(rand()) % poolCount];
    if (!pool) return;
    const uint32_t id = pool->play2d();
    if (id != 0) playingFrameSounds.push_back(static_cast<int32_t>(id));
}

}  // namespace QEL
