// The weapon file (root kablixWeapon) as one table (xml/xmlSchema.h): the reader
// (cAssetSerializer), the weapon check (weaponTest) and kablix-check read the file through it, and
// the format guide's reference tables are printed from it. Element names are unique in this
// format, so a name alone finds its rule. Children are listed in the order the reader takes them.
#pragma once

#include <string>
#include <vector>

#include "xml/xmlSchema.h"

namespace QEL {

extern const slotRule kImageSlots;  // 0 to 14, filled by <image>
extern const slotRule kSoundSlots;  // 0 to 9, filled by <sound>

const xmlSchema& weaponFormat();
const elementRule& weaponRule(const char* name);

// What an animation's name makes it: a role names one animation ("intro") or, followed by exactly
// one decimal digit, a family to pick from at random ("shot" for shot0 to shot9).
enum class animationRole { none, intro, firstShot, shot, burst, lastShot, windDown, reload, emptyState, idle };

struct animationRoleName {
    const char* name;
    bool numbered;  // the name takes one digit 0 to 9
    animationRole role;
    const char* meaning;
};
const std::vector<animationRoleName>& animationRoleNames();
animationRole roleOf(const std::string& animationName);

}  // namespace QEL
