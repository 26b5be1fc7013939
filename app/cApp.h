// The application object: one for the whole run, reached through `appInstance`, which
// createApp sets and destroyApp clears. It owns the weapon asset manager and (while networking
// is on) the network peer; the sound manager is process-wide and only shared with it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/inputTable.h"
#include "net/QelPeer.h"
#include "render/screen.h"
#include "base/teamMode.h"
#include "render/types.h"
#include "stats/ScoreEvent.h"

namespace QEL {

class cAssetMgr;
class checkedWeapon;
class cSoundManager;
class screenText;
class ScaledOutput;

class cApp : public QelPeerListener {
public:
    // Builds the shared sound output and the asset manager, then the OpenGL state with the
    // given clear colour and the 568 × 320 viewport.
    cApp(float red, float green, float blue, float alpha);
    ~cApp() override;

    // One turn's frame: samples the clock, serves the peer and advances the weapon. The picture
    // is drawn when `drawPicture` is set or the weapon's picture is due (cAssetMgr::pictureDue);
    // true when it was drawn, and so is to be shown.
    bool runFrame(bool drawPicture = true);

    // What taking up a weapon came to.
    enum class WeaponLoad { loaded, refused, failed };
    // Checks and loads the weapon with base name `name` (in `keepMode`, as loadWeapon). A
    // weapon that is refused (the weapon in hand stays) or fails to load is explained by a notice
    // over the picture for a few seconds, or for as long as no weapon is in hand; a weapon that
    // loads replaces the notice with what it could not use, if anything. With `review` (its author
    // is working on it: a save loaded it again, or it is previewed) whatever kablix-check finds in
    // a weapon that loads is shown too.
    WeaponLoad takeWeapon(const std::string& name, FireMode keepMode = kNoFireMode, bool review = false);
    // The weapon the game starts with: loaded whenever its file parses, even when its check
    // fails (which the notice then explains). One that cannot be loaded at all leaves its notice
    // over weapon `fallback` (the catalogue's key 0), when that one passes its check.
    void takeFirstWeapon(const std::string& name, bool review, const std::string& fallback = std::string());

    // Loads the weapon `checked` found, in `keepMode` when it offers that mode (kNoFireMode: its
    // own start mode). Returns the fire mode chosen, or nothing when it could not be loaded.
    std::optional<FireMode> loadWeapon(const checkedWeapon& checked, FireMode keepMode = kNoFireMode);

    // What a shake does (the numbers are the input table's arguments).
    enum class ShakeAction : int32_t { reload = 0, fire = 1, fireAndReload = 2, nothing = 3 };
    void applyShake();

    // What a press at window pixel (x, y), origin top left, stands for once taken to the picture
    // it falls on (the window may be larger than the picture): on the fire-mode switch the next
    // mode, on the shield strip of a team game the shield, anywhere else the trigger.
    InputAction pointerAction(int32_t x, int32_t y) const;
    // A mouse press there: carries out pointerAction.
    void onMouseDown(int32_t x, int32_t y);
    // Carries out an action on the weapon: the trigger, the shield, the fire mode, a reload, a
    // shake, or a pointer's release (the trigger, then the shield). Other actions do nothing here.
    void act(InputAction action);

    // Stores the window size and sets the viewport and identity matrices for it. A height of 0
    // is given to OpenGL as 1. Also clears peerCount: a window set up anew counts no peers yet.
    void setViewport(int32_t width, int32_t height);

    // --- Multiplayer (multiplayer.cpp) ---
    // 0 open play, 1 networking off, 2-4 team 1-3: starts or stops the peer, sets the damage
    // display's team and logs the change. The mode already set changes nothing.
    void setMultiplayerMode(TeamMode mode);
    // Tags `shotNumber` with this player's team and sends it to every connected copy.
    void sendShot(int32_t shotNumber);
    // A shot number received from a copy (or the Shift test keys): a hit unless it is 0 or comes
    // from this player's own team.
    void receiveShot(int32_t shotNumber, bool logged = true);
    // What the peer reports: a received shot, the number of connected copies, links refused and
    // shots dropped; and what it asks: whether a shot names a hit effect.
    void shotReceived(int32_t shotNumber, bool logged) override { receiveShot(shotNumber, logged); }
    void peerCountChanged(int32_t count) override;
    void linkTroubleChanged(int32_t refused, int32_t dropped) override;
    bool knowsShot(int32_t shotNumber) override;
    // The port, room and room key every peer of this run starts with (the team is the mode's).
    void setPeerSettings(const PeerSettings& settings) { peerSettings = settings; }
    const std::string& roomName() const { return peerSettings.room; }

    // The size of the window the picture is shown in, when it is not 568 × 320.
    void setWindowSize(int32_t width, int32_t height);
    // Shows the picture just drawn (and captured, for F1) at the window's size.
    void presentPicture();
    // Full screen on or off: the window keeps its size, centred on a black screen.
    void toggleFullScreen();

    // Where other text is (the preview's panel), which a notice keeps off.
    void keepNoticesOff(const IntCoords& area);
    // F12's page over the picture (an empty text hides it).
    void showHelp(const std::string& text);
    bool helpShown() const;
    // How many lines the page can show; its line at window pixel (x, y), or -1 off its lines.
    int32_t helpPageLines() const;
    int32_t helpLineAt(int32_t x, int32_t y) const;
    // The name the weapon in hand was loaded by (a catalogue value), empty before the first load.
    const std::string& weaponInHand() const { return inHand; }

    // Chooses what applyShake does.
    void setShakeAction(ShakeAction action) { shakeAction = action; }
    // The weapon asset manager; it lives as long as the application object.
    cAssetMgr* assetManager() const { return assetMgr.get(); }
    // The running peer, or null while networking is off.
    QelPeer* networkPeer() const { return peer.get(); }
    int32_t connectedPeers() const { return peerCount; }

private:
    void setUpSoundOutput();
    // The notice for what taking up weapon `name` came to (takeWeapon); `checkFailed`: it loaded
    // although its check failed.
    void explainLoad(const std::string& name, WeaponLoad result, bool review, bool checkFailed = false);
    void setUpOpenGL(float red, float green, float blue, float alpha);
    void servePeer();
    void showNetworkBadge();
    void updateWeapon(bool drawPicture);

    int32_t windowWidth = kScreenWidth;
    int32_t windowHeight = kScreenHeight;
    int32_t viewportX = 0;
    int32_t viewportY = 0;
    uint32_t frameTimeMs = 0;                 // appTimeMs() at the start of the current frame
    std::unique_ptr<cAssetMgr> assetMgr;      // the weapon in hand, for the whole run
    cSoundManager* soundManager = nullptr;    // shared with the process-wide pointer
    std::unique_ptr<QelPeer> peer;            // null while networking is off
    int32_t pendingShot = -1;                 // shot number to send to peers; -1 when none
    int32_t peerCount = 0;
    PeerSettings peerSettings;
    int32_t linksRefused = 0;  // by the running peer
    int32_t shotsDropped = 0;
    TeamMode multiplayerMode = TeamMode::offline;
    ShakeAction shakeAction = ShakeAction::reload;
    std::unique_ptr<screenText> text;  // the help page and the network badge
    std::unique_ptr<ScaledOutput> output;
    int32_t shownWidth = kScreenWidth;   // the window the picture is shown in
    int32_t shownHeight = kScreenHeight;
    std::string inHand;
};

// The one application object, or null before createApp and after destroyApp.
extern cApp* appInstance;

// Destroys an existing application object, builds a new one and returns it (null when it
// could not be allocated).
cApp* createApp(float red, float green, float blue, float alpha);

// Switches networking off, frees the asset manager, the process-wide sound manager (which
// closes its speaker) and the application object, and clears appInstance.
void destroyApp(cApp* app);

}  // namespace QEL
