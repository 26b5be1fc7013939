#include "base/assetPath.h"

#include <cstdio>

namespace QEL {

const char* const kAssetFolder = "../assets";

std::string assetPath(const std::string& name, const std::string& extension) {
    return std::string(kAssetFolder) + "/" + name + "." + extension;
}

bool assetFileExists(const std::string& name, const std::string& extension) {
    FILE* file = std::fopen(assetPath(name, extension).c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

}  // namespace QEL
