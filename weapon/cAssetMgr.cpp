// cAssetMgr: construction, loading a weapon into the slots, and events.
#include "weapon/cAssetMgr.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include <GL/gl.h>

#include "base/assetPath.h"
#include "base/log.h"
#include "effects/cCartridgeEjector.h"
#include "effects/cEmitter.h"
#include "effects/debugLight.h"
#include "effects/overlayEffects.h"
#include "effects/teamDamage.h"
#include "render/Image.h"
#include "render/QuadSet.h"
#include "render/pictureFormat.h"
#include "render/screen.h"
#include "sound/cSoundManager.h"
#include "weapon/weaponEvents.h"
#include "weapon/weaponScreen.h"
#include "weapon/cAssetSerializer.h"

namespace QEL {

cAssetMgr::cAssetMgr(cSoundManager* soundManager)
    : events(std::make_unique<weaponEvents>(assetPath("scores", "db"))), soundManager(soundManager) {
    serializer = std::make_unique<cAssetSerializer>();
    ejector = std::make_unique<cCartridgeEjector>(
        soundManager->createSoundPool(3, "shellHitFloor", assetPath("ShellsHittingFloor1", "ogg")));
    damage = std::make_unique<teamDamage>(soundManager);
    debugLight = std::make_unique<QEL::debugLight>();
    slots = std::make_unique<weaponSlots>(soundManager);

    particleLayer = std::make_unique<cOverlayFXMgr>(soundManager, kScreenWidth, kScreenHeight);
    hitEffects = std::make_unique<cOverlayFXMgr>(soundManager, kScreenWidth, kScreenHeight);
    hitEffects->changeWeapon = [this](const std::string& weaponName) { return changeWeaponOnHit(weaponName); };
    loadHitEffects();

    emptyClick = soundManager->createSoundPool(3, "emptyClick", assetPath("emptySound", "ogg"));
    screen = std::make_unique<weaponScreen>(weaponScreen::layers{*particleLayer, *hitEffects, *ejector, *damage, *debugLight});
    firing = std::make_unique<weaponFiring>(weaponFiring::parts{*this, *events, *damage, *debugLight, emptyClick});

    soundManager->createSound("death1", assetPath("death01", "ogg"));
    soundManager->createSound("death2", assetPath("death02", "ogg"));
    soundManager->createSound("death3", assetPath("death03", "ogg"));
}

// The reader, the cartridges and the particle layers go before the weapon is put down (which
// stores its events); the rest goes with the members.
cAssetMgr::~cAssetMgr() {
    serializer.reset();
    ejector.reset();
    particleLayer.reset();
    hitEffects.reset();
    unloadAsset();
}

void cAssetMgr::toggleDebugLight() { debugLight->toggle(); }

void cAssetMgr::setTeamMode(TeamMode mode) { damage->set(mode); }

// A hit that knocks the weapon away: the weapon in hand stays; any other is checked and taken up.
bool cAssetMgr::changeWeaponOnHit(const std::string& weaponName) {
    if (asset && weaponName == sourceName) return true;
    const checkedWeapon checked = testWeapon(weaponName);
    if (!checked) return false;
    loadAsset(checked);
    return true;
}

QuadSet* cAssetMgr::imageSlot(int32_t index) { return slots->image(index); }

bool cAssetMgr::loadImageIntoSlot(int32_t slot, intColor padColor, const std::string& fileName) {
    return slots->loadImage(slot, padColor, fileName);
}

bool cAssetMgr::loadSoundIntoSlot(int32_t slot, int32_t offset, int32_t instances, const std::string& fileName) {
    return slots->loadSound(slot, offset, instances, fileName);
}

std::optional<FireMode> cAssetMgr::loadAsset(const checkedWeapon& checked, FireMode keepMode) {
    // The check that let this weapon through chose its layout; the damage display is laid out anew
    // for it as the old weapon is put down.
    display = checked.flags;
    damage->setPortrait(display.portraitDisplay);
    unloadAsset();
    loadPlace = checked.place;
    slots->startLoad(loadPlace);
    ++filesRead;
    // Only a file the check parsed is the weapon's source (and watched while the load fails).
    sourceName = checked.document ? checked.name : std::string();
    sourceFiles.clear();
    if (!sourceName.empty()) sourceFiles.push_back(loadPlace.path(weaponBaseName(sourceName) + ".xml"));
    asset = std::make_unique<cAsset>(this);
    if (!serializer->loadXML(asset.get(), checked.document.get(), *this)) {
        // The weapon was never taken up: nothing of it goes to the score database.
        asset.reset();
        unloadAsset();
        return std::nullopt;
    }
    recordEvent(eventWeaponLoaded, -1, -1);
    ejector->gravityX = asset->gravityX;
    ejector->gravityY = asset->gravityY;
    firing->takeUp(asset.get());
    const FireMode mode = firing->nextMode(keepMode);
    if (mode == kNoFireMode) {
        logWarning("QEL::cAssetMgr::loadAsset", "[cAssetMgr] No fire modes available for: ", asset->name);
    }
    dirty = true;
    return mode;
}

void cAssetMgr::unloadAsset() {
    storeEventsToDB();
    firing->putDown();
    previewed = nullptr;  // its animation goes with the asset
    pendingNetShot = -1;
    debugLight->reset();
    damage->set(damage->mode());
    asset.reset();
    clearSlots();
    dirty = true;
}

void cAssetMgr::clearSlots() {
    // The cartridges' quads live in an image slot: they go with it.
    if (ejector) ejector->reset();
    // Frame sounds belong to the slots' pools, which go away now.
    playingFrameSounds.clear();
    slots->clear();
}

// Weapon emitters live as long as the particle layer and are shared by every weapon that names the
// same picture (a pack's pictures are named with the pack's name in front, so two packs' pictures
// of one name stay two).
cEmitter* cAssetMgr::weaponEmitter(const std::string& file, BlendMode blend) {
    const bool inPack = !loadPlace.pack.empty();
    const std::string key = "DYN_" + (inPack ? loadPlace.pack + "/" : std::string()) + file;
    cEmitter* emitter = particleLayer->findEmitter(key);
    if (!emitter) {
        emitter = new cEmitter(kScreenWidth, kScreenHeight);
        emitter->setup(key, file, blend, inPack ? loadPlace.path(file + ".png") : std::string());
        particleLayer->addEmitter(emitter);
    }
    sourceFiles.push_back(emitter->picturePath());
    return emitter;
}

QuadSet* cAssetMgr::setAmmo(int32_t rounds, int32_t imageIndex) {
    if (imageIndex < 0 || rounds <= 0) {
        firing->setMagazine(0);
        if (asset) asset->ammoImage = nullptr;
        return nullptr;
    }
    firing->setMagazine(rounds);
    // The default slot stands in for missing backgrounds and must keep its one blank quad: a
    // magazine without its own slot is counted but not shown.
    if (imageIndex >= kImageSlotCount) {
        if (asset) asset->ammoImage = nullptr;
        return nullptr;
    }
    QuadSet* set = slots->image(imageIndex);
    if (asset) asset->ammoImage = set;
    // The rounds replace the slot's quads: cartridges drawn from the same slot would lose theirs.
    if (ejector && ejector->image == set) ejector->reset();
    set->unlock();
    set->clearQuads();
    for (int32_t i = 0; i < rounds; ++i) {
        Quad* quad = set->addQuad();
        if (!quad) break;
        quad->textureRect = FloatCoords(0, 0, 1, 1);
        quad->position = FloatCoords(0.5f, 0.5f, 0.5f, 0.5f);
    }
    set->rebuild();
    return set;
}

void cAssetMgr::recordEvent(int32_t type, int32_t data1, int32_t data2, bool logged) {
    events->record(type, data1, data2, logged);
}

// A weapon looked at was not used; without a weapon the events are nobody's.
bool cAssetMgr::storeEventsToDB() {
    if (!previewing && asset) return events->store(scoreName());
    events->drop(!previewing);
    return false;
}

// --- Files changed on disk ---

void cAssetMgr::loadHitEffects() {
    hitEffects->clear();
    TiXmlDocument* effectsDocument = nullptr;
    hitEffects->loadXML(assetPath("EFFECTS", "xml"), &effectsDocument);
    delete effectsDocument;
    ++filesRead;
}

std::vector<std::string> cAssetMgr::filesInUse() const {
    std::vector<std::string> files = sourceFiles;
    files.insert(files.end(), slots->filesRead().begin(), slots->filesRead().end());
    files.push_back(assetPath("EFFECTS", "xml"));
    for (const cOverlayFXMgr* layer : {hitEffects.get(), particleLayer.get()}) {
        for (const cEmitter* emitter : layer->emitters) files.push_back(emitter->picturePath());
    }
    for (const auto& decoded : soundManager->getFiles()) files.push_back(decoded.first);
    return files;
}

// Shared sounds and particle pictures outlive the weapon load, so they are read again here; the
// weapon's own pictures and sounds are read again by loading it.
bool cAssetMgr::fileChanged(const std::string& path) {
    soundManager->reloadFile(path);
    particleLayer->reloadPicture(path);
    hitEffects->reloadPicture(path);
    if (path == assetPath("EFFECTS", "xml")) {
        loadHitEffects();
        return true;
    }
    const std::vector<std::string>& slotFiles = slots->filesRead();
    return std::find(sourceFiles.begin(), sourceFiles.end(), path) != sourceFiles.end() ||
           std::find(slotFiles.begin(), slotFiles.end(), path) != slotFiles.end();
}

}  // namespace QEL
