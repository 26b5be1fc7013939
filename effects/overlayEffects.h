// Overlay hit effects: what the player sees and hears when another player's shot lands.
// cOverlayFXMgr reads the effects file (root <overlayHitEffects>) and owns its emitters and effects;
// an effect (cOverlayEffect) is a set of alternative spurts, one picked at random per hit; a spurt
// (cEffectSpurt) is one timed sequence of particle emissions with a sound, a damage range and an
// optional weapon-change command (carried out by the manager's changeWeapon). The asset manager owns two managers: the hit effects, and the
// weapon's particle layer, which is only a container of the weapons' emitters.
// Spurts borrow their emitters from their manager and their sound pool from the sound manager.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "xml/XMLSerializer.h"
#include "xml/xmlSchema.h"

namespace QEL {

// The effects file as one table (xml/xmlSchema.h), which cOverlayFXMgr and cEmitter read it through
// and the format guide prints. "emitter" names two elements, under <emitters> and under <spurt>:
// ask for it with its parent. The table is in hitEffectsFormat.cpp.
const xmlSchema& hitEffectsFormat();

class cEmitter;
class cOverlayEffect;
class cOverlayFXMgr;
class cSoundManager;
class cSoundPool;

class cEffectSpurt {
public:
    // Sound pools made by spurts hold this many copies of the sound.
    static constexpr int32_t kPoolInstances = 2;
    enum CommandType : int32_t { kNoCommand = 0, kChangeWeapon = 1 };

    cEffectSpurt(int32_t durationMs, int32_t damageMin, int32_t damageMax, cOverlayEffect* owner, int32_t spurtID);

    // Appends one emitter entry: `count` particles spread over the spurt after `delayMs`.
    // A null emitter (its name was not found) is kept in the lists but never emits.
    void addEntry(cEmitter* emitter, int32_t count, int32_t delayMs);

    // Starts (or restarts) the spurt: a weapon-change command first (which may end the play), then
    // the sound, the damage (dMin … dMax inclusive; dMin when dMax is not above it) and the first
    // emissions. `damage` is left untouched when the command ended the play.
    void play(int32_t& damage);
    // Emits what is due by `now`; true while the spurt runs. The first update after the end emits
    // whatever is still owed and stops the spurt.
    bool update(uint32_t now);

    bool running() const { return startTime != 0; }

    std::string soundFile;       // a sound name (soundFileName); empty for a silent spurt
    cSoundPool* pool = nullptr;  // made on first play; owned by the sound manager
    cOverlayEffect* owner;
    int32_t spurtID;
    int32_t commandType = kNoCommand;
    std::string command;  // weapon name for kChangeWeapon
    std::vector<cEmitter*> emitters;  // one per entry, borrowed, may be null
    std::vector<float> intervals;     // ms between emissions
    std::vector<float> lastTimes;     // clock ms of the last emission
    std::vector<int32_t> counts;      // particles to emit in total
    std::vector<int32_t> spawned;     // particles emitted so far
    std::vector<int32_t> delays;      // ms after the start before the entry begins
    int32_t durationMs;
    int32_t damageMin, damageMax;
    uint32_t startTime = 0;  // 0: not running
    uint32_t endTime = 0;

private:
    // True when the command ended the play (same weapon, or the new weapon was loaded).
    bool runCommand();
    void playSound();
    int32_t rollDamage() const;
    void emitEntry(size_t entry, int32_t particles);
};

class cOverlayEffect {
public:
    cOverlayEffect(int32_t id, const std::string& name, cOverlayFXMgr* owner);
    ~cOverlayEffect();
    cOverlayEffect(const cOverlayEffect&) = delete;
    cOverlayEffect& operator=(const cOverlayEffect&) = delete;

    void processSpurt(TiXmlElement* spurt);
    // Plays one spurt picked at random; its spurtID, or -1 (damage untouched) without spurts.
    int32_t play(int32_t& damage);
    // Advances the spurts on the program clock while any runs.
    void update();

    int32_t id;
    std::string name;
    cOverlayFXMgr* owner;
    uint32_t lastUpdate = 0;
    bool active = false;
    std::vector<cEffectSpurt*> spurts;  // owned, file order
};

class cOverlayFXMgr : public XMLSerializer {
public:
    cOverlayFXMgr(cSoundManager* soundManager, int32_t screenWidth, int32_t screenHeight);
    ~cOverlayFXMgr() override;
    cOverlayFXMgr(const cOverlayFXMgr&) = delete;
    cOverlayFXMgr& operator=(const cOverlayFXMgr&) = delete;

    // Reads an effects file through a document of its own, freed again before returning.
    bool loadRulesFile(const std::string& path);
    // Reads <overlayHitEffects>: its <emitters> first, then its <effects>.
    bool processRoot(TiXmlElement* root) override;

    // First emitter whose name equals `emitterName` exactly, or null.
    cEmitter* findEmitter(const std::string& emitterName) const;
    // Appends an emitter; ownership passes to the manager.
    void addEmitter(cEmitter* emitter);
    // First effect with that id, or null.
    cOverlayEffect* findEffect(int32_t id) const;

    // Advances the effects, then every emitter by the time since the previous update; true when
    // an emitter changed.
    bool update(uint32_t now);
    // Draws every emitter that has live particles, in list order.
    void draw();
    // Whether the next update changes what draw shows: an effect is playing or a particle lives.
    bool busy() const;
    // Deletes every effect (with its spurts), then every emitter.
    void clear();
    // The image file at `path` changed on disk: every emitter drawing it reads it again.
    void reloadPicture(const std::string& path);

    // The weapon-change command of a spurt, installed by whoever holds the weapon: given the
    // weapon's name, true when the hit ends there (that weapon is in hand, or was checked and
    // taken up). Without it every weapon change fails.
    std::function<bool(const std::string& weaponName)> changeWeapon;

    cSoundManager* soundManager;  // not owned
    std::vector<cEmitter*> emitters;       // owned, reading order
    std::vector<cOverlayEffect*> effects;  // owned, reading order
    int32_t screenWidth, screenHeight;
    uint32_t lastUpdate;  // clock ms of the previous update
    uint32_t lastStep = 0;

private:
    void processEffect(TiXmlElement* effect);
};

}  // namespace QEL
