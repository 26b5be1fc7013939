#include "effects/overlayEffects.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/appTime.h"
#include "base/assetPath.h"
#include "base/log.h"
#include "effects/cEmitter.h"
#include "sound/cSoundManager.h"

namespace QEL {

namespace {

const char* const kMgrProcessRoot = "QEL::cOverlayFXMgr::processRoot";
const char* const kProcessEffect = "QEL::cOverlayFXMgr::processEffect";
const char* const kEffectPlay = "QEL::cOverlayEffect::play";
const char* const kSpurtPlay = "QEL::cEffectSpurt::play";

// Spurt sound pools live in the sound manager's groups under this prefix, so that they never meet
// a weapon's sound slot pool of the same file (which is deleted when the weapon is put down).
const char* const kSpurtPoolPrefix = "FX_";

}  // namespace

// --- cEffectSpurt ---

cEffectSpurt::cEffectSpurt(int32_t duration, int32_t dMin, int32_t dMax, cOverlayEffect* ownerEffect, int32_t id)
    : owner(ownerEffect), spurtID(id), durationMs(duration), damageMin(dMin), damageMax(dMax) {}

void cEffectSpurt::addEntry(cEmitter* emitter, int32_t count, int32_t delayMs) {
    const float span = std::fabs(static_cast<float>(durationMs) - static_cast<float>(delayMs));
    emitters.push_back(emitter);
    intervals.push_back(count > 0 ? span / static_cast<float>(count) : span);
    lastTimes.push_back(0.0f);
    counts.push_back(count);
    spawned.push_back(0);
    delays.push_back(delayMs);
}

void cEffectSpurt::play(int32_t& damage) {
    if (commandType == kChangeWeapon && runCommand()) return;
    playSound();
    damage = rollDamage();

    // 0 means "not running", so a play in the clock's very first millisecond starts at 1.
    startTime = std::max<uint32_t>(appTimeMs(), 1u);
    std::fill(lastTimes.begin(), lastTimes.end(), static_cast<float>(startTime));
    std::fill(spawned.begin(), spawned.end(), 0);
    endTime = static_cast<uint32_t>(std::max<int64_t>(int64_t(startTime) + durationMs, 0));
    update(startTime);
}

bool cEffectSpurt::runCommand() {
    cOverlayFXMgr* manager = owner ? owner->owner : nullptr;
    if (manager && manager->changeWeapon && manager->changeWeapon(command)) return true;
    logWarning(kSpurtPlay, "Impact effect could not load weapon: ", command);
    return false;
}

void cEffectSpurt::playSound() {
    cSoundManager* soundManager = owner && owner->owner ? owner->owner->soundManager : nullptr;
    if (!pool && !soundFile.empty() && soundManager) {
        const std::string poolName = kSpurtPoolPrefix + soundFile;
        pool = soundManager->findGroup(poolName);
        if (!pool) pool = soundManager->createSoundPool(kPoolInstances, poolName, assetPath(soundFileName(soundFile)));
    }
    if (pool) pool->play2d();
}

int32_t cEffectSpurt::rollDamage() const {
    if (damageMax <= damageMin) return damageMin;
    const int64_t range = int64_t(damageMax) - damageMin + 1;
    return static_cast<int32_t>(damageMin + std::rand() % range);
}

void cEffectSpurt::emitEntry(size_t entry, int32_t particles) {
    if (particles > 0) emitters[entry]->emit(particles);
    spawned[entry] += particles;
}

bool cEffectSpurt::update(uint32_t now) {
    if (startTime == 0) return false;
    if (now > endTime) {
        // Run out: whatever is still owed goes out at once.
        for (size_t i = 0; i < emitters.size(); ++i) {
            if (emitters[i] && spawned[i] < counts[i]) emitEntry(i, counts[i] - spawned[i]);
        }
        startTime = 0;
        return false;
    }
    for (size_t i = 0; i < emitters.size(); ++i) {
        if (!emitters[i]) continue;  // its emitter was not found in the effects file
        if (spawned[i] == 0 && delays[i] == 0) emitEntry(i, 1);
        if (spawned[i] >= counts[i] || int64_t(now) < int64_t(startTime) + delays[i]) continue;

        const float elapsed = static_cast<float>(int64_t(now) - static_cast<int64_t>(lastTimes[i]));
        float ratio;
        if (intervals[i] > 0.0f)
            ratio = elapsed / intervals[i];
        else
            ratio = elapsed > 0.0f ? static_cast<float>(counts[i]) : 0.0f;  // no spacing: all at once
        if (ratio < 1.0f) continue;
        float whole;
        const float fraction = std::modf(ratio, &whole);
        int32_t due = static_cast<int32_t>(std::min(whole, 1e9f)) + (fraction > 0.5f ? 1 : 0);
        due = std::min(due, counts[i] - spawned[i]);
        emitEntry(i, due);
        lastTimes[i] = static_cast<float>(now) - static_cast<float>(due) * ratio;
    }
    return true;
}

// --- cOverlayEffect ---

cOverlayEffect::cOverlayEffect(int32_t effectId, const std::string& effectName, cOverlayFXMgr* ownerMgr)
    : id(effectId), name(effectName), owner(ownerMgr) {}

cOverlayEffect::~cOverlayEffect() {
    for (cEffectSpurt* spurt : spurts) delete spurt;
}

void cOverlayEffect::processSpurt(TiXmlElement* element) {
    const xmlSchema& format = hitEffectsFormat();
    const ruledElement read(element, format.element("spurt"));
    cEffectSpurt* spurt = new cEffectSpurt(read.integer("duration"), read.integer("dMin"), read.integer("dMax"), this,
                                           read.integer("spurtID"));
    const elementRule& entryRule = format.element("emitter", "spurt");
    forEachChild(element, entryRule, [&](TiXmlElement* e) {
        const ruledElement entry(e, entryRule);
        cEmitter* emitter = owner ? owner->findEmitter(entry.text("name")) : nullptr;
        spurt->addEntry(emitter, entry.integer("count"), entry.integer("delay"));
    });
    const elementRule& soundRule = format.element("sound", "spurt");
    forEachChild(element, soundRule, [&](TiXmlElement* e) { spurt->soundFile = ruledElement(e, soundRule).text("file"); });
    const elementRule& commandRule = format.element("command", "spurt");
    forEachChild(element, commandRule, [&](TiXmlElement* e) {
        const ruledElement command(e, commandRule);
        spurt->commandType = command.integer("type");
        spurt->command = command.text("cmd");
    });
    spurts.push_back(spurt);
}

int32_t cOverlayEffect::play(int32_t& damage) {
    if (spurts.empty()) {
        logWarning(kEffectPlay, "[overlayEffects.cpp] Attempted to use an empty effect with ID: ", id);
        return -1;
    }
    active = true;
    cEffectSpurt* spurt = spurts[std::rand() % spurts.size()];
    spurt->play(damage);
    return spurt->spurtID;
}

void cOverlayEffect::update() {
    if (!active) return;
    active = false;
    const uint32_t now = appTimeMs();
    lastUpdate = now;
    for (cEffectSpurt* spurt : spurts) {
        if (spurt->update(now)) active = true;
    }
}

// --- cOverlayFXMgr ---

cOverlayFXMgr::cOverlayFXMgr(cSoundManager* sounds, int32_t screenW, int32_t screenH)
    : soundManager(sounds), screenWidth(screenW), screenHeight(screenH), lastUpdate(appTimeMs()) {}

cOverlayFXMgr::~cOverlayFXMgr() { clear(); }

bool cOverlayFXMgr::loadRulesFile(const std::string& path) {
    TiXmlDocument* document = nullptr;
    const bool loaded = loadXML(path, &document);
    delete document;
    return loaded;
}

bool cOverlayFXMgr::processRoot(TiXmlElement* root) {
    if (!root || std::string(root->Value()) != "overlayHitEffects") {
        logError(kMgrProcessRoot, "[overlayEffects.cpp] Error: Invalid rules file. Missing <overlayHitEffects>");
        return false;
    }
    const xmlSchema& format = hitEffectsFormat();
    forEachChild(root->FirstChildElement("emitters"), format.element("emitter", "emitters"), [this](TiXmlElement* e) {
        cEmitter* emitter = new cEmitter(screenWidth, screenHeight);
        emitter->processRoot(e);
        emitters.push_back(emitter);
    });
    forEachChild(root->FirstChildElement("effects"), format.element("effect"), [this](TiXmlElement* e) { processEffect(e); });
    return true;
}

void cOverlayFXMgr::processEffect(TiXmlElement* element) {
    const ruledElement read(element, hitEffectsFormat().element("effect"));
    const int32_t id = read.integer("id");
    if (id < 0) {
        logWarning(kProcessEffect, "WARNING: id not specified in <effect> element.\n");
        return;
    }
    const std::string name = read.text("name");
    if (name.empty()) logWarning(kProcessEffect, "WARNING: name not specified in <effect> element.\n");
    cOverlayEffect* effect = new cOverlayEffect(id, name, this);
    forEachChild(element, hitEffectsFormat().element("spurt"), [effect](TiXmlElement* e) { effect->processSpurt(e); });
    effects.push_back(effect);
}

cEmitter* cOverlayFXMgr::findEmitter(const std::string& emitterName) const {
    for (cEmitter* emitter : emitters) {
        if (emitter->getName() == emitterName) return emitter;
    }
    return nullptr;
}

void cOverlayFXMgr::addEmitter(cEmitter* emitter) {
    if (emitter) emitters.push_back(emitter);
}

cOverlayEffect* cOverlayFXMgr::findEffect(int32_t id) const {
    for (cOverlayEffect* effect : effects) {
        if (effect->id == id) return effect;
    }
    return nullptr;
}

bool cOverlayFXMgr::update(uint32_t now) {
    for (cOverlayEffect* effect : effects) effect->update();
    lastStep = now - lastUpdate;
    lastUpdate = now;
    bool changed = false;
    for (cEmitter* emitter : emitters) {
        if (emitter->update(static_cast<int32_t>(lastStep))) changed = true;
    }
    return changed;
}

void cOverlayFXMgr::draw() {
    for (cEmitter* emitter : emitters) emitter->draw();
}

bool cOverlayFXMgr::busy() const {
    for (const cOverlayEffect* effect : effects) {
        if (effect->active) return true;
    }
    for (const cEmitter* emitter : emitters) {
        if (emitter->anyActive) return true;
    }
    return false;
}

void cOverlayFXMgr::reloadPicture(const std::string& path) {
    for (cEmitter* emitter : emitters) {
        if (emitter->picturePath() == path) emitter->reloadPicture();
    }
}

void cOverlayFXMgr::clear() {
    for (cOverlayEffect* effect : effects) delete effect;
    effects.clear();
    for (cEmitter* emitter : emitters) delete emitter;
    emitters.clear();
}

}  // namespace QEL
