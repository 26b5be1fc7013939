#include "app/mainLoop.h"

#include "base/appTime.h"
#include "app/cApp.h"
#include "app/liveReload.h"
#include "app/options.h"
#include "base/dataFileReader.h"
#include "base/log.h"
#include "effects/debugLight.h"
#include "render/Image.h"
#include "render/QuadSet.h"
#include "stats/tweetGenerator.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponTest.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <thread>

namespace QEL {

namespace {

// Seconds on the steady clock (CLOCK_MONOTONIC), comparable with other processes' readings.
double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

mainLoop::mainLoop(cApp& app, const dataFileReader& catalogue, bool traceInput, bool traceFrames)
    : app(app), catalogue(catalogue), trace(traceInput), traceFrames(traceFrames),
      reload(std::make_unique<liveReload>(*app.assetManager())) {}

mainLoop::~mainLoop() {
    delete tweets;
    if (trace) std::fprintf(stderr, "kablix: frames drawn: %lu\n", frames);
}

void mainLoop::run() {
    do {
        const Clock::time_point turnStart = Clock::now();
        if (handleWaitingEvents([this](const SDL_Event& event) { handleEvent(event); })) redrawNeeded = true;
        reloadChangedWeapon();
        const bool drawn = app.runFrame(redrawNeeded || screenshotRequested);
        if (drawn) showPicture();
        if (traceFrames) traceTurn(drawn);
        if (!quit) paceTurn(turnStart, drawn);
    } while (!quit);
}

void mainLoop::reloadChangedWeapon() {
    const std::string name = reload->weaponToReload(appTimeMs());
    if (name.empty()) return;
    switchWeapon(name, app.assetManager()->currentFireMode(), true);
    redrawNeeded = true;
}

void mainLoop::showPicture() {
    if (screenshotRequested) {
        takeScreenshot("screenshot.png");
        screenshotRequested = false;
    }
    app.presentPicture();
    SDL_GL_SwapBuffers();
    ++frames;
    redrawNeeded = false;
}

// Frame pacing. A turn lasts at most one refresh, so input and the network wait no longer. A turn
// that drew waits out the rest of its refresh when the swap returned early (a driver that ignores
// the swap interval): at most one picture per refresh. A turn that drew nothing ends when the
// playing animation's next frame falls due, if that is sooner, but not within one refresh of the
// last picture; from one refresh after the last picture on, a press (which makes a new picture)
// ends the wait at once.
void mainLoop::paceTurn(Clock::time_point turnStart, bool drawn) {
    Clock::time_point due = turnStart + kRefresh;
    if (drawn) {
        lastPicture = turnStart;
    } else {
        const int32_t ms = app.assetManager() ? app.assetManager()->msToNextFrame(appTimeMs()) : -1;
        if (ms >= 0) due = std::min(due, Clock::now() + std::chrono::milliseconds(ms));
        due = std::max(due, lastPicture + kRefresh);
    }
    std::this_thread::sleep_until(std::min(due, lastPicture + kRefresh));
    while (Clock::now() < due && !inputWaiting()) {
        std::this_thread::sleep_until(std::min(due, Clock::now() + kInputPoll));
    }
}

// Whether an event other than pointer or joystick motion waits in the queue.
bool mainLoop::inputWaiting() {
    SDL_PumpEvents();
    SDL_Event event;
    const Uint32 acted = SDL_ALLEVENTS & ~(SDL_MOUSEMOTIONMASK | SDL_JOYAXISMOTIONMASK);
    return SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, acted) > 0;
}

void mainLoop::traceTurn(bool drawn) {
    const double now = steadySeconds();
    if (drawn && pressHandledAt >= 0) {
        std::fprintf(stderr, "kablix: press handled at %.6f s, shown at %.6f s\n", pressHandledAt, now);
        pressHandledAt = -1;
    }
    if (now >= nextFrameCountAt) {
        std::fprintf(stderr, "kablix: frame count %lu at %.6f s\n", frames, now);
        nextFrameCountAt = now + 1.0;
    }
}

// A quit request is never taken back: no event type clears it.
void mainLoop::handleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
        onKeyDown(event.key.keysym.sym);
        break;
    case SDL_KEYUP:
        onKeyUp(event.key.keysym.sym);
        break;
    case SDL_MOUSEBUTTONDOWN:
        app.onMouseDown(event.button.x, event.button.y);
        if (traceFrames && pressHandledAt < 0) pressHandledAt = steadySeconds();
        break;
    case SDL_MOUSEBUTTONUP:
        onMouseUp();
        break;
    case SDL_VIDEORESIZE:
        app.setViewport(event.resize.w, event.resize.h);
        break;
    case SDL_QUIT:
        quit = true;
        break;
    default:
        break;
    }
}

void mainLoop::onKeyDown(SDLKey key) {
    handleCommonKey(key);
    if (shift)
        handleSimulatedShot(key);
    else
        handleWeaponKey(key);
}

void mainLoop::onKeyUp(SDLKey key) {
    if (key == SDLK_LSHIFT || key == SDLK_RSHIFT) setShiftHeld(false);
    if (key == SDLK_KP_MULTIPLY) setDodge(false);
}

void mainLoop::onMouseUp() {
    app.assetManager()->injectInputUp();
    app.assetManager()->injectDodgeInput(false);
}

void mainLoop::handleCommonKey(SDLKey key) {
    switch (key) {
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: setShiftHeld(true); break;
    case SDLK_MINUS:
    case SDLK_F6: app.applyShake(); break;
    case SDLK_EQUALS: writeStatusMessage(); break;
    case SDLK_COMMA: setMirrorMode(0); break;
    case SDLK_PERIOD: setMirrorMode(1); break;
    case SDLK_SLASH: setMirrorMode(2); break;
    case SDLK_BACKSLASH: setMirrorMode(3); break;
    case SDLK_RETURN: requestReload(); break;
    case SDLK_ESCAPE:
        if (app.helpShown())
            toggleHelp();
        else
            quit = true;
        break;
    case SDLK_F11: app.toggleFullScreen(); break;
    case SDLK_F12: toggleHelp(); break;
    case SDLK_SPACE: toggleFireMode(); break;
    case SDLK_F1: requestScreenshot(); break;
    case SDLK_F2: setShakeAction(3, "ON SHAKE:  NONE"); break;
    case SDLK_F3: setShakeAction(1, "ON SHAKE:  FIRE"); break;
    case SDLK_F4: setShakeAction(0, "ON SHAKE:  RELOAD"); break;
    case SDLK_F5: setShakeAction(2, "ON SHAKE:  FIRE + RELOAD"); break;
    default: break;
    }
}

void mainLoop::handleWeaponKey(SDLKey key) {
    std::string selectedWeapon;
    switch (key) {
    case SDLK_KP8: toggleDebugLight(); break;
    case SDLK_KP0: switchMultiplayerMode(0); break;
    case SDLK_KP_PERIOD: switchMultiplayerMode(1); break;
    case SDLK_KP1: switchMultiplayerMode(2); break;
    case SDLK_KP2: switchMultiplayerMode(3); break;
    case SDLK_KP3: switchMultiplayerMode(4); break;
    case SDLK_KP7: setShotStats(true); break;
    case SDLK_KP4: setShotStats(false); break;
    case SDLK_KP9: setDamage(true); break;
    case SDLK_KP6: setDamage(false); break;
    case SDLK_KP_MULTIPLY: setDodge(true); break;
    default: {
        const std::string entry = catalogueKeyFor(key);
        // Keypad digits ("k0" to "k9") name no weapon; only the plain digit and letter keys do.
        if (entry.size() == 1) selectedWeapon = catalogue.getValue(entry);
        break;
    }
    }
    if (!selectedWeapon.empty()) switchWeapon(selectedWeapon);
}

void mainLoop::handleSimulatedShot(SDLKey key) {
    const std::string entry = catalogueKeyFor(key);
    if (entry.empty()) return;
    const std::string value = catalogue.getValue("s" + entry);
    if (!value.empty()) receiveSimulatedShot(std::atoi(value.c_str()));
}

void mainLoop::setShiftHeld(bool held) {
    shift = held;
    if (trace) std::fprintf(stderr, "kablix: shift %s\n", held ? "held" : "released");
}

void mainLoop::setMirrorMode(int mode) {
    screenMirrorMode = mode;
    if (trace) std::fprintf(stderr, "kablix: mirror mode %d\n", int(screenMirrorMode));
}

void mainLoop::setShakeAction(int action, const char* statusText) {
    app.setShakeAction(action);
    logStatus(statusText);
}

// A plain line: the message and a line end, without a flush.
void mainLoop::writeStatusMessage() {
    if (!tweets) tweets = new tweetGenerator();
    std::string message;
    tweets->generateTweet(message);
    std::cout << message << "\n";
}

void mainLoop::requestScreenshot() { screenshotRequested = true; }

void mainLoop::requestReload() { app.assetManager()->requestReload(); }

void mainLoop::toggleFireMode() { app.assetManager()->toggleAssetMode(); }

void mainLoop::toggleDebugLight() { app.assetManager()->toggleDebugLight(); }

void mainLoop::switchMultiplayerMode(int mode) { app.setMultiplayerMode(mode); }

void mainLoop::setShotStats(bool enabled) {
    app.assetManager()->setShotStats(enabled);
    logStatus(enabled ? "Ammo ON." : "Ammo OFF.");
}

void mainLoop::setDamage(bool enabled) {
    app.assetManager()->setDamageEnabled(enabled);
    logStatus(enabled ? "Damage ON." : "Damage OFF.");
}

void mainLoop::setDodge(bool pressed) { app.assetManager()->injectDodgeInput(pressed); }

// The weapon in use keeps working unless the new one passes the check.
void mainLoop::switchWeapon(const std::string& name, FireMode keepMode, bool review) {
    switch (app.takeWeapon(name, keepMode, review)) {
    case cApp::WeaponLoad::refused: logStatus("WEAPON LOADING CANCELLED!"); return;
    case cApp::WeaponLoad::failed: logStatus("THE ASSET FAILED TO LOAD!"); return;
    case cApp::WeaponLoad::loaded: break;
    }
    const displayFlags& flags = app.assetManager()->weaponDisplay();
    logStatus("FPS: ", flags.backgroundOff);
    logStatus("Portrait: ", flags.portraitDisplay);
}

void mainLoop::receiveSimulatedShot(int shotNumber) { app.receiveShot(shotNumber); }

void mainLoop::toggleHelp() { app.showHelp(app.helpShown() ? std::string() : helpPage()); }

std::string mainLoop::helpPage() const {
    std::string weapons, line;
    for (const std::string& key : catalogue.keyList()) {
        if (key.size() != 1) continue;  // shot entries (s…) and keypad entries (k…) name no weapon
        const std::string value = catalogue.getValue(key);
        std::string entry = key + " " + value + (value == app.weaponInHand() ? "*" : "") + "  ";
        if (line.size() + entry.size() > 80) {
            weapons += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "  " : "") + entry;
    }
    weapons += line;
    return "Kablix keys\n" + keyTable() + "\nWeapons (* in hand):\n" + weapons;
}

std::string catalogueKeyFor(SDLKey key) {
    if (key >= SDLK_0 && key <= SDLK_9) return std::string(1, char('0' + (key - SDLK_0)));
    if (key >= SDLK_a && key <= SDLK_z) return std::string(1, char('a' + (key - SDLK_a)));
    if (key >= SDLK_KP0 && key <= SDLK_KP9) return "k" + std::string(1, char('0' + (key - SDLK_KP0)));
    return std::string();
}

}  // namespace QEL
