#include "app/cApp.h"

#include "app/screenText.h"
#include "app/weaponNotice.h"
#include "render/scaledOutput.h"

#include "base/appTime.h"
#include "sound/cSoundManager.h"
#include "sound/hss/hssSpeaker.h"
#include "weapon/cAssetMgr.h"
#include "effects/teamDamage.h"
#include "net/QelPeer.h"
#include "render/QuadSet.h"
#include "weapon/weaponTest.h"

#include <GL/gl.h>
#include <SDL/SDL.h>

#include <cstdio>

#include <new>

namespace QEL {

cApp* appInstance = nullptr;

cApp::cApp(float red, float green, float blue, float alpha) {
    setUpSoundOutput();
    assetMgr = std::make_unique<cAssetMgr>(soundManager);
    setUpOpenGL(red, green, blue, alpha);
    text = std::make_unique<screenText>();
    output = std::make_unique<ScaledOutput>();
    setViewport(windowWidth, windowHeight);
}

cApp::~cApp() = default;

// The process-wide sound manager and its speaker (44100 Hz, 16 bits, stereo, 8 music and
// 64 sound channels) are made here, before anything that loads sounds.
void cApp::setUpSoundOutput() {
    if (!soundManagerInstance) soundManagerInstance = new cSoundManager();
    soundManager = soundManagerInstance;
    if (!soundManager->getSpeaker()) {
        auto* speaker = new hssSpeaker();
        soundManager->setSpeaker(speaker);
        // Without an audio device the game still runs, silently.
        if (speaker->open(44100, 16, 1, 8, 64) != hssOk)
            std::fprintf(stderr, "kablix: no audio device (%s); playing without sound\n", SDL_GetError());
    }
}

void cApp::setUpOpenGL(float red, float green, float blue, float alpha) {
    glShadeModel(GL_SMOOTH);
    glClearColor(red, green, blue, alpha);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

void cApp::peerCountChanged(int32_t count) {
    peerCount = count;
    showNetworkBadge();
}

void cApp::linkTroubleChanged(int32_t refused, int32_t dropped) {
    linksRefused = refused;
    shotsDropped = dropped;
    showNetworkBadge();
}

void cApp::showNetworkBadge() {
    if (text) text->setNetworkBadge(multiplayerMode, peerCount, peerSettings.room, linksRefused, shotsDropped);
}

void cApp::setWindowSize(int32_t width, int32_t height) {
    shownWidth = width;
    shownHeight = height;
}

void cApp::presentPicture() { output->present(shownWidth, shownHeight); }

void cApp::toggleFullScreen() {
    if (SDL_Surface* screen = SDL_GetVideoSurface()) SDL_WM_ToggleFullScreen(screen);
}

void cApp::showHelp(const std::string& page) { text->setHelp(page); }

void cApp::keepNoticesOff(const IntCoords& area) { text->reserve(area); }

bool cApp::helpShown() const { return text->helpShown(); }

int32_t cApp::helpPageLines() const { return text->helpPageLines(); }

int32_t cApp::helpLineAt(int32_t x, int32_t y) const {
    ScaledOutput::toPicture(shownWidth, shownHeight, x, y);
    return text->helpLineAt(x, y);
}

void cApp::setViewport(int32_t width, int32_t height) {
    windowWidth = width;
    windowHeight = height;
    peerCount = 0;
    showNetworkBadge();
    glViewport(viewportX, viewportY, width, height == 0 ? 1 : height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// The peer is served before the picture is decided on: a hit it delivers shows in this frame.
bool cApp::runFrame(bool drawPicture) {
    frameTimeMs = appTimeMs();
    servePeer();
    text->expire(frameTimeMs);
    const bool draw = drawPicture || text->changed() || (assetMgr && assetMgr->pictureDue(frameTimeMs));
    updateWeapon(draw);
    if (!draw) return false;
    // With nothing drawn by the weapon the picture is the empty screen.
    if (!assetMgr || !assetMgr->drewPicture()) clearScreen();
    text->draw();
    if (assetMgr) assetMgr->pictureShown();
    glFinish();
    return true;
}

// Received shots are handled first; a shot the weapon asked for waits in pendingShot until
// a peer is connected.
void cApp::servePeer() {
    if (!peer) return;
    peer->pollMessages(false);
    if (peerCount != 0 && pendingShot > 0) {
        sendShot(pendingShot);
        pendingShot = -1;
    }
}

// The weapon hands out a shot number only in the frame that asked for it. While networking is on
// it waits for the first peer to connect; a shot fired with networking off is for nobody.
void cApp::updateWeapon(bool drawPicture) {
    if (!assetMgr) return;
    int32_t shot = -1;
    assetMgr->update(frameTimeMs, shot, drawPicture);
    if (shot > 0 && peer) pendingShot = shot;
}

namespace {
constexpr uint32_t kNoticeMs = 8000;  // long enough to read three findings
}  // namespace

cApp::WeaponLoad cApp::takeWeapon(const std::string& name, FireMode keepMode, bool review) {
    WeaponLoad result = WeaponLoad::loaded;
    const checkedWeapon checked = testWeapon(name);
    if (!checked) {
        result = WeaponLoad::refused;
    } else if (!loadWeapon(checked, keepMode)) {
        result = WeaponLoad::failed;
    }
    explainLoad(name, result, review);
    return result;
}

// The first weapon has always been loaded whenever its file parsed, even when its check failed:
// it still is, and the notice says what the check found.
void cApp::takeFirstWeapon(const std::string& name, bool review, const std::string& fallback) {
    const checkedWeapon checked = testWeapon(name);
    const bool loaded = loadWeapon(checked).has_value();
    if (!loaded && !fallback.empty() && fallback != name) {
        const checkedWeapon standIn = testWeapon(fallback);
        if (standIn) loadWeapon(standIn);
    }
    const WeaponLoad result = loaded ? WeaponLoad::loaded : checked ? WeaponLoad::failed : WeaponLoad::refused;
    explainLoad(name, result, review, loaded && !checked);
}

// The notice goes to standard error too, where a player who started the game from a terminal
// reads it whole.
void cApp::explainLoad(const std::string& name, WeaponLoad result, bool review, bool checkFailed) {
    text->keepClear(assetMgr->hudRectangles());
    std::string notice;
    if (checkFailed) {
        notice = problemsNotice(name);
    } else if (result == WeaponLoad::loaded) {
        notice = review ? reviewNotice(name) : loadNotice(name, assetMgr->loadProblems());
    } else {
        notice = weaponNotice(name);
    }
    if (!notice.empty()) std::fprintf(stderr, "kablix: %s\n", notice.c_str());
    if (assetMgr->weapon()) {
        text->setNotice(notice, appTimeMs() + kNoticeMs);
    } else {
        text->setNotice(notice);  // with nothing in hand the notice is all there is
    }
}

std::optional<FireMode> cApp::loadWeapon(const checkedWeapon& checked, FireMode keepMode) {
    std::optional<FireMode> result;
    pendingShot = -1;  // a shot of the weapon put down is not the new weapon's
    try {
        result = assetMgr->loadAsset(checked, keepMode);
        if (result) inHand = checked.name;
    } catch (...) {
        result.reset();
    }
    // What arrived during the load is handled now; shots among it are stale and dropped.
    if (peer) peer->pollMessages(true);
    return result;
}

void cApp::applyShake() {
    switch (shakeAction) {
    case ShakeAction::reload: assetMgr->requestReload(); break;
    case ShakeAction::fire:
        assetMgr->injectInputDown();
        assetMgr->injectInputUp();
        break;
    case ShakeAction::fireAndReload: assetMgr->tapInput(); break;
    case ShakeAction::nothing: break;
    }
}

InputAction cApp::pointerAction(int32_t x, int32_t y) const {
    ScaledOutput::toPicture(shownWidth, shownHeight, x, y);
    const cAsset* asset = assetMgr->weapon();
    const int32_t switchX = asset ? asset->switchPosX : -100;
    const int32_t switchY = asset ? asset->switchPosY : -100;
    if (switchX < x && x < switchX + 64 && switchY < y && y < switchY + 64) return InputAction::nextFireMode;
    if (assetMgr->damageIsEnabled() && assetMgr->damageDisplay().teamMode()) {
        // With no weapon in hand the strip follows the default, landscape orientation.
        // Only the strip raises the shield; a press anywhere else still fires, or nobody could shoot
        // in a team game.
        const bool landscape = asset ? asset->landscapeMode : true;
        if (landscape ? y < 70 : x < 100) return InputAction::shieldDown;
    }
    return InputAction::triggerDown;
}

void cApp::onMouseDown(int32_t x, int32_t y) { act(pointerAction(x, y)); }

void cApp::act(InputAction action) {
    switch (action) {
    case InputAction::triggerDown: assetMgr->injectInputDown(); break;
    case InputAction::triggerUp: assetMgr->injectInputUp(); break;
    case InputAction::pointerUp:
        assetMgr->injectInputUp();
        assetMgr->injectDodgeInput(false);
        break;
    case InputAction::shieldDown: assetMgr->injectDodgeInput(true); break;
    case InputAction::shieldUp: assetMgr->injectDodgeInput(false); break;
    case InputAction::nextFireMode: assetMgr->toggleAssetMode(); break;
    case InputAction::reload: assetMgr->requestReload(); break;
    case InputAction::shake: applyShake(); break;
    default: break;
    }
}

cApp* createApp(float red, float green, float blue, float alpha) {
    if (appInstance) destroyApp(appInstance);
    appInstance = new (std::nothrow) cApp(red, green, blue, alpha);
    return appInstance;
}

void destroyApp(cApp* app) {
    if (!app) return;
    app->setMultiplayerMode(TeamMode::offline);  // stops a running peer, with its lines
    delete app;  // frees the asset manager
    if (soundManagerInstance) {
        delete soundManagerInstance;  // closes the speaker and stops the mixing thread
        soundManagerInstance = nullptr;
    }
    if (app == appInstance) appInstance = nullptr;
}

}  // namespace QEL
