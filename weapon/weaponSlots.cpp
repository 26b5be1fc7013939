#include "weapon/weaponSlots.h"

#include <algorithm>

#include "base/assetPath.h"
#include "base/log.h"
#include "render/Image.h"
#include "render/QuadSet.h"
#include "render/pictureFormat.h"
#include "render/screen.h"
#include "sound/cSoundManager.h"

namespace QEL {

weaponSlots::weaponSlots(cSoundManager* soundManager) : soundManager(soundManager) {
    defaultSlot = std::make_unique<QuadSet>(kScreenWidth, kScreenHeight);
    defaultSlot->unlock();
    // Stands in for a missing picture: one blank quad over the whole screen.
    if (Quad* blank = defaultSlot->addQuad()) {
        blank->setAllColors(Color(1.0f, 1.0f, 1.0f, 0.0f));
        blank->position = FloatCoords(-1.0f, 1.0f, 1.0f, 1.0f);
    }
    defaultSlot->rebuild();
    for (std::unique_ptr<QuadSet>& slot : images) {
        slot = std::make_unique<QuadSet>(kScreenWidth, kScreenHeight);
        slot->unlock();
    }
    for (std::unique_ptr<cSoundSlot>& slot : sounds) slot = std::make_unique<cSoundSlot>(soundManager);
}

weaponSlots::~weaponSlots() = default;

QuadSet* weaponSlots::image(int32_t index) {
    if (index < 0 || index >= kImageSlotCount) return defaultSlot.get();
    return images[index].get();
}

void weaponSlots::clear() {
    for (const std::unique_ptr<QuadSet>& slot : images) {
        slot->unlock();
        slot->clearQuads();
        slot->rebuild();
    }
    for (int32_t i = 0; i < kSoundSlotCount; ++i) {
        emptySoundSlot(i);
        offsets[i] = 0;
    }
}

void weaponSlots::startLoad(const assetPlace& weaponPlace) {
    place = weaponPlace;
    files.clear();
    problems.clear();
}

bool weaponSlots::loadImage(int32_t slot, intColor padColor, const std::string& fileName) {
    const char* fn = "QEL::cAssetMgr::loadImageIntoSlot";
    // A name too short to carry an extension is reported as it was given.
    const std::string base = fileName.size() >= 4 ? fileName.substr(0, fileName.size() - 4) : fileName;
    const std::string path = place.path(base + ".png");
    files.push_back(path);
    if (fileName.size() < 4 || !place.has(base + ".png")) {
        logError(fn, "IMAGE NOT FOUND: ", base, ".", "png");
        return false;
    }
    if (slot < 0 || slot >= kImageSlotCount) return false;
    QuadSet* set = images[slot].get();
    set->unlock();
    set->clearQuads();

    Image image;
    image.padR = padColor.r;
    image.padG = padColor.g;
    image.padB = padColor.b;
    image.padA = padColor.a;
    uint32_t result = image.LoadPNG_forcePowerOfTwo(path);
    if (result == kImageUnreadable) result = image.LoadTGA(path);
    if (result != kImageLoaded || !set->setTexture(image)) {
        logWarning(fn, "cAssetMgr could not load image file: ", path);
        problems.push_back("cannot use picture " + path + ": " + pictureRefusal(path));
        set->rebuild();
        return true;
    }
    if (Quad* quad = set->addQuad()) {
        quad->setTextureRect(FloatCoords(0, 0, 600, 400));
        // A placeholder size: each frame places the weapon image itself.
        quad->position = FloatCoords(0.0f, 0.0f, 0.5f, 0.5f);
    }
    set->rebuild();
    return true;
}

bool weaponSlots::loadSound(int32_t slot, int32_t offset, int32_t instances, const std::string& fileName) {
    const std::string file = soundFileName(fileName, place);  // looks for a ".wav" name's file
    files.push_back(place.path(file));
    if (!place.has(file)) {
        logError("QEL::cAssetMgr::loadSoundIntoSlot", "SOUND NOT FOUND: ", file);
        return false;
    }
    if (slot < 0 || slot >= kSoundSlotCount) return false;
    cSoundSlot* target = sounds[slot].get();
    emptySoundSlot(slot);
    offsets[slot] = offset;
    // Variants -v1 to -v3; the first missing one ends the search. A sound that does not decode
    // leaves no pool behind.
    for (int n = 0; n <= 3; ++n) {
        const std::string variant = n == 0 ? fileName : soundVariantName(fileName, n, place);
        if (n > 0) {
            const std::string variantFile = soundFileName(variant, place);
            files.push_back(place.path(variantFile));  // a variant added later is seen too
            if (!place.has(variantFile)) break;
        }
        if (cSoundPool* pool = poolForSlot(instances, variant)) target->pools.push_back(pool);
    }
    return true;
}

// Two slots naming the same file share one pool: a second pool could not name its sounds, which
// the first one's already carry. A pack's sounds are named with the pack's name in front, so none
// takes the name of a shared sound or of another pack's.
cSoundPool* weaponSlots::poolForSlot(int32_t instances, const std::string& soundName) {
    const std::string name = place.pack.empty() ? soundName : place.pack + "/" + soundName;
    for (const std::unique_ptr<cSoundSlot>& slot : sounds) {
        for (cSoundPool* pool : slot->pools) {
            if (pool && pool->name == name) return pool;
        }
    }
    const std::string path = place.path(soundFileName(soundName, place));
    cSoundPool* pool = soundManager->createSoundPool(instances, name, path);
    // A file that is there but does not decode is said once, here, rather than at every play.
    // (A pool whose first name another sound holds made nothing either, but not for its file.)
    const bool made = pool->instances.empty() || pool->instances.front() || soundManager->findSound(name + "_0");
    if (!made) {
        logError("QEL::cAssetMgr::loadSoundIntoSlot", "cannot decode sound file: ", path);
        problems.push_back("cannot decode sound " + path + ": the game plays Ogg Vorbis files, and WAV files named with .wav");
        soundManager->destroyGroup(pool);
        return nullptr;
    }
    return pool;
}

// A pool goes with the last slot holding it, so that memory comes back when weapons change; the
// shared sounds' pools (empty click, shells, shield) are never in a slot.
void weaponSlots::emptySoundSlot(int32_t index) {
    cSoundSlot* emptied = sounds[index].get();
    for (cSoundPool* pool : emptied->pools) {
        bool shared = false;
        for (const std::unique_ptr<cSoundSlot>& other : sounds) {
            if (other.get() != emptied && std::find(other->pools.begin(), other->pools.end(), pool) != other->pools.end())
                shared = true;
        }
        if (!shared) soundManager->destroyGroup(pool);
    }
    emptied->pools.clear();
}

}  // namespace QEL
