#include "effects/teamDamage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "base/appTime.h"
#include "base/assetPath.h"
#include "base/dataFileReader.h"
#include "base/log.h"
#include "effects/effectsRandom.h"
#include "render/Image.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "sound/cSoundManager.h"

namespace QEL {

namespace {

// Health regained per millisecond below 100.
constexpr float kRegenerationPerMs = 0.01f;
constexpr float kHealthy = 100.0f;

// A pixel rectangle of the 568 × 320 screen (y downwards).
struct PixelRect {
    float x, y, w, h;
};

// Hidden elements wait as 1 × 1 pixel rectangles 1000 pixels off screen.
constexpr PixelRect kHiddenNew{1000, 1, 1, 1};
constexpr PixelRect kHiddenDeathPicture{1000, 1000, 1, 1};
constexpr PixelRect kHiddenBackdrop{-1000, -1000, 1, 1};

// Texture rectangles, in texture pixels.
constexpr PixelRect kArmourIcon1Texture{0, 0, 64, 64};
constexpr PixelRect kArmourIcon2Texture{64, 0, 64, 64};
constexpr PixelRect kVignetteTexture{0, 0, 384, 256};
constexpr PixelRect kBloodTexture{0, 256, 384, 256};
constexpr PixelRect kBackdropTexture{400, 200, 5, 5};
constexpr PixelRect kDeathPictureTexture{385, 200, 126, 200};
constexpr PixelRect kGaugeTexture{0, 0, 100, 215};
constexpr PixelRect kDeathIconTexture{398, 156, 100, 100};
constexpr PixelRect kStripTexture{420, 5, 5, 5};
constexpr PixelRect kFlatTexture{128, 100, 2, 2};  // a plain patch of the shield picture
constexpr PixelRect kShieldIntactTexture{0, 0, 256, 256};
constexpr PixelRect kShieldBrokenTexture{256, 0, 256, 256};

// Screen positions: landscape, portrait.
constexpr PixelRect kArmourIcon1At[2] = {{206, 10, 50, 50}, {10, 146, 50, 50}};
constexpr PixelRect kArmourIcon2At[2] = {{256, 10, 50, 50}, {10, 106, 50, 50}};
constexpr PixelRect kOverlayStart{0, 0, 480, 320};
constexpr PixelRect kBackdropAt{-10, -10, 588, 340};
constexpr PixelRect kDeathPictureAt[2] = {{284, 60, 128, 200}, {244, 10, 128, 200}};
constexpr PixelRect kDeathIconAt[2] = {{154, 225, 100, 100}, {382, 175, 100, 100}};
constexpr PixelRect kStripAt[2] = {{0, 1000, kScreenWidth, kScreenHeight}, {474, 0, kScreenWidth, kScreenHeight}};
constexpr PixelRect kDimmerAt{-10, -10, 588, 340};
constexpr PixelRect kShieldAt{156, 32, 256, 256};
constexpr PixelRect kBarStart{234, 150, 100, 20};

int layout(bool portrait) { return portrait ? 1 : 0; }
float layoutAngle(bool portrait) { return portrait ? 90.0f : 0.0f; }

void place(Quad* quad, const PixelRect& at, float angle = 0.0f) {
    if (!quad) return;
    quad->position = FloatCoords(pixelToDeviceX(at.x), pixelToDeviceY(at.y), widthFraction(at.w), heightFraction(at.h));
    quad->angle = angle;
}

void setTexture(Quad* quad, const PixelRect& rect) {
    if (quad) quad->setTextureRect(FloatCoords(rect.x, rect.y, rect.w, rect.h));
}

void colour(Quad* quad, const Color& color) {
    if (quad) quad->setAllColors(color);
}

Quad* addQuad(QuadSet* set, const PixelRect& texture, const PixelRect& at) {
    Quad* quad = set->addQuad();
    setTexture(quad, texture);
    place(quad, at);
    return quad;
}

// The whole screen enlarged `scale` + 1.1 times (at least once) about its centre.
void placeScaled(Quad* quad, float scale) {
    if (!quad) return;
    const float k = std::max(scale + 1.1f, 1.0f);
    quad->position = FloatCoords(-k, k, k, k);
}

void drawSet(QuadSet& set, BlendMode blend) {
    set.rebuild();
    set.draw(blend);
    set.unlock();
}

// Milliseconds from `from` to `to` on the program clock; a stamp from after `to` counts as no time.
float elapsedMs(uint32_t from, uint32_t to) {
    const int32_t difference = static_cast<int32_t>(to - from);
    return difference > 0 ? static_cast<float>(difference) : 0.0f;
}

// Loads an asset picture (PNG, then TGA) into `image`; false when it cannot be used.
bool loadPicture(const std::string& path, Image& image) { return image.Load(path) == kImageLoaded; }

cSound* namedSound(cSoundManager* soundManager, const std::string& name) {
    if (!soundManager) return nullptr;
    cSound* sound = soundManager->createSound(name, assetPath(name, "ogg"));
    return sound ? sound : soundManager->findSound(name);  // made before by an earlier display
}

}  // namespace

// --- dodgeShield ---

dodgeShield::dodgeShield(cSoundManager* sounds)
    : shieldSet(std::make_unique<QuadSet>(kScreenWidth, kScreenHeight)), soundManager(sounds) {
    shieldSet->unlock();
}

dodgeShield::~dodgeShield() = default;

cSoundPool* dodgeShield::variant(cSoundPool*& slot, const char* name) {
    if (!slot && soundManager) slot = soundManager->createSoundVariant(name, assetPath(name, "ogg"), "", "");
    return slot;
}

void dodgeShield::setPictureIntact(bool intact) {
    setTexture(picture, intact ? kShieldIntactTexture : kShieldBrokenTexture);
}

void dodgeShield::reset() {
    energy = kMaxEnergy;
    active = false;
    isBroken = false;
    if (picture) picture->angle = layoutAngle(portrait);
    if (bar) bar->angle = layoutAngle(portrait);
    setPictureIntact(true);
}

void dodgeShield::setColors(const Color& teamColor) {
    shieldColor = Color(teamColor.r, teamColor.g, teamColor.b, 0.8f);
    barColor = Color(teamColor.r + 0.3f, teamColor.g + 0.3f, teamColor.b + 0.3f, teamColor.a);
    colour(picture, shieldColor);
    colour(bar, barColor);
}

bool dodgeShield::makeQuads() {
    if (picture) return true;
    if (!shieldSet->loadTexture(assetPath("_shield", "png"))) return false;
    dimmer = addQuad(shieldSet.get(), kFlatTexture, kDimmerAt);
    colour(dimmer, Color(0, 0, 0, 0.5f));
    picture = addQuad(shieldSet.get(), kShieldIntactTexture, kShieldAt);
    colour(picture, shieldColor);
    if (picture) picture->angle = layoutAngle(portrait);
    bar = addQuad(shieldSet.get(), kFlatTexture, kBarStart);
    colour(bar, barColor);
    if (bar) bar->angle = layoutAngle(portrait);
    return true;
}

void dodgeShield::setDodge(bool on) {
    if (on == active) return;
    makeQuads();
    if (!isBroken) {
        cSoundPool* sound = on ? variant(dodgeOn, "dodgeOn") : variant(dodgeOff, "dodgeOff");
        if (sound) sound->play2d();
    }
    active = on;
}

bool dodgeShield::absorb(float amount) {
    if (!active || isBroken) return false;
    energy += amount;
    if (energy >= 0.0f) return true;
    isBroken = true;
    energy = 0.0f;
    setPictureIntact(false);
    if (cSoundPool* sound = variant(dodgeFail, "dodgeFail")) sound->play2d();
    return false;
}

void dodgeShield::placeBar() {
    if (!bar) return;
    const float angle = bar->angle;
    place(bar, PixelRect{284.0f - energyPercentage / 2.0f, 150.0f, energyPercentage, 20.0f}, angle);
}

void dodgeShield::update(uint32_t time) {
    if (isBroken) {
        energy += elapsedMs(lastTime, time) * kRechargePerMs;
        if (energy > kMaxEnergy) {
            if (!dodgeRecharge && soundManager)
                dodgeRecharge = soundManager->createSoundPool(2, "dodgeRecharge", assetPath("dodgeShieldRecharged", "ogg"));
            if (dodgeRecharge) dodgeRecharge->play2d();
            energy = kMaxEnergy;
            isBroken = false;
            setPictureIntact(true);
        }
    }
    energyPercentage = energy / kMaxEnergy * 100.0f;
    placeBar();
    lastTime = time;
}

void dodgeShield::draw() {
    if (active) drawSet(*shieldSet, BlendMode::alpha);
}

// --- teamDamage ---

teamDamage::teamDamage(cSoundManager* sounds)
    : shield(std::make_unique<dodgeShield>(sounds)),
      armourSet(std::make_unique<QuadSet>(kScreenWidth, kScreenHeight)),
      damageSet(std::make_unique<QuadSet>(kScreenWidth, kScreenHeight)),
      bloodSet(std::make_unique<QuadSet>(kScreenWidth, kScreenHeight)),
      deathSet(std::make_unique<QuadSet>(kScreenWidth, kScreenHeight)),
      soundManager(sounds) {
    armourSet->unlock();
    damageSet->unlock();
    bloodSet->unlock();
    deathSet->unlock();
    resurrectSound = namedSound(soundManager, "resurrect");
    for (int i = 0; i < 6; ++i) digSounds[i] = namedSound(soundManager, "Digout_0" + std::to_string(i + 1));
}

teamDamage::~teamDamage() = default;

void teamDamage::set(TeamMode newMode) {
    changed = true;
    currentMode = newMode;
    currentHealth = kFullHealth;
    isDead = false;
    // Widened first: damage.txt may hold any number atoi can give, INT_MIN included.
    damageFactor = (101 - int64_t(readDamageSetting())) * 0.01f;
    if (damageFactor <= 0.0f) damageFactor = 0.007f;
    if (!teamMode()) return;

    if (!armourSet->getHasTexture()) loadArmourTexture();
    placeArmourIcons();
    if (currentMode == TeamMode::team1) teamColor = Color(1, 0, 0, 1);
    if (currentMode == TeamMode::team2) teamColor = Color(0, 1, 0, 1);
    if (currentMode == TeamMode::team3) teamColor = Color(0, 0, 1, 1);
    shield->setColors(teamColor);
    shield->reset();
    colourArmourIcons();
    hideDeathScreen();
    gaugeComplete = 0;
    gaugeBlink = 0;
    digProgress = 0.0f;
    reviveCountdown = 2000;
}

void teamDamage::loadArmourTexture() {
    const std::string path = assetPath("_helmetBodyArmor", "png");
    Image image;
    if (!loadPicture(path, image) || !armourSet->setTexture(image)) {
        logWarning("QEL::teamDamage::set", "[teamDamage] could not load image file: ", path);
        return;
    }
    armourIcon1 = addQuad(armourSet.get(), kArmourIcon1Texture, kHiddenNew);
    armourIcon2 = addQuad(armourSet.get(), kArmourIcon2Texture, kHiddenNew);
}

void teamDamage::placeArmourIcons() {
    place(armourIcon1, kArmourIcon1At[layout(portrait)], layoutAngle(portrait));
    place(armourIcon2, kArmourIcon2At[layout(portrait)], layoutAngle(portrait));
}

void teamDamage::colourArmourIcons() {
    const Color invisible(1, 1, 1, 0);
    auto faded = [this](float alpha) { return Color(teamColor.r, teamColor.g, teamColor.b, alpha); };
    if (currentHealth < kHealthy) {
        colour(armourIcon1, invisible);
        colour(armourIcon2, invisible);
    } else if (currentHealth >= kFullHealth) {
        colour(armourIcon1, teamColor);
        colour(armourIcon2, teamColor);
    } else if (currentHealth >= 150.0f) {
        colour(armourIcon2, teamColor);
        colour(armourIcon1, faded((currentHealth - 150.0f) / 50.0f));
    } else {
        colour(armourIcon2, faded((currentHealth - 100.0f) / 50.0f));
        colour(armourIcon1, invisible);
    }
}

void teamDamage::hideDeathScreen() {
    place(deathPicture, kHiddenDeathPicture);
    place(backdrop, kHiddenBackdrop);
}

bool teamDamage::hit(int32_t change, bool inputHeld) {
    if (!teamMode()) return true;
    changed = true;
    if (isDead) return false;
    const float amount = damageFactor * static_cast<float>(change);
    if (shield->absorb(amount)) return true;

    const bool wasHealthy = currentHealth >= kHealthy;
    currentHealth = std::min(currentHealth + amount, kFullHealth);
    if (currentHealth < kDeathHealth) {
        die(inputHeld);
        return false;
    }
    if (currentHealth < kHealthy) {
        if (wasHealthy) lastTime = appTimeMs();  // regeneration counts from this moment
        if (!damageSet->getHasTexture()) loadDamageTexture();
    }
    colourArmourIcons();
    return true;
}

void teamDamage::die(bool inputHeld) {
    changed = true;
    if (!gauge) loadDeathTexture();
    placeDeathScreen();
    gaugeComplete = 0;
    gaugeBlink = 0;
    digProgress = 0.0f;
    reviveCountdown = kReviveDelayMs;
    isDead = true;
    // The press held when death came does not dig: it has to be let go first.
    digArmed = !inputHeld;
    lastTime = appTimeMs();
}

void teamDamage::placeDeathScreen() {
    const int l = layout(portrait);
    const float angle = layoutAngle(portrait);
    place(backdrop, kBackdropAt);
    place(deathPicture, kDeathPictureAt[l], angle);
    place(deathIcon, kDeathIconAt[l], angle);
    place(strip, kStripAt[l]);
    if (gauge) gauge->angle = angle;
    placeGauge();
}

void teamDamage::placeGauge() {
    if (!gauge) return;
    const float angle = gauge->angle;
    const PixelRect at = portrait ? PixelRect{484.0f - digProgress, 110, 100, 215}
                                         : PixelRect{164, 270.0f - digProgress, 100, 215};
    place(gauge, at, angle);
    setTexture(gauge, PixelRect{2.0f + gaugeBlink + gaugeComplete, 0, 100, 215});
}

bool teamDamage::update(uint32_t time) {
    if (!teamMode()) return false;
    if (isDead) {
        updateDeath(time);
        return false;
    }
    if (currentHealth < kDeathHealth) {
        die();
        return true;
    }
    shield->update(time);
    if (currentHealth >= kHealthy) return false;
    regenerate(time);
    return true;
}

void teamDamage::regenerate(uint32_t time) {
    currentHealth = std::min(currentHealth + elapsedMs(lastTime, time) * kRegenerationPerMs, kHealthy);
    const float t = static_cast<float>(lastTime);
    float vignetteScale = vignetteAmplitude * std::cos(t * vignetteFrequency);
    if (currentHealth < 50.0f) {
        placeScaled(blood, bloodAmplitude * std::cos(t * bloodFrequency));
        colour(blood, Color(1, 1, 1, (50.0f - currentHealth) / 50.0f));
    } else {
        vignetteScale += (currentHealth - 50.0f) / 25.0f;  // the dark rim leaves the screen towards 100
        colour(blood, Color(1, 1, 1, 0));
    }
    placeScaled(vignette, vignetteScale);
    lastTime = time;
}

void teamDamage::updateDeath(uint32_t time) {
    gaugeBlink = (time / 50) % 2 == 1 ? 0 : 100;
    const float dt = elapsedMs(lastTime, time);
    if (digProgress < kGaugeFull) {
        digProgress -= dt * digDecay;
    } else {
        if (resurrectSound && !resurrectSound->channel.load()) resurrectSound->play();
        reviveCountdown -= static_cast<int32_t>(dt);
        digProgress = kGaugeFull;
        gaugeComplete = static_cast<int32_t>(kGaugeFull);
        if (reviveCountdown < 0) {
            set(currentMode);  // dug out: back to life with full health
            return;
        }
    }
    digProgress = std::max(digProgress, 0.0f);
    if (gauge && gaugeComplete == 0) {
        // A slight wobble while digging; a full gauge stands still.
        gauge->angle = std::sin(static_cast<float>(time) / 15.0f) + layoutAngle(portrait);
    }
    placeGauge();
    lastTime = time;
}

void teamDamage::digPress() {
    if (!isDead || !digArmed) return;
    changed = true;
    digArmed = false;
    digProgress += kDigStep;
    cSound* sound = digSounds[std::rand() % 6];
    if (!sound) return;
    sound->speed = std::max(digProgress / kGaugeFull + 0.5f, 0.0f);
    if (hssSoundChannel* channel = sound->channel.load()) channel->setSpeed(static_cast<int32_t>(sound->speed * 128.0f));
    sound->setVolume(effects::randomFraction() * 0.8f + 0.2f);
    sound->play();
}

bool teamDamage::pictureDue() const {
    if (changed) return true;
    if (!teamMode()) return false;
    return isDead || currentHealth < kHealthy || (shield->raised() && shield->broken());
}

void teamDamage::loadDamageTexture() {
    const std::string path = assetPath("_deathGUI", "png");
    Image image;
    if (!loadPicture(path, image) || !damageSet->setTexture(image) || !bloodSet->setTexture(image)) {
        logWarning("QEL::teamDamage::loadDamageTexture", "[teamDamage] could not load 'deathGUI' image file: ", path);
        return;
    }
    vignette = addQuad(damageSet.get(), kVignetteTexture, kOverlayStart);
    blood = addQuad(bloodSet.get(), kBloodTexture, kOverlayStart);
    backdrop = addQuad(damageSet.get(), kBackdropTexture, kHiddenNew);
    deathPicture = addQuad(damageSet.get(), kDeathPictureTexture, kHiddenNew);
}

void teamDamage::loadDeathTexture() {
    if (!damageSet->getHasTexture()) loadDamageTexture();
    const std::string path = assetPath("_deathGAME", "png");
    Image image;
    if (!loadPicture(path, image) || !deathSet->setTexture(image)) {
        logWarning("QEL::teamDamage::loadDeathTexture", "[teamDamage] could not load deathGame image file: ", path);
        return;
    }
    gauge = addQuad(deathSet.get(), kGaugeTexture, kHiddenNew);
    deathIcon = addQuad(deathSet.get(), kDeathIconTexture, kHiddenNew);
    strip = addQuad(deathSet.get(), kStripTexture, kHiddenNew);
}

void teamDamage::draw() {
    changed = false;
    if (!teamMode()) return;
    if (isDead) {
        drawSet(*damageSet, BlendMode::opaque);
        drawSet(*deathSet, BlendMode::alpha);
        return;
    }
    if (currentHealth > kHealthy) {
        drawSet(*armourSet, BlendMode::alpha);
    } else if (currentHealth < kHealthy) {
        drawSet(*bloodSet, BlendMode::alpha);
        drawSet(*damageSet, BlendMode::multiply);
    }
    shield->draw();
}

}  // namespace QEL
