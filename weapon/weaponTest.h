// The check a weapon file passes before it is loaded: weaponTest parses ../assets/<name>.xml into the
// program-wide lastTestedDocument, makes sure the root attributes a weapon needs are there and that
// every image and sound file it names exists, and records the weapon's two display flags.
// The weapon loader then walks the same kept document again, so a weapon is loaded only right after
// testWeapon succeeded for it.
#pragma once

#include <string>

#include "xml/XMLSerializer.h"

namespace QEL {

// The parsed document of the weapon checked last; owned here, replaced by every check that finds
// the weapon's file, read by the next weapon load, deleted at shutdown (releaseLastTestedDocument).
extern TiXmlDocument* lastTestedDocument;

// The base name whose document lastTestedDocument holds (empty when none is kept). A hit effect's
// weapon-change command compares its target with it to leave the weapon in hand alone.
extern std::string lastTestedWeaponName;

// Display flags of the weapon checked last, set afresh by every check that reaches the <custom> step.
extern bool backgroundOff;    // <drawBackground> is "false" or "blendAlpha"
extern bool portraitDisplay;  // <landscapeMode> is "false", or <portraitMode> is "true"

// One check of one weapon file; a temporary object is made for each check.
class weaponTest : public XMLSerializer {
public:
    // Checks in order: root name, name, allowInterrupt, images, emitter images, sounds, then sets the
    // flags. The first failing check logs its one line and returns false.
    bool processRoot(TiXmlElement* root) override;
};

// Checks the weapon with base name `name`. A missing file logs "XML for <name> was not found." and
// leaves the kept document alone; otherwise the kept document is replaced by this weapon's (or
// cleared, when it cannot be parsed) and the check's result is returned.
bool testWeapon(const std::string& name);

// Deletes the kept document, if any, and clears the slot.
void releaseLastTestedDocument();

}  // namespace QEL
