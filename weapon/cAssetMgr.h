// cAssetMgr: the one object that holds the weapon in the user's hand, composed of its parts: the
// slots the weapon is loaded into (weaponSlots), the event recorder (weaponEvents), the screen
// (weaponScreen), the weapon file reader (which fills it through weaponLoadTarget), the loaded
// cAsset, and the firing state machine (weaponFiring), which it hands every input and turn. It
// also owns the shared sounds (empty click, shells hitting the floor, death cries), the hit effects
// and the weapon's particle layer, the damage display, the cartridge ejector and the debug light,
// and draws what the firing state machine shows (cAssetMgrDrawing.cpp).
//
// Slots, pools and emitters handed out to the asset are borrowed: nothing outside frees them.
// Everything runs on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/teamMode.h"
#include "render/types.h"
#include "stats/ScoreEvent.h"
#include "weapon/cAsset.h"
#include "weapon/weaponFiring.h"
#include "weapon/weaponLoadTarget.h"
#include "weapon/weaponSlots.h"
#include "weapon/weaponTest.h"

namespace QEL {

class QuadSet;
class cAssetSerializer;
class cCartridgeEjector;
class teamDamage;
class debugLight;
class cOverlayFXMgr;
class cSoundManager;
class cSoundPool;
class weaponEvents;
class weaponScreen;

// The weapon file reader fills the slots, the magazine and the cartridges through weaponLoadTarget;
// the firing state machine shows its pictures through firingOutput.
class cAssetMgr : private weaponLoadTarget, private firingOutput {
public:
    explicit cAssetMgr(cSoundManager* soundManager);
    ~cAssetMgr() override;
    cAssetMgr(const cAssetMgr&) = delete;
    cAssetMgr& operator=(const cAssetMgr&) = delete;

    // --- Loading (cAssetMgr.cpp) ---
    // Loads the weapon `checked` found (a check that failed still hands over what it parsed);
    // the fire mode chosen, or nothing when the file could not be read (the manager then holds no
    // weapon). It starts in `keepMode` when it offers that mode (a reload keeps the mode the
    // player chose), otherwise in its own start mode.
    std::optional<FireMode> loadAsset(const checkedWeapon& checked, FireMode keepMode = kNoFireMode);
    // Stores the events of the weapon being put down and empties every slot.
    void unloadAsset();
    bool loadImageIntoSlot(int32_t slot, intColor padColor, const std::string& fileName) override;
    bool loadSoundIntoSlot(int32_t slot, int32_t offset, int32_t instances, const std::string& fileName) override;
    // Sets up the magazine; returns the slot showing the rounds, or null when none is shown.
    QuadSet* setAmmo(int32_t rounds, int32_t imageIndex) override;
    // Next available fire mode (auto → burst → single).
    int32_t toggleAssetMode() { return firing->nextMode(); }
    // Logs the event line (unless `logged` is false) and keeps the event for the score database
    // (idle events are only logged). Received hits are summed into one event, so that a flood of
    // them takes no memory.
    void recordEvent(int32_t type, int32_t data1, int32_t data2, bool logged = true);
    bool storeEventsToDB();
    // What the last load could not use (a picture refused, a sound that does not decode), one
    // sentence each naming its file: the weapon loads without it, and the player is told once.
    const std::vector<std::string>& loadProblems() const { return slots->loadProblems(); }
    // Image slot `index`, or the default slot for any index outside 0 to 14.
    QuadSet* imageSlot(int32_t index) override;

    // --- Files changed on disk (cAssetMgr.cpp) ---
    // The catalogue name the last weapon load read, kept when that load failed (so that its file
    // is watched until it is mended); empty before the first load.
    const std::string& weaponSource() const { return sourceName; }
    // The display flags the check of the last weapon load found.
    const displayFlags& weaponDisplay() const { return display; }
    // Every file read that is read again when it changes: the last weapon load's (its file,
    // pictures, sounds and the variants looked for, particle pictures), the hit effects' file and
    // pictures, every decoded sound file. Paths as assetPath spells them.
    std::vector<std::string> filesInUse() const;
    // Counts the reads that can change filesInUse: weapon loads and hit effects reads.
    uint32_t filesVersion() const { return filesRead; }
    // The file at `path` (as filesInUse spells it) changed on disk: a decoded sound is decoded
    // again, particle pictures drawn from it are read again, the hit effects file is read again.
    // True when the weapon is to be loaded again: the last weapon load read the file, or it is
    // the hit effects file.
    bool fileChanged(const std::string& path);

    // --- Firing (weaponFiring.h says what each does; a hit taken in cAssetMgrFiring.cpp) ---
    void injectInputDown() { firing->triggerDown(); }
    void injectInputUp() { firing->triggerUp(); }
    bool requestReload() { return firing->reload(); }
    void tapInput() { firing->tap(); }
    bool injectDodgeInput(bool pressed) { return firing->shield(pressed); }
    // A peer's shot with overlay effect `effectId` hit this player; `logged` false leaves out its
    // event line (the network's log budget is spent).
    void receiveHit(int32_t effectId, bool logged = true);
    // Whether EFFECTS.xml has an effect `effectId` (any id, when it gave no effects at all).
    bool knowsHitEffect(int32_t effectId) const;
    // One turn on the clock reading `now`: every side effect of the frames due, and the picture
    // drawn when `drawPicture` is set (otherwise the picture on screen stays). `netShotOut`
    // receives the shot number a frame asked to send since the last turn (-1 when none).
    // False without a weapon.
    bool update(uint32_t now, int32_t& netShotOut, bool drawPicture = true);

    // --- What the main loop asks and switches (cAssetMgrDrawing.cpp) ---
    // Whether update(now) can show anything but the picture drawn last: a change made since the
    // last pictureShown, an animation frame due, a layer in motion.
    bool pictureDue(uint32_t now) const;
    // Milliseconds from `now` until the playing animation shows another frame or runs out; -1 at rest.
    int32_t msToNextFrame(uint32_t now) const { return firing->msToNextFrame(now); }
    // Whether the last update drew the screen (with no weapon it did not).
    bool drewPicture() const { return drewScreen; }
    // The picture drawn is on screen: changes are counted from here.
    void pictureShown() { dirty = false; }
    void toggleDebugLight();
    // Shot events recorded or not; hits taking health or not.
    void setShotStats(bool enabled) { firing->setShotStats(enabled); }
    void setDamageEnabled(bool enabled) { damageEnabled = enabled; }
    bool damageIsEnabled() const { return damageEnabled; }
    // The team game's mode for the damage display (0 and 1: no team game).
    void setTeamMode(TeamMode mode);

    // --- Preview (cAssetMgrDrawing.cpp) ---
    // Previewing: the weapon is only looked at. The firing state machine stands still, update
    // shows the frame chosen by previewFrame (nothing before the first choice), and no event
    // goes to the score database. For the whole run, before the first weapon is loaded.
    void setPreviewing() { previewing = true; }
    // Shows frame `frame` of the weapon's animation number `animation` (file order) from now on,
    // as newly shown: its side effects fire now, and a first frame finds the magazine full. A
    // frame that does not exist shows no weapon picture and returns false.
    bool previewFrame(size_t animation, size_t frame);

    // --- Read-only views ---
    const cAsset* weapon() const { return asset.get(); }
    // The screen rectangles (pixels, y down) the magazine's rounds and the fire-mode switch cover,
    // for text that must not hide them; a turned round counts as the square around it.
    std::vector<IntCoords> hudRectangles() const;
    const teamDamage& damageDisplay() const { return *damage; }
    FireMode currentFireMode() const { return firing->fireMode(); }
    // Rounds in the magazine (0 when empty or not counted) and its size (0: not counted).
    int32_t roundsLoaded() const { return firing->roundsLoaded(); }
    int32_t magazineCapacity() const { return firing->magazineCapacity(); }
    // The name of the playing animation; empty at rest.
    std::string playingAnimation() const { return firing->playing() ? firing->playing()->name : std::string(); }
    bool isEmpty() const { return firing->isEmpty(); }
    bool playerDead() const;
    bool dodging() const;
    // What the weapon file reader filled in, for the format checks.
    const cSoundSlot* soundSlot(int32_t index) const { return slots->sound(index); }
    const cCartridgeEjector& cartridgeEjector() const { return *ejector; }
    const cOverlayFXMgr& particles() const { return *particleLayer; }
    const cAssetSerializer& reader() const { return *serializer; }

private:
    // The rest of what the weapon file reader fills (weaponLoadTarget.h).
    cSoundSlot* soundSlotAt(int32_t index) override { return slots->sound(index); }
    int32_t soundOffset(int32_t index) const override { return slots->soundOffset(index); }
    cCartridgeEjector& cartridges() override { return *ejector; }
    cEmitter* weaponEmitter(const std::string& file, BlendMode blend) override;

    // A hit that kills (cAssetMgrFiring.cpp).
    void stopAllSounds();

    // What the firing state machine shows (firingOutput, cAssetMgrDrawing.cpp). While `drawing`
    // is off only the side effects happen.
    void showFrame(cAnimFrame* frame, bool repeat) override;
    // What a weapon with nothing to show at rest still has on screen.
    void showWithoutWeapon() override;
    void fireFrameEffects(cAnimFrame* frame) override;
    void showMode(FireMode mode) override;
    void changed() override { dirty = true; }
    // update's work with a weapon in hand: the layers move, then the firing state machine's turn.
    bool advance(uint32_t now, int32_t& netShotOut);
    // Starts one of the slot's pools; without overlap the frame sounds still playing stop first,
    // with overlap at most two play at once.
    void playFrameSound(cSoundSlot* slot);
    // Counts the frame's rounds and throws its cartridges.
    void ejectCartridges(const cAnimFrame* frame);
    void stopFrameSound(int32_t id);
    void pruneFrameSounds();
    bool animationFrameDue(uint32_t now) const;
    // update's work while previewing: the previewed frame, never new.
    bool showPreviewed();

    // Loading (cAssetMgr.cpp).
    // Reads EFFECTS.xml into hitEffects, dropping what it held.
    void loadHitEffects();
    bool changeWeaponOnHit(const std::string& weaponName);
    void clearSlots();

    // The recorded events, the weapon in hand, its firing state machine, and what the manager owns.
    std::unique_ptr<weaponEvents> events;  // goes last: putting the weapon down stores its events
    bool dirty = true;        // something shown changed since the last picture
    bool drawing = true;      // off: update advances and fires every side effect but draws nothing
    bool drewScreen = false;  // set by showFrame when it drew; cleared at each update
    std::unique_ptr<cAsset> asset;
    std::unique_ptr<cAssetSerializer> serializer;
    std::unique_ptr<cCartridgeEjector> ejector;
    std::unique_ptr<teamDamage> damage;
    std::unique_ptr<QEL::debugLight> debugLight;
    std::unique_ptr<weaponSlots> slots;
    std::unique_ptr<weaponScreen> screen;  // draws the layers, borrowing them
    // Borrows the asset (between loadAsset and unloadAsset), the events, the damage display and
    // the debug light; goes before them.
    std::unique_ptr<weaponFiring> firing;
    cSoundPool* emptyClick = nullptr;  // owned by the sound manager
    cSoundManager* soundManager;              // not owned
    std::vector<int32_t> playingFrameSounds;  // ids of sounds started by frames
    int32_t pendingNetShot = -1;
    std::unique_ptr<cOverlayFXMgr> hitEffects;
    std::unique_ptr<cOverlayFXMgr> particleLayer;
    bool damageEnabled = true;
    bool previewing = false;
    cAnimFrame* previewed = nullptr;  // the frame a preview shows; null: none
    // The weapon's row in the score database: a base-folder weapon's own name (as it always was),
    // a pack's weapon "PACK/WEAPON", so that two packs' weapons of one name keep two rows.
    std::string scoreName() const { return loadPlace.pack.empty() ? asset->name : sourceName; }

    std::string sourceName;                 // see weaponSource
    assetPlace loadPlace;                   // where the weapon in hand (or being loaded) has its files
    displayFlags display;                   // see weaponDisplay
    std::vector<std::string> sourceFiles;   // the weapon file and particle pictures the last load read
    uint32_t filesRead = 0;                 // see filesVersion
};

}  // namespace QEL
