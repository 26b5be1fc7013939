// The team game over the peer link: networking on and off, the player's team, the team tag on
// every outgoing shot and what a received shot does. Members of cApp, run on the main thread.
#include "app/cApp.h"
#include "app/screenText.h"
#include "base/log.h"
#include "effects/teamDamage.h"
#include "net/QelPeer.h"
#include "net/shotMessage.h"
#include "weapon/cAssetMgr.h"

namespace QEL {

void cApp::setMultiplayerMode(TeamMode mode) {
    if (mode == multiplayerMode) return;
    if (mode == TeamMode::offline) {
        if (peer) {
            peer.reset();
            logStatus("shut off networking.");
        }
    } else if (peer && !peerSettings.room.empty()) {
        // A room's hello fixes each link's team: a new team links anew.
        peer.reset();
    }
    if (mode != TeamMode::offline && !peer) {
        PeerSettings settings = peerSettings;
        settings.team = modeNumber(mode);
        peer = std::make_unique<QelPeer>(this, settings);
        peer->startPeer();
        peerCount = 0;
        linksRefused = shotsDropped = 0;
    }
    multiplayerMode = mode;
    pendingShot = -1;  // a shot waiting for a peer was meant for the game just left
    if (assetMgr) assetMgr->setTeamMode(mode);
    showNetworkBadge();
    logStatus("Changing multiplayer mode:", modeNumber(mode));
}

void cApp::sendShot(int32_t shotNumber) {
    if (!peer || shotNumber == 0) return;
    if (!shotCanCarryTeam(shotNumber)) {
        logWarning("QEL::cApp::sendShot", "shot ", shotNumber, " is ", kTeamSpan,
                   " or more and cannot carry a team; not sent");
        return;
    }
    peer->shoot(tagShot(shotNumber, multiplayerMode));
}

void cApp::receiveShot(int32_t shotNumber, bool logged) {
    if (shotNumber == 0) {
        if (logged) logStatus("Received message with ID 0 from peer? ignoring.");
        return;
    }
    int32_t hit = 0;
    if (!shotHitsPlayer(shotNumber, multiplayerMode, hit)) return;  // players of one team do not hurt each other
    if (assetMgr) assetMgr->receiveHit(hit, logged);
}

bool cApp::knowsShot(int32_t shotNumber) { return !assetMgr || assetMgr->knowsHitEffect(shotNumber); }

}  // namespace QEL
