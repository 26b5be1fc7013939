#include "app/packLibrary.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/packInstaller.h"
#include "app/weaponChooser.h"
#include "base/dataFileReader.h"

namespace QEL {

namespace {

constexpr const char* kGamePacksDir = "../packs";

// A folder is a pack (an author's working copy) only with its pack.xml, and an archive only as a
// plain file; others are passed over quietly.
bool isPackEntry(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) return ::stat((path + "/pack.xml").c_str(), &info) == 0;
    return S_ISREG(info.st_mode);
}

std::string realPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    const std::string result = real ? real : path;
    std::free(real);
    return result;
}

// "NAME/gun.xml" -> "NAME/gun"
std::string weaponName(const std::string& file) { return file.substr(0, file.size() - 4); }

}  // namespace

packLibrary::packLibrary(const std::vector<std::string>& folders) : files(std::make_unique<packReader>()) {
    if (!files->ready()) {
        std::fprintf(stderr, "kablix: no packs are read: %s\n", files->problem().c_str());
        return;
    }
    addFolder(kGamePacksDir);
    for (const std::string& folder : folders) addFolder(folder);
}

void packLibrary::addFolder(const std::string& folder) {
    const std::string real = realPath(folder);
    if (std::find(foldersSeen.begin(), foldersSeen.end(), real) != foldersSeen.end()) return;
    foldersSeen.push_back(real);
    for (const std::string& entry : packEntries(folder))
        if (isPackEntry(folder + "/" + entry)) addPack(folder + "/" + entry);
}

void packLibrary::addPack(const std::string& path) {
    packManifest manifest;
    size_t weapons = 0;
    const std::string problem = readPackAt(*files, path, manifest, weapons);
    if (!problem.empty()) {
        std::fprintf(stderr, "kablix: %s is not a pack: %s\n", path.c_str(), problem.c_str());
        return;
    }
    for (const mountedPack& earlier : found) {
        if (earlier.manifest.name != manifest.name) continue;
        std::fprintf(stderr, "kablix: %s is left out: the pack '%s' was found first in %s\n", path.c_str(),
                     manifest.name.c_str(), earlier.path.c_str());
        return;
    }
    if (!files->mount(path, manifest.name)) {
        std::fprintf(stderr, "kablix: %s is not a pack: %s\n", path.c_str(), files->problem().c_str());
        return;
    }
    mountedPack pack{manifest, path, {}};
    for (const std::string& file : files->weaponFiles(manifest.name)) pack.weapons.push_back(weaponName(file));
    found.push_back(std::move(pack));
}

weaponListing packLibrary::listing(const dataFileReader& catalogue) const {
    weaponListing result = catalogueListing(catalogue);
    for (const mountedPack& pack : found) {
        const packManifest& m = pack.manifest;
        result.push_back(packListing{m.name, m.title, m.version, m.author, pack.weapons});
    }
    return result;
}

}  // namespace QEL
