// Naming rule for the assets folder: a base name and an extension name the file
// "../assets/" + name + "." + extension, relative to the working directory.
#pragma once

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

// Sounds that pack files name (a weapon's <sound>, a hit effect's spurt): a name ending in ".wav"
// (any case) is that WAV file as written, and one ending in ".oga" that Ogg Vorbis file; any
// other name is an Ogg Vorbis file, ".ogg" added. A ".wav" name whose file is missing still finds
// "<name>.ogg", where such a name was looked up before, so packs made then keep loading.
// The file in the assets folder that holds the sound named `name` (the ".wav" itself when neither
// file exists, so a complaint names the file the author meant).
std::string soundFileName(const std::string& name);
// The name of variant n (1 to 3) of the sound `name`: "shot-v1" for "shot", "shot-v1.wav" for a
// "shot.wav" held by its WAV file.
std::string soundVariantName(const std::string& name, int n);

}  // namespace QEL
