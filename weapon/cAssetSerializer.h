// cAssetSerializer: reads the weapon document a weapon check parsed into the cAsset that
// cAssetMgr has just created, and on the way makes the manager load the weapon's images and
// sounds into its slots, sets up the ammunition and the cartridge ejector, and adds the weapon's
// emitters to the manager's particle layer (shared by name across weapons).
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
class cAssetMgr;
class cAnimation;
class cAnimFrame;
class cEmitter;

class cAssetSerializer : public XMLSerializer {
public:
    cAssetSerializer() = default;

    // Reads `document` (the checked weapon's, not owned) into `target`; false (after its log line)
    // when there is none or the weapon file is not usable. The asset is then partly filled and
    // must be discarded.
    bool loadXML(cAsset* target, TiXmlDocument* document);
    using XMLSerializer::loadXML;

    bool processRoot(TiXmlElement* root) override;

    // First emitter this weapon declared with `id`, or null after an error line.
    cEmitter* getEmitter(int32_t id);

    // The two passes over <custom>: before the images and after the animations.
    bool processCustom(TiXmlElement* custom);
    bool processCustomPost(TiXmlElement* custom);

    void processAnimation(TiXmlElement* animation);

    cAsset* asset = nullptr;                             // not owned
    std::vector<std::pair<int32_t, cEmitter*>> emitters; // this weapon's, file order
    intColor fillColor{255, 255, 255, 0};                // pad colour of every image load

private:
    cAssetMgr* manager() const;
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
