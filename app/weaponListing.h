// What the game can take up: the weapons of the base folder and of every pack it found, grouped by
// pack. Made once at start-up by main (from gunList.txt and the packs folders) and handed to the main
// loop, which owns its copy; F12's chooser shows it.
#pragma once

#include <string>
#include <vector>

namespace QEL {

struct packListing {
    std::string name;  // empty for the base folder
    std::string title, version, author;
    // Full weapon names, in the order shown: "rifle" in the base folder, "desert/rifle" in a pack.
    std::vector<std::string> weapons;
};

using weaponListing = std::vector<packListing>;

}  // namespace QEL
