// What kablix-check does for an author making a pack: a pack folder made (or found) for a new
// weapon, a weapon of the base folder copied into a pack under a new name, and where the
// player's own packs live.
#pragma once

#include <ostream>
#include <string>

namespace QEL {

// The player's packs folder, which the installed game reads: $XDG_DATA_HOME/kablix/packs
// (by default ~/.local/share/kablix/packs); empty when neither variable is set.
std::string playerPacksFolder();

// A pack folder about to receive a weapon: the folder is made when missing (its parent must be
// there), and pack.xml too, named after the folder. Undo removes what was made.
class packFolderMaker {
public:
    // False, with the reason on `errors`, when the folder cannot be made or its name is no pack name,
    // or its pack.xml cannot be read.
    bool prepare(const std::string& folder, std::ostream& errors);
    void undo();
    const std::string& packName() const { return name; }
    // Says what was made, if anything.
    void report(std::ostream& out) const;

private:
    std::string folder;
    std::string name;
    bool madeFolder = false;
    bool madeManifest = false;
};

// kablix-check --copy WEAPON DIR --as NAME: writes weapon WEAPON of the base folder (../assets)
// into the pack folder `packDir` as NAME, with every file of its own it names; a file's name
// starting with WEAPON starts with NAME instead, any other is prefixed "NAME_", and the weapon
// file's references follow. Shared files stay in the base folder. Nothing is written over a file,
// and nothing at all when anything would be. Returns the exit status: 0 written, 1 refused.
int copyWeapon(const std::string& weapon, const std::string& newName, const std::string& packDir, std::ostream& out,
               std::ostream& errors);

// The line that tells how to take up weapon `weapon` of the pack in `packDir`.
std::string takeUpLine(const std::string& packDir, const std::string& pack, const std::string& weapon);

}  // namespace QEL
