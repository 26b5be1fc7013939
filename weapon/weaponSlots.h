// The slots of the weapon in hand: 15 picture slots (and a stand-in slot, one blank quad over the
// screen, for any other index) and 10 sound slots with their pools and the frame their animation
// sound goes on. A load notes here every picture and sound file it read or looked for, and what it
// could not use. Owned by cAssetMgr; animations and frames point into the slots. The pools are the
// sound manager's: one goes back when the last slot holding it is emptied.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/assetPath.h"
#include "render/types.h"

namespace QEL {

class QuadSet;
class cSoundManager;
class cSoundPool;

constexpr int32_t kImageSlotCount = 15;  // indices 0 to 14; any other index gives the default slot
constexpr int32_t kSoundSlotCount = 10;  // indices 0 to 9

// What a frame's sound points at: one pool per variant of the slot's sound, in loading order.
class cSoundSlot {
public:
    explicit cSoundSlot(cSoundManager* soundManager) : soundManager(soundManager) {}
    cSoundSlot(const cSoundSlot&) = delete;
    cSoundSlot& operator=(const cSoundSlot&) = delete;

    bool hasVariants() const { return !pools.empty(); }

    cSoundManager* soundManager;     // not owned
    std::vector<cSoundPool*> pools;  // borrowed from the sound manager's groups
};

class weaponSlots {
public:
    explicit weaponSlots(cSoundManager* soundManager);
    ~weaponSlots();
    weaponSlots(const weaponSlots&) = delete;
    weaponSlots& operator=(const weaponSlots&) = delete;

    // The picture `fileName` (its three-letter extension dropped: always the PNG) into slot `slot`,
    // padded with `padColor`; false when the file is missing. A file that cannot be used leaves the
    // slot empty and is a load problem.
    bool loadImage(int32_t slot, intColor padColor, const std::string& fileName);
    // The sound `fileName` and its variants -v1 to -v3 into slot `slot`, started on frame `offset`
    // of an animation naming the slot; false when the file is missing.
    bool loadSound(int32_t slot, int32_t offset, int32_t instances, const std::string& fileName);

    // Image slot `index`, or the stand-in slot for any index outside 0 to 14.
    QuadSet* image(int32_t index);
    cSoundSlot* sound(int32_t index) { return sounds[index].get(); }
    const cSoundSlot* sound(int32_t index) const { return sounds[index].get(); }
    int32_t soundOffset(int32_t index) const { return offsets[index]; }

    // Every slot emptied: pictures gone, pools given back, offsets 0.
    void clear();
    // A new load of a weapon whose files are at `place`: its files and problems are noted afresh.
    void startLoad(const assetPlace& place);
    // The picture and sound files the last load read or looked for, as assetPlace::path spells them.
    const std::vector<std::string>& filesRead() const { return files; }
    // What the last load could not use, one sentence each naming its file.
    const std::vector<std::string>& loadProblems() const { return problems; }

private:
    cSoundPool* poolForSlot(int32_t instances, const std::string& soundName);
    void emptySoundSlot(int32_t index);

    cSoundManager* soundManager;  // not owned
    std::unique_ptr<QuadSet> defaultSlot;
    std::unique_ptr<QuadSet> images[kImageSlotCount];
    std::unique_ptr<cSoundSlot> sounds[kSoundSlotCount];
    int32_t offsets[kSoundSlotCount] = {};
    assetPlace place;  // of the weapon being loaded
    std::vector<std::string> files;
    std::vector<std::string> problems;
};

}  // namespace QEL
