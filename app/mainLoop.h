// The main loop: turns SDL events into the actions of the input table (inputTable.h) and carries
// them out on the application object, the display and the weapon catalogue, and runs one frame
// per turn until a quit was requested; a turn draws and shows a picture only when it can differ
// from the one on screen. Lives in main from the end of start-up to shutdown; borrows the
// application object and the catalogue, and owns F12's weapon chooser with the listing it shows.
#pragma once

#include <SDL/SDL.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "app/inputTable.h"
#include "app/weaponListing.h"
#include "stats/ScoreEvent.h"

namespace QEL {

class cApp;
enum class MirrorMode : int32_t;
class dataFileReader;
class liveReload;
class tweetGenerator;
class weaponChooser;

class mainLoop {
public:
    // traceInput: write a line to standard error for every state change that shows nothing on
    // standard output (mirroring, Shift, the chooser's selection) and the frame count at the end,
    // so that tests can see them.
    // traceFrames: for the timing program, the frame count once a second and when each press was shown.
    // `listing`: every weapon F12's chooser offers and next/previous weapon walk through.
    mainLoop(cApp& app, const dataFileReader& catalogue, weaponListing listing, bool traceInput,
             bool traceFrames = false);
    ~mainLoop();

    // Runs turns until a quit was requested; the turn that sees the quit still draws its frame.
    void run();

    // One SDL event: a key, a mouse or gamepad button, a gamepad axis, a resize or a quit request.
    void handleEvent(const SDL_Event& event);

    bool quitRequested() const { return quit; }
    bool shiftHeld() const { return shift; }
    unsigned long framesDrawn() const { return frames; }

private:
    using Clock = std::chrono::steady_clock;
    // A display refresh at 60 Hz: the shortest time between two pictures and the longest turn.
    static constexpr std::chrono::microseconds kRefresh{16667};
    // How often a waiting loop looks for input: 2 ms is all a press may wait once it can be shown.
    static constexpr std::chrono::microseconds kInputPoll{2000};

    // Shows the picture the turn drew (answering F1 first).
    void showPicture();
    // Live reload: a weapon whose files were saved is loaded again as its catalogue key loads it,
    // in the fire mode in use when the new file still offers it.
    void reloadChangedWeapon();
    // Frame pacing: waits until the next turn is due (see mainLoop.cpp).
    void paceTurn(Clock::time_point turnStart, bool drawn);
    bool inputWaiting();

    // Carries out every row of the input table that `code` of `device` matches at `edge`, in
    // table order; (x, y) is a pointer's position.
    void dispatch(InputDevice device, int32_t code, InputEdge edge, int32_t x = 0, int32_t y = 0);
    // An axis is pressed or released when it moves past the thresholds (inputTable.h).
    void onAxisMotion(int32_t axis, int32_t value);
    void perform(const InputBinding& row, int32_t code, int32_t x, int32_t y);

    // The bindings that are more than one call.
    void setShiftHeld(bool held);
    void setMirrorMode(MirrorMode mode);
    void setShakeAction(int action);
    void writeStatusMessage();
    // F12's page: the weapon chooser, or the keys (Tab switches); shown again whenever it changes.
    enum class Page { closed, weapons, keys };
    void toggleHelp();
    void showPage(Page shown);
    void escape();
    // The chooser's actions while the page is open.
    void choose(const InputBinding& row, int32_t x, int32_t y);
    std::string helpPage() const;
    void setShotStats(bool enabled);
    void setDamage(bool enabled);
    // The catalogue's weapon on digit or letter key `key`, or the shot on its "s" entry.
    void pickWeapon(int32_t key);
    void simulateHit(int32_t key);
    // The listing's weapon `by` places (1 or -1) from the one in hand.
    void stepWeapon(int32_t by);
    // keepMode: the fire mode to start in when the weapon offers it (kNoFireMode: its own start
    // mode). `review`: the weapon was saved while in hand (cApp::takeWeapon).
    void switchWeapon(const std::string& name, FireMode keepMode = kNoFireMode, bool review = false);

    // Trace lines with steady-clock seconds: "kablix: frame count N at T s" at most once a
    // second, and "kablix: press handled at T s, shown at T s" for the first frame after a press.
    void traceTurn(bool drawn);

    cApp& app;
    const dataFileReader& catalogue;
    bool trace;
    bool traceFrames;
    tweetGenerator* tweets = nullptr;  // owned; made by the first status message request
    std::unique_ptr<liveReload> reload;
    std::unique_ptr<weaponChooser> chooser;
    Page page = Page::closed;
    bool quit = false;
    // F1 is answered after the next frame is drawn and before it is swapped: the back buffer
    // holds no defined picture between a swap and the next frame.
    bool screenshotRequested = false;
    bool shift = false;
    std::array<bool, 256> axisPressed{};  // by axis number, whichever pad moved it
    bool redrawNeeded = true;       // an event may have changed the picture; none is shown yet at first
    Clock::time_point lastPicture;  // start of the last turn that drew
    unsigned long frames = 0;
    double pressHandledAt = -1;  // seconds; -1 when no press waits to be shown
    double nextFrameCountAt = 0;
};

// Hands every waiting SDL event to `handle`; true when one of them may change what is shown:
// anything but pointer and joystick motion (an exposed window needs its picture again).
template <class Handle>
bool handleWaitingEvents(Handle handle) {
    bool showable = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        handle(event);
        showable = showable || (event.type != SDL_MOUSEMOTION && event.type != SDL_JOYAXISMOTION);
    }
    return showable;
}

// The catalogue key a key symbol stands for: "0"…"9" and "a"…"z" for the digit and letter
// keys, "k0"…"k9" for the keypad digits; empty for every other key.
std::string catalogueKeyFor(SDLKey key);

}  // namespace QEL
