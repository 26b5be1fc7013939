#include "check/packFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <physfs.h>
#include <tinyxml.h>

#include "base/assetPath.h"
#include "base/packReader.h"

namespace QEL {

namespace {

// No file of an archive that passed the installer's limits is larger.
constexpr size_t kMaxUnpackedFile = 64u << 20;

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string resolved(const std::string& path) {
    char full[PATH_MAX];
    return realpath(path.c_str(), full) ? full : path;
}

// A sound name as a file name, as soundFileName gives it when the file is there.
void addSound(const std::string& name, bool variants, std::vector<std::string>& files) {
    for (int n = 0; n <= (variants ? 3 : 0); ++n) {
        const std::string base = n == 0 ? name : soundVariantName(name, n);
        const bool own = endsWith(base, ".wav") || endsWith(base, ".oga");
        files.push_back(own ? base : base + ".ogg");
        if (endsWith(base, ".wav")) files.push_back(base + ".ogg");
    }
}

void effectsFiles(const TiXmlElement* element, bool variants, std::vector<std::string>& files) {
    for (; element; element = element->NextSiblingElement()) {
        const char* file = element->Attribute("file");
        if (file && element->ValueStr() == "emitter") files.push_back(std::string(file) + ".png");
        if (file && element->ValueStr() == "sound") addSound(file, variants, files);
        effectsFiles(element->FirstChildElement(), variants, files);
    }
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') names.push_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void removeTree(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return;
    if (S_ISDIR(info.st_mode)) {
        if (DIR* dir = opendir(path.c_str())) {
            std::vector<std::string> names;
            while (const dirent* entry = readdir(dir))
                if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.push_back(entry->d_name);
            closedir(dir);
            for (const std::string& name : names) removeTree(path + "/" + name);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

bool isWeaponFile(const std::string& file) { return endsWith(file, ".xml") && file != "pack.xml"; }

// Reads the staged pack.xml into `manifest`; what is wrong with it becomes a finding.
bool checkManifest(const std::string& shown, findingList& findings, packManifest& manifest) {
    std::ifstream file(assetPath("pack.xml"), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    std::string problem;
    if (!file) {
        problem = "missing: a pack has pack.xml, e.g. <kablixPack name=\"desert\" title=\"Desert Arms\" version=\"1.0\"/>";
    } else if (text.str().size() > kMaxManifestBytes) {
        problem = "larger than " + std::to_string(kMaxManifestBytes) + " bytes";
    } else if (!readPackManifest(text.str(), manifest, problem)) {
        problem = "pack.xml " + problem;
    }
    if (!problem.empty()) findings.add(shown, 1, 1, findingKind::error, problem);
    return problem.empty();
}

}  // namespace

std::vector<std::string> sharedFiles(const std::string& baseDir, bool variants) {
    std::vector<std::string> files = sharedAssetFiles();
    TiXmlDocument effects;
    if (effects.LoadFile(baseDir + "/EFFECTS.xml")) effectsFiles(effects.FirstChildElement(), variants, files);
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}

packStage::~packStage() {
    leave();
    if (!scratch.empty()) removeTree(scratch);
}

bool packStage::makeScratch(const std::string& baseDir, std::string& problem) {
    char pattern[] = "/tmp/kablix-check.XXXXXX";
    if (!mkdtemp(pattern)) return problem = "cannot make a scratch folder in /tmp", false;
    scratch = pattern;
    if (mkdir((scratch + "/assets").c_str(), 0700) != 0 || mkdir((scratch + "/run").c_str(), 0700) != 0)
        return problem = "cannot make a scratch folder in " + scratch, false;
    const std::string base = resolved(baseDir);
    for (const std::string& file : sharedFiles(base, true)) {
        shared.insert(file);
        struct stat info;
        if (stat((base + "/" + file).c_str(), &info) == 0 &&
            symlink((base + "/" + file).c_str(), (scratch + "/assets/" + file).c_str()) != 0)
            return problem = "cannot link " + file + " into " + scratch, false;
    }
    return true;
}

bool packStage::stageFolder(const std::string& packDir, const std::string& packShown, const std::string& baseDir,
                            findingList& findings, std::string& problem) {
    struct stat info;
    if (stat(packDir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return problem = "not a folder", false;
    if (!makeScratch(baseDir, problem)) return false;
    const std::string pack = resolved(packDir);
    for (const std::string& entry : folderEntries(pack)) {
        const std::string shown = packShown + "/" + entry;
        lstat((pack + "/" + entry).c_str(), &info);
        if (S_ISLNK(info.st_mode)) {
            findings.add(shown, 1, 1, findingKind::error,
                         "a symbolic link: the game follows no links in a pack; put the file itself here");
        } else if (S_ISDIR(info.st_mode)) {
            findings.add(shown, 1, 1, findingKind::warning,
                         "a folder: a pack's files lie beside its pack.xml; nothing in a folder is checked or exported");
        } else if (!S_ISREG(info.st_mode)) {
            findings.add(shown, 1, 1, findingKind::error, "not a plain file");
        } else if (shared.count(entry)) {
            findings.add(shown, 1, 1, findingKind::warning,
                         "a shared file: the game takes it from the base folder, never from a pack; remove it");
        } else if (symlink((pack + "/" + entry).c_str(), (scratch + "/assets/" + entry).c_str()) != 0) {
            return problem = "cannot link " + entry + " into " + scratch, false;
        } else {
            files.push_back(entry);
        }
    }
    return true;
}

bool packStage::stageMount(packReader& reader, const std::string& name, const std::string& baseDir,
                           std::string& problem) {
    if (!makeScratch(baseDir, problem)) return false;
    char** listed = PHYSFS_enumerateFiles(("/" + name).c_str());
    for (char** entry = listed; entry && *entry; ++entry) files.push_back(*entry);
    PHYSFS_freeList(listed);
    std::sort(files.begin(), files.end());
    std::vector<std::string> unpacked;
    for (const std::string& file : files) {
        std::string bytes;
        PHYSFS_Stat info;
        const std::string inPack = name + "/" + file;
        // Folders are not the pack's files, and the base folder's shared files win over the pack's.
        if (!PHYSFS_stat(inPack.c_str(), &info) || info.filetype != PHYSFS_FILETYPE_REGULAR || shared.count(file)) continue;
        if (!reader.readFile(inPack, kMaxUnpackedFile, bytes)) return problem = inPack + " " + reader.problem(), false;
        std::ofstream out(scratch + "/assets/" + file, std::ios::binary);
        if (!out.write(bytes.data(), std::streamsize(bytes.size()))) return problem = "cannot unpack " + inPack, false;
        unpacked.push_back(file);
    }
    files = unpacked;
    return true;
}

bool packStage::enter() {
    if (home < 0) home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return home >= 0 && chdir((scratch + "/run").c_str()) == 0;
}

void packStage::leave() {
    if (home < 0) return;
    if (fchdir(home) != 0) {
        // The folder entered from is gone; findings were made with full paths, so nothing relies on it.
    }
    close(home);
    home = -1;
}

packReport checkPackFolder(const std::string& packDir, const std::string& baseDir, const std::string& baseShown,
                           const std::vector<std::string>& weapons) {
    packReport report;
    report.checker = std::make_unique<packChecker>(packDir, resolved(packDir));
    packChecker& checker = *report.checker;
    packStage stage;
    std::string problem;
    if (!stage.stageFolder(packDir, packDir, baseDir, checker.findings, problem) || !stage.enter()) {
        checker.findings.add(packDir, 1, 1, findingKind::error,
                             "cannot check the pack: " + (problem.empty() ? "cannot enter a scratch folder" : problem));
        return report;
    }
    checker.shareFrom(stage.sharedNames(), baseShown);
    report.files = stage.packFiles();

    report.manifestRead = checkManifest(packDir + "/pack.xml", checker.findings, report.manifest);

    std::vector<std::string> chosen = weapons;
    for (const std::string& file : report.files)
        if (weapons.empty() && isWeaponFile(file)) chosen.push_back(file.substr(0, file.size() - 4));
    if (chosen.empty() && weapons.empty())
        checker.findings.add(packDir, 1, 1, findingKind::error,
                             "the pack has no weapon (a weapon is a .xml file beside pack.xml)");
    for (const std::string& weapon : chosen) checker.checkWeapon(weapon);
    checker.hitEffects();
    if (weapons.empty()) checker.requireFiles(sharedFiles(kAssetFolder, false));  // the base folder's, linked
    for (const std::string& file : report.files) {
        if (!weapons.empty() || file == "pack.xml" || isWeaponFile(file) || checker.namedFiles.count(file)) continue;
        checker.findings.add(packDir + "/" + file, 1, 1, findingKind::warning,
                             "no weapon of the pack names this file; remove it or name it");
    }
    return report;
}

std::vector<std::string> archiveCheck::errors(packReader& files, const std::string& weaponFile) {
    const size_t slash = weaponFile.find('/');
    const std::string name = weaponFile.substr(0, slash);
    const std::string weapon = weaponFile.substr(slash + 1, weaponFile.size() - slash - 5);
    std::string problem;
    if (!stage || stagedName != name) {
        stage = std::make_unique<packStage>();
        stagedName = name;
        if (!stage->stageMount(files, name, baseDir, problem)) return {weaponFile + ":1:1: error: " + problem};
    }
    if (!stage->enter()) return {weaponFile + ":1:1: error: cannot enter a scratch folder"};
    packChecker checker(name, name);
    checker.shareFrom(stage->sharedNames(), baseDir);
    checker.checkWeapon(weapon);
    stage->leave();
    std::vector<std::string> lines;
    for (const finding* f : checker.findings.inPrintOrder())
        if (f->kind == findingKind::error) lines.push_back(findingList::lineOf(*f));
    return lines;
}

}  // namespace QEL
