// The preview for pack authors (--preview): the weapon in hand stands on one frame of one of its
// animations, and keys step through the frames, move between the animations in file order, and
// play them in a loop at 1/8 to 1 times 30 frames per second. Every frame shown fires its side
// effects and prints "preview: ANIMATION N/COUNT"; a panel names the animation, the frame, its
// image and sound slots and the speed, and crosses mark the frame's eject and spawn points.
// Nothing fires on its own and nothing is stored (cAssetMgr::setPreviewing). Saving the weapon's
// files loads it again, as in the game. Runs its own loop in
// place of the main loop; lives in main and borrows the application object.
#pragma once

#include <SDL/SDL.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "render/QuadSet.h"
#include "render/textPanel.h"

namespace QEL {

class cApp;
class cAnimation;
class cAsset;
class liveReload;

class weaponPreview {
public:
    // `animation`: the name to open on; empty for the weapon's first animation. Puts the asset
    // manager into preview before any weapon is loaded.
    weaponPreview(cApp& app, std::string animation);
    ~weaponPreview();

    // Shows the weapon loaded by then, then runs turns until Escape or a quit request.
    void run();

    // To call after the weapon in hand was loaded again: shows the animation of the same name
    // (the first when it is gone) at the same frame (its last when it now has fewer) anew.
    void reloaded();

    // One SDL event: a key, a resize or a quit request.
    void handleEvent(const SDL_Event& event);

private:
    using Clock = std::chrono::steady_clock;
    // A display refresh at 60 Hz: the longest a key waits.
    static constexpr std::chrono::microseconds kRefresh{16667};
    static constexpr std::chrono::microseconds kFramePeriod{33333};  // 30 frames per second
    static constexpr int32_t kSlowest = 3;  // speeds 1, 1/2, 1/4 and 1/8: halvings of 30 frames/s

    // The animation of the name kept, else the weapon's first; the frame kept, within its frames.
    void findAnimation(const cAsset& weapon);
    void onKey(SDLKey key);
    // Steps `by` frames (or animations) with wrap-around at either end, as playing loops.
    void stepFrame(int32_t by);
    void stepAnimation(int32_t by);
    void togglePlaying();
    void setSpeed(int32_t halvings);
    std::chrono::microseconds framePeriod() const;
    // While playing: the next frame, once it is due.
    void playTurn(Clock::time_point now);

    const cAnimation* animation() const;
    // Shows the chosen frame as newly shown, with its line, its panel and its marks.
    void show();
    void updatePanel();
    void placeMarks();
    void drawOverlay();
    void presentPicture();
    // A save of the weapon's files loads it again and shows the same animation and frame.
    void reloadChangedWeapon();

    cApp& app;
    std::string animationName;  // kept by name: a reload replaces every animation
    size_t animationIndex = 0;  // in file order
    size_t frame = 0;           // index of the shown <frame>
    bool playing = false;
    int32_t halvings = 0;       // the speed is 1 / 2^halvings
    Clock::time_point nextStepAt;
    bool quit = false;
    bool screenshotRequested = false;
    bool redrawNeeded = true;
    std::unique_ptr<TextFont> font;
    TextPanel panel;
    QuadSet marks;  // a cross at each eject and spawn point of the shown frame
    std::unique_ptr<liveReload> watch;
};

}  // namespace QEL
