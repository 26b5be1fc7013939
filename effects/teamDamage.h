// teamDamage: the player's health in a team game and everything it shows: armour icons while
// armour (health above 100) remains, a darkening and reddening screen as health falls, the shield
// that the dodge input raises (dodgeShield), and the death screen on which the player digs out by
// pressing the input repeatedly. Health regenerates slowly below 100; armour does not.
// Two layouts: landscape, or portrait (for a weapon held upright: setPortrait), which turns most
// elements by 90 degrees. One teamDamage per asset manager; it owns the shield and all its
// QuadSets. Sounds, pools and variants belong to the sound manager.
#pragma once

#include <cstdint>
#include <memory>

#include "base/teamMode.h"
#include "render/types.h"

namespace QEL {

class Quad;
class QuadSet;
class cSound;
class cSoundManager;
class cSoundPool;

class dodgeShield {
public:
    static constexpr float kMaxEnergy = 320.0f;
    static constexpr float kRechargePerMs = 0.04f;

    explicit dodgeShield(cSoundManager* soundManager);
    ~dodgeShield();
    dodgeShield(const dodgeShield&) = delete;
    dodgeShield& operator=(const dodgeShield&) = delete;

    // Full energy, lowered, intact, turned for the current layout.
    void reset();
    void setColors(const Color& teamColor);
    // The layout of the weapon in hand: portrait for one held upright. Takes effect at the next reset.
    void setPortrait(bool upright) { portrait = upright; }
    // Raises or lowers the shield (the dodge input is held or released).
    void setDodge(bool on);
    // Takes `amount` (negative) of energy; true when the shield soaked it all up. A shield that
    // runs dry breaks, and then lets the whole amount through.
    bool absorb(float amount);
    // A broken shield recharges; the energy bar follows the energy.
    void update(uint32_t time);
    void draw();
    // The dodge input is held.
    bool raised() const { return active; }
    // Ran dry and is recharging.
    bool broken() const { return isBroken; }

private:
    bool makeQuads();
    void setPictureIntact(bool intact);
    void placeBar();
    cSoundPool* variant(cSoundPool*& slot, const char* name);

    float energy = kMaxEnergy;
    bool active = false;
    bool isBroken = false;
    uint32_t lastTime = 0;
    std::unique_ptr<QuadSet> shieldSet;  // texture "_shield"
    Quad* picture = nullptr;
    Quad* bar = nullptr;
    Quad* dimmer = nullptr;
    cSoundManager* soundManager;
    cSoundPool* dodgeOn = nullptr;  // variants and pool made on first use
    cSoundPool* dodgeOff = nullptr;
    cSoundPool* dodgeFail = nullptr;
    cSoundPool* dodgeRecharge = nullptr;
    Color shieldColor{1, 0, 1, 1};
    Color barColor{1, 0, 1, 1};
    float energyPercentage = 100.0f;
    bool portrait = false;
};

class teamDamage {
public:
    static constexpr float kFullHealth = 200.0f;
    static constexpr float kDeathHealth = -15.0f;  // below this the player dies
    static constexpr float kDigStep = 17.0f;       // gauge gained per dig press
    static constexpr float kGaugeFull = 200.0f;
    static constexpr int32_t kReviveDelayMs = 1500;

    explicit teamDamage(cSoundManager* soundManager);
    ~teamDamage();
    teamDamage(const teamDamage&) = delete;
    teamDamage& operator=(const teamDamage&) = delete;

    // Starts (or restarts) the display for `newMode`: 0 or 1 off, 2 red, 3 green, 4 blue team.
    // Full health (200), the damage factor from damage.txt, the shield reset.
    void set(TeamMode newMode);
    // The layout for the weapon in hand: portrait for one held upright. Takes effect at the next set.
    void setPortrait(bool upright) {
        portrait = upright;
        shield->setPortrait(upright);
    }
    // Applies `change` (negative for damage) times the damage factor; false when the player is
    // (or now is) dead. `inputHeld`: the trigger was down when the hit came, so a death from this
    // hit needs a release before the first dig press counts.
    bool hit(int32_t change, bool inputHeld = false);
    // Once per frame with the clock reading; true when something shown changed.
    bool update(uint32_t time);
    void draw();
    // Whether the display shows anything new since it was last drawn: a change made since (a hit,
    // the shield, a new team) or one the next update makes (healing, the death screen, a shield
    // recharging in view).
    bool pictureDue() const;
    // An input press while dead.
    void digPress();
    // An input release while dead: arms the next dig press.
    void armDig() { digArmed = true; }
    void setDodge(bool on) {
        changed = true;
        shield->setDodge(on);
    }
    void die(bool inputHeld = false);

    bool dead() const { return isDead; }
    // The mode of the last set: 0 or 1 off, 2 to 4 a team.
    TeamMode mode() const { return currentMode; }
    float health() const { return currentHealth; }
    // The shield is raised and intact: hits go to it, and the weapon does not fire.
    bool shieldUp() const { return shield->raised() && !shield->broken(); }

    // A team game is on: modes 2 to 4.
    bool teamMode() const { return currentMode != TeamMode::openPlay && currentMode != TeamMode::offline; }

private:
    void loadDamageTexture();
    void loadDeathTexture();
    void loadArmourTexture();
    void placeArmourIcons();
    void colourArmourIcons();
    void hideDeathScreen();
    void placeDeathScreen();
    void placeGauge();
    void updateDeath(uint32_t time);
    void regenerate(uint32_t time);

    std::unique_ptr<dodgeShield> shield;
    bool isDead = false;
    bool portrait = false;
    TeamMode currentMode = TeamMode::offline;
    float currentHealth = kFullHealth;
    std::unique_ptr<QuadSet> armourSet;  // "_helmetBodyArmor"
    std::unique_ptr<QuadSet> damageSet;  // "_deathGUI": vignette, backdrop, death picture
    std::unique_ptr<QuadSet> bloodSet;   // "_deathGUI": blood
    std::unique_ptr<QuadSet> deathSet;   // "_deathGAME": gauge, death icon, strip
    Quad* armourIcon1 = nullptr;
    Quad* armourIcon2 = nullptr;
    Quad* vignette = nullptr;
    Quad* blood = nullptr;
    Quad* deathPicture = nullptr;
    Quad* backdrop = nullptr;
    Quad* gauge = nullptr;
    Quad* deathIcon = nullptr;
    Quad* strip = nullptr;
    int32_t gaugeComplete = 0;  // 0, or 200 once the gauge is full
    int32_t gaugeBlink = 0;     // 0 or 100, alternating every 50 ms
    float digProgress = 0.0f;   // 0 to 200
    int32_t reviveCountdown = kReviveDelayMs;
    float digDecay = 0.08f;     // gauge lost per ms
    bool digArmed = true;       // a dig press counts only when set
    cSound* resurrectSound = nullptr;
    cSound* digSounds[6] = {};
    Color teamColor{1, 0, 1, 1};
    uint32_t lastTime = 0;  // previous regeneration or death update
    float vignetteFrequency = 0.01f, bloodFrequency = 0.008f;
    float vignetteAmplitude = 0.03f, bloodAmplitude = 0.02f;
    cSoundManager* soundManager;
    float damageFactor = 1.0f;
    bool changed = true;  // something shown changed since the last draw
};

}  // namespace QEL
