// The packs the game plays: every pack (NAME.zip, or a folder NAME/ with pack.xml) in ../packs/ and
// in each --packs folder, in that order, each mounted read-only under its own name (the name in its
// pack.xml) for the asset readers, which read "PACK/WEAPON"'s files through the pack file system.
// A pack whose name was found before is left out and said on standard error, as is what is not a
// readable pack. Owned by main for the whole run; it owns the pack file system (base/packReader).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/weaponListing.h"
#include "base/packReader.h"
#include "xml/packManifest.h"

namespace QEL {

class dataFileReader;

class packLibrary {
public:
    // Finds and mounts the packs of `folders` (those of the command line; ../packs comes first).
    explicit packLibrary(const std::vector<std::string>& folders);

    // What can be taken up: the base folder's catalogue weapons in the catalogue's order (as F12's
    // page always listed them), each once, then each pack in the order found with its weapons sorted.
    weaponListing listing(const dataFileReader& catalogue) const;

    struct mountedPack {
        packManifest manifest;
        std::string path;                  // the archive or folder on disk
        std::vector<std::string> weapons;  // "NAME/WEAPON", sorted
    };
    const std::vector<mountedPack>& packs() const { return found; }

private:
    void addFolder(const std::string& folder);
    void addPack(const std::string& path);

    std::unique_ptr<packReader> files;
    std::vector<mountedPack> found;
    std::vector<std::string> foldersSeen;  // real paths, so a folder named twice is read once
};

}  // namespace QEL
