// cAssetMgr: a turn (the layers move, then the firing state machine, weaponFiring.h) and a hit
// taken from a peer, which can kill the player and so stop the weapon.
#include <cstdlib>
#include <string>

#include "effects/cCartridgeEjector.h"
#include "effects/debugLight.h"
#include "effects/overlayEffects.h"
#include "effects/teamDamage.h"
#include "sound/cSoundManager.h"
#include "weapon/cAssetMgr.h"

namespace QEL {

bool cAssetMgr::playerDead() const { return damage->dead(); }

bool cAssetMgr::dodging() const { return damage->shieldUp(); }

void cAssetMgr::receiveHit(int32_t effectId, bool logged) {
    if (playerDead()) return;
    int32_t taken = 0;
    if (cOverlayEffect* effect = hitEffects->findEffect(effectId)) effect->play(taken);
    recordEvent(eventIncomingHit, effectId, taken, logged);
    if (!damageEnabled) return;
    if (damage->hit(-taken, firing->triggerHeld())) return;

    recordEvent(eventPlayerDeath, -1, -1);
    firing->stop();
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
    return firing->turn(now);
}

}  // namespace QEL
