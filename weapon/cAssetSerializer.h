// cAssetSerializer: reads the weapon document a weapon check parsed into the cAsset that
// cAssetMgr has just created, and on the way fills the load target (weaponLoadTarget.h): the
// weapon's images and sounds into its slots, the ammunition, the cartridge ejector, and the
// weapon's emitters into the particle layer (shared by name across weapons).
// One per cAssetMgr, kept for the manager's lifetime; it owns nothing it reads into.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "render/types.h"
#include "xml/XMLSerializer.h"

namespace QEL {

class cAsset;
class cAnimation;
class cAnimFrame;
class cEmitter;
class weaponLoadTarget;

class cAssetSerializer : public XMLSerializer {
public:
    cAssetSerializer() = default;

    // Reads `document` (the checked weapon's, not owned) into `target`, filling `into`; false
    // (after its log line) when there is none or the weapon file is not usable. The asset is then
    // partly filled and must be discarded.
    bool loadXML(cAsset* target, TiXmlDocument* document, weaponLoadTarget& into);
    using XMLSerializer::loadXML;

    bool processRoot(TiXmlElement* root) override;

    // First emitter this weapon declared with `id`, or null after an error line.
    cEmitter* getEmitter(int32_t id);

    // The two passes over <custom>: before the images and after the animations.
    bool processCustom(TiXmlElement* custom);
    bool processCustomPost(TiXmlElement* custom);

    void processAnimation(TiXmlElement* animation);

    cAsset* asset = nullptr;                             // not owned
    weaponLoadTarget* slots = nullptr;                   // not owned; set for the length of a load
    std::vector<std::pair<int32_t, cEmitter*>> emitters; // this weapon's, file order
    intColor fillColor{255, 255, 255, 0};                // pad colour of every image load

private:
    bool processImages(TiXmlElement* images);
    void processEmitters(TiXmlElement* emitterList);
    void processShotTypes(TiXmlElement* shotTypes);
    bool processSounds(TiXmlElement* sounds);
    void processEjectCartridge(TiXmlElement* eject);
    void processAmmo(TiXmlElement* ammo);
    cAnimFrame* processFrame(TiXmlElement* frameElement, cAnimation* animation, int32_t frameNumber,
                             int32_t soundSlot, int32_t soundOffset);
    bool linkAnimation(TiXmlElement* setting, const char* baseName, bool& linkedFlag);
};

}  // namespace QEL
