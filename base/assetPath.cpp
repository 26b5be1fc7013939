#include "base/assetPath.h"

#include <cctype>
#include <cstdio>

namespace QEL {

namespace {

// A name that carries its file's extension: a WAV file, or Ogg audio named ".oga".
bool namesWav(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".wav" || tail == ".oga";
}

}  // namespace

const char* const kAssetFolder = "../assets";

std::string assetPath(const std::string& fileName) { return std::string(kAssetFolder) + "/" + fileName; }

std::string assetPath(const std::string& name, const std::string& extension) {
    return assetPath(name + "." + extension);
}

const std::vector<std::string>& sharedAssetFiles() {
    static const std::vector<std::string> files = {
        "EFFECTS.xml", "damage.txt", "emptySound.ogg", "ShellsHittingFloor1.ogg", "death01.ogg", "death02.ogg",
        "death03.ogg", "resurrect.ogg", "Digout_01.ogg", "Digout_02.ogg", "Digout_03.ogg", "Digout_04.ogg",
        "Digout_05.ogg", "Digout_06.ogg", "dodgeOn.ogg", "dodgeOff.ogg", "dodgeFail.ogg",
        "dodgeShieldRecharged.ogg", "_switchModeButton.png", "_shield.png", "_helmetBodyArmor.png",
        "_deathGUI.png", "_deathGAME.png"};
    return files;
}

bool assetFileExists(const std::string& fileName) {
    FILE* file = std::fopen(assetPath(fileName).c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

bool assetFileExists(const std::string& name, const std::string& extension) {
    return assetFileExists(name + "." + extension);
}

std::string soundFileName(const std::string& name) {
    if (!namesWav(name)) return name + ".ogg";
    const bool olderOgg = !assetFileExists(name) && assetFileExists(name + ".ogg");
    return olderOgg ? name + ".ogg" : name;
}

std::string soundVariantName(const std::string& name, int n) {
    const std::string variant = "-v" + std::to_string(n);
    if (!namesWav(name) || soundFileName(name) != name) return name + variant;
    const size_t extension = name.size() - 4;
    return name.substr(0, extension) + variant + name.substr(extension);
}

}  // namespace QEL
