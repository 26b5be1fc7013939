// What the weapon file reader fills while it reads one weapon: the image and sound slots, the
// magazine, the cartridge ejector and the particle layer's emitters. The asset manager is the one
// implementation; the reader (cAssetSerializer) borrows it for the length of a load.
#pragma once

#include <cstdint>
#include <string>

#include "render/types.h"

namespace QEL {

class QuadSet;
enum class BlendMode : int32_t;
class cSoundSlot;
class cCartridgeEjector;
class cEmitter;

class weaponLoadTarget {
public:
    virtual ~weaponLoadTarget() = default;

    // A picture into image slot `slot` (0 to 14), padded with `padColor`; false when its file is
    // missing (a file that cannot be used is a load problem, not a failure).
    virtual bool loadImageIntoSlot(int32_t slot, intColor padColor, const std::string& fileName) = 0;
    // A sound and its variants into sound slot `slot` (0 to 9), started on frame `offset` of an
    // animation that names the slot; false when its file is missing.
    virtual bool loadSoundIntoSlot(int32_t slot, int32_t offset, int32_t instances, const std::string& fileName) = 0;
    // Image slot `index`, or the stand-in slot for any index outside 0 to 14.
    virtual QuadSet* imageSlot(int32_t index) = 0;
    // Sound slot `index` (0 to 9), and the frame its animation sound goes on.
    virtual cSoundSlot* soundSlotAt(int32_t index) = 0;
    virtual int32_t soundOffset(int32_t index) const = 0;
    // The magazine of `rounds` shown in image slot `imageIndex`: the slot showing them, or null
    // when none is shown (fewer than one round: no magazine at all).
    virtual QuadSet* setAmmo(int32_t rounds, int32_t imageIndex) = 0;
    virtual cCartridgeEjector& cartridges() = 0;
    // The particle layer's emitter of picture `file`, made with `blend` when the layer has none
    // yet; shared by every weapon that names the picture (the first one's blend wins).
    virtual cEmitter* weaponEmitter(const std::string& file, BlendMode blend) = 0;
};

}  // namespace QEL
