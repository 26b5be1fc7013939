#include "base/assetPath.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>

#include <physfs.h>
#include <sys/stat.h>

#include "base/packReader.h"

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

bool assetFileExists(const std::string& fileName) { return assetPathExists(assetPath(fileName)); }

bool assetFileExists(const std::string& name, const std::string& extension) {
    return assetFileExists(name + "." + extension);
}

namespace {

const char kPackPrefix[] = "pack:";
constexpr size_t kPackPrefixLength = sizeof kPackPrefix - 1;

// The file's name in the pack file system: "NAME/FILE".
std::string packFile(const std::string& path) { return path.substr(kPackPrefixLength); }

}  // namespace

std::string assetPlace::path(const std::string& fileName) const {
    return pack.empty() ? assetPath(fileName) : kPackPrefix + pack + "/" + fileName;
}

bool assetPlace::has(const std::string& fileName) const { return assetPathExists(path(fileName)); }

assetPlace placeOfWeapon(const std::string& weaponName) {
    const size_t slash = weaponName.find('/');
    return assetPlace{slash == std::string::npos ? std::string() : weaponName.substr(0, slash)};
}

std::string weaponBaseName(const std::string& weaponName) {
    const size_t slash = weaponName.find('/');
    return slash == std::string::npos ? weaponName : weaponName.substr(slash + 1);
}

bool isPackPath(const std::string& path) { return path.compare(0, kPackPrefixLength, kPackPrefix) == 0; }

bool assetPathExists(const std::string& path) {
    if (isPackPath(path)) return packFileIsRegular(packFile(path));
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

bool readAssetFile(const std::string& path, std::string& out) {
    if (isPackPath(path)) {
        std::string problem;
        return readPackFile(packFile(path), kPackFileLimit, out, problem);
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    out.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

std::string diskFileOf(const std::string& path) {
    if (!isPackPath(path)) return path;
    const std::string file = packFile(path);
    const size_t slash = file.find('/');
    if (slash == std::string::npos || !PHYSFS_isInit()) return std::string();
    // Asked of the pack's manifest, so that a file not there yet has its place too.
    const char* real = PHYSFS_getRealDir((file.substr(0, slash) + "/pack.xml").c_str());
    struct stat folder {};
    // An archive's real place is the archive file itself.
    if (!real || ::stat(real, &folder) != 0 || !S_ISDIR(folder.st_mode)) return std::string();
    std::string disk = real;
    if (disk.empty() || disk.back() != '/') disk += '/';
    return disk + file.substr(slash + 1);
}

std::string soundFileName(const std::string& name, const assetPlace& place) {
    if (!namesWav(name)) return name + ".ogg";
    const bool olderOgg = !place.has(name) && place.has(name + ".ogg");
    return olderOgg ? name + ".ogg" : name;
}

std::string soundVariantName(const std::string& name, int n, const assetPlace& place) {
    const std::string variant = "-v" + std::to_string(n);
    if (!namesWav(name) || soundFileName(name, place) != name) return name + variant;
    const size_t extension = name.size() - 4;
    return name.substr(0, extension) + variant + name.substr(extension);
}

}  // namespace QEL
