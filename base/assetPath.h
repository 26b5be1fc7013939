// Naming rule for the assets folder: a base name and an extension name the file
// "../assets/" + name + "." + extension, relative to the working directory.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace QEL {

std::string assetPath(const std::string& name, const std::string& extension);
// The same for a file name that carries its extension: "../assets/" + fileName.
std::string assetPath(const std::string& fileName);

// The folder the pack is read from, from the working directory.
extern const char* const kAssetFolder;

// The files the game itself loads by fixed name from the base folder, whatever weapon is in hand
// (the empty click, shells, death, dig and shield sounds, the switch and damage pictures, the hit
// effects and the damage setting), with their extensions. A pack never ships or overrides them, so
// shot numbers and their effects mean the same on every copy. The pictures and sounds EFFECTS.xml
// names are shared too, though not listed here: they follow from that file.
const std::vector<std::string>& sharedAssetFiles();

// True when the asset file can be opened for reading (it is closed again at once).
bool assetFileExists(const std::string& name, const std::string& extension);
bool assetFileExists(const std::string& fileName);

// Where a weapon's own files are: the base folder (an empty pack name) or the pack of that name,
// whose files are named "pack:NAME/FILE" and read through the pack file system (base/packReader).
// The readers of pictures, sounds and XML take such a name as they take a path.
struct assetPlace {
    std::string pack;

    std::string path(const std::string& fileName) const;
    bool has(const std::string& fileName) const;
};

// The place of a weapon named "PACK/WEAPON" (the base folder for a bare name), and the weapon's
// file name in it without ".xml".
assetPlace placeOfWeapon(const std::string& weaponName);
std::string weaponBaseName(const std::string& weaponName);

// A pack file is read whole into memory, and never when it is larger than this.
constexpr size_t kPackFileLimit = 64u << 20;

bool isPackPath(const std::string& path);
// True when `path` (a plain path, or a pack file name) is a file that can be read.
bool assetPathExists(const std::string& path);
// Reads `path` whole into `out`: a plain path from the disk, a pack file through the pack file
// system when it is a regular file of at most kPackFileLimit bytes.
bool readAssetFile(const std::string& path, std::string& out);
// The file on the disk that `path` is (or would be): itself for a plain path, the file in a pack
// folder for a pack file; empty for a file inside an archive, which nobody saves.
std::string diskFileOf(const std::string& path);

// Sounds that pack files name (a weapon's <sound>, a hit effect's spurt): a name ending in ".wav"
// (any case) is that WAV file as written, and one ending in ".oga" that Ogg Vorbis file; any
// other name is an Ogg Vorbis file, ".ogg" added. A ".wav" name whose file is missing still finds
// "<name>.ogg", where such a name was looked up before, so packs made then keep loading.
// The file in the assets folder that holds the sound named `name` (the ".wav" itself when neither
// file exists, so a complaint names the file the author meant).
std::string soundFileName(const std::string& name, const assetPlace& place = {});
// The name of variant n (1 to 3) of the sound `name`: "shot-v1" for "shot", "shot-v1.wav" for a
// "shot.wav" held by its WAV file.
std::string soundVariantName(const std::string& name, int n, const assetPlace& place = {});

}  // namespace QEL
