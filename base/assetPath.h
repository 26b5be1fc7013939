// Naming rule for the assets folder: a base name and an extension name the file
// "../assets/" + name + "." + extension, relative to the working directory.
#pragma once

#include <string>

namespace QEL {

std::string assetPath(const std::string& name, const std::string& extension);

// The folder the pack is read from, from the working directory.
extern const char* const kAssetFolder;

// True when the asset file can be opened for reading (it is closed again at once).
bool assetFileExists(const std::string& name, const std::string& extension);

}  // namespace QEL
