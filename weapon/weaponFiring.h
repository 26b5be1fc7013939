// The firing state machine of the weapon in hand: what a press, a held trigger, a release, the
// shield and a reload do, which animation follows the one that ran out, which frame each turn
// shows, and the magazine. Its state is the playing animation (by its role) with the trigger, the
// fire mode and the rounds left; there is no state variable of its own.
//
// Owned by cAssetMgr. Borrows the weapon (cAsset, between takeUp and putDown), the event
// recorder, the damage display, the debug light and the empty click, all of which outlive it; it
// shows pictures and fires frame side effects through firingOutput. Main thread only.
#pragma once

#include <cstdint>

#include "stats/ScoreEvent.h"

namespace QEL {

class cAsset;
class cAnimation;
class cAnimFrame;
class cSoundPool;
class debugLight;
class teamDamage;
class weaponEvents;

// What the firing state machine shows through; the asset manager draws and fires side effects.
class firingOutput {
public:
    virtual ~firingOutput() = default;
    // Draws the whole screen with `frame` as the weapon picture; a frame that is not a repeat
    // fires its side effects. The output reports the frame back through setShownFrame.
    virtual void showFrame(cAnimFrame* frame, bool repeat) = 0;
    // Every layer but the weapon picture and its background.
    virtual void showWithoutWeapon() = 0;
    // Sound, cartridges with their rounds, particles, network value, light of one frame.
    virtual void fireFrameEffects(cAnimFrame* frame) = 0;
    // The fire-mode switch shows `mode`.
    virtual void showMode(FireMode mode) = 0;
    // Something shown changed: a picture is due.
    virtual void changed() = 0;
};

class weaponFiring {
public:
    // The parts the machine reaches, all owned by the asset manager.
    struct parts {
        firingOutput& output;
        weaponEvents& events;
        teamDamage& damage;
        debugLight& light;
        cSoundPool* emptyClick;  // owned by the sound manager; null when it did not load
    };
    explicit weaponFiring(const parts& reached);
    weaponFiring(const weaponFiring&) = delete;
    weaponFiring& operator=(const weaponFiring&) = delete;

    // --- The weapon ---
    // Takes up the loaded `weapon` (the magazine was set while it loaded).
    void takeUp(cAsset* weapon) { asset = weapon; }
    // At rest, no fire mode, no magazine, no weapon.
    void putDown();
    // `rounds` rounds, all loaded; 0: the weapon counts no ammunition.
    void setMagazine(int32_t rounds);
    // Next available fire mode (auto → burst → single); the first call after takeUp picks the
    // start: `keepMode` when the weapon offers it, else the weapon's own start mode.
    FireMode nextMode(FireMode keepMode = kNoFireMode);

    // --- Inputs ---
    // The trigger; while the player is dead a press digs and a release arms the next dig.
    void triggerDown();
    void triggerUp();
    // True when the reload animation started.
    bool reload();
    // A press and release at once; a reload when the magazine is empty.
    void tap();
    // The shield input; true when the player is now dodging (which lets go of the trigger).
    bool shield(bool pressed);
    // The player died: the weapon stops where it is.
    void stop() { setAnimation(nullptr); }

    // --- Turns ---
    // One turn on the clock reading `now`: the frame due (and the skipped frames' side effects),
    // or what follows an animation that ran out, or the rest picture. False without a weapon.
    bool turn(uint32_t now);
    // Whether turn(now) shows another frame than the one shown last.
    bool newFrameDue(uint32_t now) const;
    // Milliseconds from `now` until the playing animation shows another frame or runs out; -1 at rest.
    int32_t msToNextFrame(uint32_t now) const;
    // The output showed `frame` (null: no weapon picture on screen).
    void setShownFrame(cAnimFrame* frame) { currentFrame = frame; }
    cAnimFrame* shownFrame() const { return currentFrame; }

    // --- The magazine ---
    // Counts `rounds` fired: the light, the shot event of a shot, burst or last shot, the magazine.
    void recordShot(int32_t rounds);
    // Every round back in the magazine and on screen.
    void refillMagazine();
    // Shot events recorded or not.
    void setShotStats(bool enabled) { shotStatsEnabled = enabled; }

    // --- Read-only views ---
    FireMode fireMode() const { return mode; }
    bool triggerHeld() const { return inputHeld; }
    const cAnimation* playing() const { return currentAnimation; }
    // Rounds in the magazine (0 when empty or not counted) and its size (0: not counted).
    int32_t roundsLoaded() const { return roundsLeft + 1; }
    int32_t magazineCapacity() const { return magazineSize; }
    bool isEmpty() const { return magazineSize != 0 && roundsLeft < 0; }

private:
    // Starts `animation` (null: at rest) on the program clock; its first frame is shown anew.
    void setAnimation(cAnimation* animation);
    // Whether input may cut the playing animation short; cutting a shot short records an
    // interrupted shot.
    bool canInterrupt();
    // The parts of a press with the weapon free to fire; each true when it handled the press.
    bool pressStartsIntro();
    bool pressFindsEmpty();
    bool pressStartsFirst();
    void pressStartsShot(int32_t rounds);
    // The intro starts at the first press.
    void startIntroAtRest();
    // A charging first shot gives way to the real shot when the trigger is let go.
    void releaseCharge();
    void recordShotFor(cAnimation* next, int32_t rounds);
    // What follows the animation that ran out (null: rest); counts the round it starts with.
    cAnimation* nextAnimation();
    cAnimation* nextWhileHeld();
    // "emptyState" when empty, else a random idle, else null.
    cAnimation* restAnimation();
    // What stands still at rest without idles: the wind-down, else burst1 or shot1 by the fire
    // mode (its last frame shows); null when there is none. Both turn and newFrameDue ask it.
    const cAnimation* stillAnimation() const;
    bool offersMode(FireMode wanted) const;
    FireMode startMode(FireMode keepMode) const;
    FireMode modeAfter(FireMode current) const;
    bool turnRunOut(cAnimation* ranOut);
    bool turnAtRest();
    void fireRunOutTail(cAnimation* ranOut);
    // Fires the side effects of the frames strictly between `shown` and `next` of one animation.
    void catchUpFrames(cAnimFrame* shown, cAnimFrame* next);
    cAnimFrame* frameDue(const cAnimation* animation, uint32_t now) const;
    bool runsOut(const cAnimation* animation, uint32_t now) const;
    void recordEvent(int32_t type, int32_t data1, int32_t data2);

    parts reached;
    cAsset* asset = nullptr;  // the weapon in hand; null: none
    FireMode mode = kNoFireMode;
    bool inputHeld = false;
    cAnimation* currentAnimation = nullptr;  // null: at rest
    cAnimFrame* currentFrame = nullptr;      // the weapon picture on screen; null: none
    uint32_t animationStart = 0;
    int32_t magazineSize = 0;  // 0: the weapon counts no ammunition
    int32_t roundsLeft = -1;   // index of the last round in the magazine; -1 when empty
    bool shotStatsEnabled = true;
    bool restProblemReported = false;  // the weapon has nothing to show at rest, already said
};

}  // namespace QEL
