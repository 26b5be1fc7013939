// The check a weapon file passes before it is loaded: testWeapon parses ../assets/<name>.xml (or,
// for a weapon named "PACK/WEAPON", WEAPON.xml of that pack),
// makes sure the root attributes a weapon needs are there and that every image and sound file it
// names exists, and reads the weapon's two display flags. It returns all it found as one value,
// which the loader (cAssetMgr::loadAsset) takes and walks again; nothing is kept between the two.
#pragma once

#include <memory>
#include <string>

#include "base/assetPath.h"
#include "xml/XMLSerializer.h"

namespace QEL {

// The weapon's display flags as the check reads them from <custom>.
struct displayFlags {
    bool backgroundOff = false;    // <drawBackground> is "false" or "blendAlpha"
    bool portraitDisplay = false;  // <landscapeMode> is "false", or <portraitMode> is "true"
};

// What one check of one weapon file found. Move-only: it owns the parsed document.
class checkedWeapon {
public:
    // Whether the check let the weapon through.
    explicit operator bool() const { return passed; }

    std::string name;                         // the name checked: "rifle", or "desert/rifle" in a pack
    assetPlace place;                         // where its file and the files it names are
    std::unique_ptr<TiXmlDocument> document;  // null when the file is missing or cannot be parsed
    bool passed = false;
    displayFlags flags;                       // as read by a check that passed; false otherwise
};

// One check of one parsed weapon file; a temporary object is made for each check.
class weaponTest : public XMLSerializer {
public:
    weaponTest() = default;  // the base folder's weapon
    explicit weaponTest(const assetPlace& place) : place(place) {}

    // Checks in order: root name, name, allowInterrupt, images, emitter images, sounds, then reads
    // the flags. The first failing check logs its one line and returns false.
    bool processRoot(TiXmlElement* root) override;

    displayFlags flags;  // set by a processRoot that passed

private:
    assetPlace place;
};

// Checks the weapon named `name` ("rifle" in the base folder, "desert/rifle" in the pack desert). A missing file logs "XML for <name> was not found."
// and gives a value without a document; a file that cannot be parsed gives one without a document
// either (after the parser's line).
checkedWeapon testWeapon(const std::string& name);

}  // namespace QEL
