#include "app/mainLoop.h"

#include "base/appTime.h"
#include "app/cApp.h"
#include "app/liveReload.h"
#include "app/weaponChooser.h"
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
#include <vector>

namespace QEL {

namespace {

// Seconds on the steady clock (CLOCK_MONOTONIC), comparable with other processes' readings.
double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

mainLoop::mainLoop(cApp& app, const dataFileReader& catalogue, weaponListing listing, bool traceInput,
                   bool traceFrames)
    : app(app), catalogue(catalogue), trace(traceInput), traceFrames(traceFrames),
      reload(std::make_unique<liveReload>(*app.assetManager())),
      chooser(std::make_unique<weaponChooser>(std::move(listing), catalogueKeys(catalogue))) {}

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
    case SDL_KEYDOWN: dispatch(InputDevice::key, event.key.keysym.sym, InputEdge::press); break;
    case SDL_KEYUP: dispatch(InputDevice::key, event.key.keysym.sym, InputEdge::release); break;
    case SDL_MOUSEBUTTONDOWN:
        dispatch(InputDevice::mouseButton, event.button.button, InputEdge::press, event.button.x, event.button.y);
        break;
    case SDL_MOUSEBUTTONUP: dispatch(InputDevice::mouseButton, event.button.button, InputEdge::release); break;
    case SDL_JOYBUTTONDOWN: dispatch(InputDevice::joyButton, event.jbutton.button, InputEdge::press); break;
    case SDL_JOYBUTTONUP: dispatch(InputDevice::joyButton, event.jbutton.button, InputEdge::release); break;
    case SDL_JOYAXISMOTION: onAxisMotion(event.jaxis.axis, event.jaxis.value); break;
    case SDL_VIDEORESIZE: app.setViewport(event.resize.w, event.resize.h); break;
    case SDL_QUIT: quit = true; break;
    default: break;
    }
}

void mainLoop::dispatch(InputDevice device, int32_t code, InputEdge edge, int32_t x, int32_t y) {
    if (page != Page::closed) {
        for (const InputBinding& row : inputBindings()) {
            if (onPageOnly(row.action) && bindingMatches(row, device, code, edge, shift)) return choose(row, x, y);
        }
    }
    for (const InputBinding& row : inputBindings()) {
        if (!onPageOnly(row.action) && bindingMatches(row, device, code, edge, shift)) perform(row, code, x, y);
    }
}

void mainLoop::onAxisMotion(int32_t axis, int32_t value) {
    bool& pressed = axisPressed[static_cast<size_t>(axis) % axisPressed.size()];
    if (!pressed && value >= kAxisPressed) {
        pressed = true;
        dispatch(InputDevice::joyAxis, axis, InputEdge::press);
    } else if (pressed && value < kAxisReleased) {
        pressed = false;
        dispatch(InputDevice::joyAxis, axis, InputEdge::release);
    }
}

void mainLoop::perform(const InputBinding& row, int32_t code, int32_t x, int32_t y) {
    switch (row.action) {
    case InputAction::pointerDown:
        app.onMouseDown(x, y);
        if (traceFrames && pressHandledAt < 0) pressHandledAt = steadySeconds();
        break;
    case InputAction::pointerUp:
    case InputAction::triggerDown:
    case InputAction::triggerUp:
    case InputAction::nextFireMode:
    case InputAction::reload:
    case InputAction::shieldDown:
    case InputAction::shieldUp:
    case InputAction::shake: app.act(row.action); break;
    case InputAction::pickWeapon: pickWeapon(code); break;
    case InputAction::nextWeapon: stepWeapon(1); break;
    case InputAction::previousWeapon: stepWeapon(-1); break;
    case InputAction::simulatedHit: simulateHit(code); break;
    case InputAction::chooseShake: setShakeAction(row.argument); break;
    case InputAction::statusMessage: writeStatusMessage(); break;
    case InputAction::mirror: setMirrorMode(static_cast<MirrorMode>(row.argument)); break;
    case InputAction::screenshot: screenshotRequested = true; break;
    case InputAction::fullScreen: app.toggleFullScreen(); break;
    case InputAction::help: toggleHelp(); break;
    case InputAction::escape: escape(); break;
    case InputAction::networkMode: app.setMultiplayerMode(static_cast<TeamMode>(row.argument)); break;
    case InputAction::shotStats: setShotStats(row.argument != 0); break;
    case InputAction::damage: setDamage(row.argument != 0); break;
    case InputAction::debugLight: app.assetManager()->toggleDebugLight(); break;
    case InputAction::shiftDown: setShiftHeld(true); break;
    case InputAction::shiftUp: setShiftHeld(false); break;
    case InputAction::chooserUp:
    case InputAction::chooserDown:
    case InputAction::chooserPoint:
    case InputAction::chooserTake:
    case InputAction::chooserKeys: break;  // the page's own (dispatch)
    }
}

void mainLoop::setShiftHeld(bool held) {
    shift = held;
    if (trace) std::fprintf(stderr, "kablix: shift %s\n", held ? "held" : "released");
}

void mainLoop::setMirrorMode(MirrorMode mode) {
    screenMirrorMode = mode;
    if (trace) std::fprintf(stderr, "kablix: mirror mode %d\n", static_cast<int>(screenMirrorMode));
}

void mainLoop::setShakeAction(int action) {
    static const char* const kStatus[] = {"ON SHAKE:  RELOAD", "ON SHAKE:  FIRE", "ON SHAKE:  FIRE + RELOAD",
                                          "ON SHAKE:  NONE"};
    app.setShakeAction(static_cast<cApp::ShakeAction>(action));
    logStatus(kStatus[action]);
}

// A plain line: the message and a line end, without a flush.
void mainLoop::writeStatusMessage() {
    if (!tweets) tweets = new tweetGenerator();
    std::string message;
    tweets->generateTweet(message);
    std::cout << message << "\n";
}

void mainLoop::escape() {
    if (page != Page::closed)
        showPage(Page::closed);
    else
        quit = true;
}

void mainLoop::setShotStats(bool enabled) {
    app.assetManager()->setShotStats(enabled);
    logStatus(enabled ? "Ammo ON." : "Ammo OFF.");
}

void mainLoop::setDamage(bool enabled) {
    app.assetManager()->setDamageEnabled(enabled);
    logStatus(enabled ? "Damage ON." : "Damage OFF.");
}

void mainLoop::pickWeapon(int32_t key) {
    const std::string name = catalogue.getValue(catalogueKeyFor(static_cast<SDLKey>(key)));
    if (!name.empty()) switchWeapon(name);
}

void mainLoop::simulateHit(int32_t key) {
    const std::string value = catalogue.getValue("s" + catalogueKeyFor(static_cast<SDLKey>(key)));
    if (!value.empty()) app.receiveShot(std::atoi(value.c_str()));
}

void mainLoop::stepWeapon(int32_t by) {
    const std::string next = chooser->step(app.weaponInHand(), by);
    if (!next.empty()) switchWeapon(next);
}

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
    if (page == Page::weapons) {  // a key's weapon is selected too, and marked; a reload moves nothing
        chooser->show(app.helpPageLines() - 2, review ? chooser->selected() : name);
        showPage(page);
    }
}

void mainLoop::toggleHelp() {
    if (page == Page::closed) chooser->show(app.helpPageLines() - 2, app.weaponInHand());
    showPage(page == Page::closed ? Page::weapons : Page::closed);
}

void mainLoop::showPage(Page shown) {
    page = shown;
    app.showHelp(page == Page::closed ? std::string() : helpPage());
}

void mainLoop::choose(const InputBinding& row, int32_t x, int32_t y) {
    const InputAction action = row.action;
    if (action == InputAction::chooserKeys) return showPage(page == Page::keys ? Page::weapons : Page::keys);
    if (page != Page::weapons) return;
    if (action == InputAction::chooserTake) return switchWeapon(chooser->selected());
    const std::string before = chooser->selected();
    if (action == InputAction::chooserPoint) chooser->selectLine(app.helpLineAt(x, y) - 1);  // below the title
    if (action == InputAction::chooserUp || action == InputAction::chooserDown) {
        const int32_t steps = row.argument == 1 ? std::max(1, app.helpPageLines() - 3) : 1;  // a page less its heading
        chooser->move(action == InputAction::chooserUp ? -steps : steps);
    }
    if (chooser->selected() == before) return;
    if (trace) std::fprintf(stderr, "kablix: chooser selects %s\n", chooser->selected().c_str());
    showPage(page);
}

// The title line names the network room: the page has no line to spare.
std::string mainLoop::helpPage() const {
    const std::string room = app.roomName().empty() ? "the default room" : "room " + app.roomName();
    if (page == Page::keys) return "Kablix keys (network: " + room + ")\n" + inputHelp();
    return "Kablix weapons, " + std::to_string(chooser->selectedPlace()) + " of " +
           std::to_string(chooser->weapons().size()) + " (network: " + room + ")\n" + chooser->view(app.weaponInHand()) +
           "\nUp, Down, wheel, click: select   Return: take up   Tab: keys   F12: close";
}

std::string catalogueKeyFor(SDLKey key) {
    if (key >= SDLK_0 && key <= SDLK_9) return std::string(1, char('0' + (key - SDLK_0)));
    if (key >= SDLK_a && key <= SDLK_z) return std::string(1, char('a' + (key - SDLK_a)));
    if (key >= SDLK_KP0 && key <= SDLK_KP9) return "k" + std::string(1, char('0' + (key - SDLK_KP0)));
    return std::string();
}

}  // namespace QEL
