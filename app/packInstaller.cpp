#include "app/packInstaller.h"

#include "base/assetPath.h"
#include "base/zipDirectory.h"
#include "check/packFolder.h"
#include "xml/packManifest.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iostream>
#include <memory>

namespace QEL {

namespace {

constexpr const char* kDefaultPacksDir = "../packs";
constexpr const char* kIncoming = "+incoming";  // a mount name no pack may have ('+' is refused)
// Room for the largest contents plus every entry's headers; anything larger cannot pass anyway.
constexpr uint64_t kMaxArchiveBytes = kMaxPackUnpackedBytes + (8ull << 20);

packOutcome refused(const std::string& why) { return packOutcome{false, why, {}}; }

std::string systemError() { return std::strerror(errno); }

bool exists(const std::string& path, struct stat& info) { return ::lstat(path.c_str(), &info) == 0; }

// An entry's name as a refusal shows it: control characters, which could rewrite the terminal
// line, are shown as '?'.
std::string shownName(std::string name) {
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return "entry '" + name + "'";
}

// Every way an entry may reach outside the pack or be something other than a file or folder.
std::string entryProblem(const zipEntry& entry) {
    const std::string& name = entry.name;
    const std::string quoted = shownName(name);
    if (name.empty() || name.find('\0') != std::string::npos) return "an entry has an empty or broken name";
    if (name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':')) return quoted + " has an absolute path";
    for (size_t start = 0; start <= name.size();) {
        const size_t stop = std::min(name.find_first_of("/\\", start), name.size());
        if (name.compare(start, stop - start, "..") == 0) return quoted + " climbs out of the pack with '..'";
        start = stop + 1;
    }
    const uint32_t type = entry.unixMode & S_IFMT;
    if (type == S_IFLNK) return quoted + " is a symbolic link";
    if (type != 0 && type != S_IFREG && type != S_IFDIR) return quoted + " is a device or other special file";
    if (uint64_t(entry.unpackedBytes) > uint64_t(entry.packedBytes) * kMaxPackRatio)
        return quoted + " is packed more than " + std::to_string(kMaxPackRatio) + ":1 (a zip bomb?)";
    return "";
}

std::string archiveProblem(const std::vector<unsigned char>& bytes) {
    std::vector<zipEntry> entries;
    std::string problem;
    if (!readZipDirectory(bytes.data(), bytes.size(), kMaxPackEntries, entries, problem)) return problem;
    if (entries.size() > kMaxPackEntries) return "it has more than " + std::to_string(kMaxPackEntries) + " entries";
    uint64_t unpacked = 0;
    for (const zipEntry& entry : entries) {
        problem = entryProblem(entry);
        if (!problem.empty()) return problem;
        unpacked += entry.unpackedBytes;
    }
    if (unpacked > kMaxPackUnpackedBytes) return "it unpacks to more than " + std::to_string(kMaxPackUnpackedBytes >> 20) + " MiB";
    return "";
}

bool readArchive(const std::string& archive, std::vector<unsigned char>& bytes, std::string& problem) {
    struct stat info;
    if (::stat(archive.c_str(), &info) != 0) return problem = systemError(), false;
    if (!S_ISREG(info.st_mode)) return problem = "it is not a file", false;
    if (uint64_t(info.st_size) > kMaxArchiveBytes)
        return problem = "it is larger than " + std::to_string(kMaxArchiveBytes >> 20) + " MiB", false;
    std::ifstream in(archive, std::ios::binary);
    bytes.resize(size_t(info.st_size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size())) || in.peek() != EOF)
        return problem = "it could not be read whole", false;
    return true;
}

// The archive's manifest, read through a mount of its own that is gone again on return.
bool readManifest(packReader& files, const std::vector<unsigned char>& bytes, const std::string& archive,
                  packManifest& manifest, std::string& problem) {
    if (!files.mountArchiveBytes(bytes, archive, kIncoming)) return problem = files.problem(), false;
    std::string text;
    const bool read = files.readFile(std::string(kIncoming) + "/pack.xml", kMaxManifestBytes, text);
    if (!read) problem = files.problem();
    files.unmount(archive);
    if (read && readPackManifest(text, manifest, problem)) return true;
    problem = "its pack.xml " + problem;
    return false;
}

// Writes `bytes` as `target` by way of a temporary file in the same folder and a rename.
bool writeAtomically(const std::vector<unsigned char>& bytes, const std::string& folder, const std::string& target,
                     std::string& problem) {
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return problem = folder + ": " + systemError(), false;
    std::string temporary = folder + "/.incoming-XXXXXX";
    const int descriptor = ::mkstemp(&temporary[0]);
    if (descriptor < 0) return problem = folder + ": " + systemError(), false;
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (n <= 0) break;
        written += size_t(n);
    }
    const bool whole = written == bytes.size() && ::fchmod(descriptor, 0644) == 0 && ::fsync(descriptor) == 0;
    const std::string error = systemError();
    ::close(descriptor);
    if (whole && ::rename(temporary.c_str(), target.c_str()) == 0) return true;
    problem = target + ": " + (whole ? systemError() : error);
    ::unlink(temporary.c_str());
    return false;
}

// Each weapon of the archive judged by `vet` under the pack's own name, as the game will name it;
// a refusal when any finding came back, else an empty line.
packOutcome vetWeapons(packReader& files, const std::vector<unsigned char>& bytes, const std::string& archive,
                       const std::string& name, const weaponVetter& vet) {
    packOutcome outcome;
    if (!files.mountArchiveBytes(bytes, archive, name)) return refused(files.problem());
    for (const std::string& weapon : files.weaponFiles(name))
        for (std::string& finding : vet(files, weapon)) outcome.findings.push_back(std::move(finding));
    files.unmount(archive);
    if (!outcome.findings.empty())
        outcome.line = "its weapons fail the weapon check (" + std::to_string(outcome.findings.size()) + " findings)";
    return outcome;
}

std::string listLine(const packManifest& manifest, size_t weapons, const std::string& path) {
    std::string line = manifest.name + " " + manifest.version + " \"" + manifest.title + "\"";
    if (!manifest.author.empty()) line += " by " + manifest.author;
    if (!manifest.license.empty()) line += " (" + manifest.license + ")";
    return line + ": " + std::to_string(weapons) + (weapons == 1 ? " weapon in " : " weapons in ") + path;
}

}  // namespace

std::vector<std::string> packEntries(const std::string& packsDir) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(packsDir.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            struct stat info;
            if (name[0] == '.') continue;
            const bool folder = ::stat((packsDir + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
            if (folder || (name.size() > 4 && name.compare(name.size() - 4, 4, ".zip") == 0)) names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string readPackAt(packReader& files, const std::string& path, packManifest& manifest, size_t& weapons) {
    std::string problem;
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".zip") == 0) {
        std::vector<unsigned char> bytes;
        if (!readArchive(path, bytes, problem)) return problem;
        problem = archiveProblem(bytes);
        if (!problem.empty()) return problem;
    }
    if (!files.mount(path, kIncoming)) return files.problem();
    std::string text;
    if (!files.readFile(std::string(kIncoming) + "/pack.xml", kMaxManifestBytes, text))
        problem = "pack.xml " + files.problem();
    else if (!readPackManifest(text, manifest, problem))
        problem = "pack.xml " + problem;
    weapons = files.weaponFiles(kIncoming).size();
    files.unmount(path);
    return problem;
}

packOutcome installPack(packReader& files, const std::string& archive, const std::string& packsDir, bool replace,
                        const weaponVetter& vet) {
    std::vector<unsigned char> bytes;
    std::string problem;
    if (!readArchive(archive, bytes, problem)) return refused(problem);
    problem = archiveProblem(bytes);
    if (!problem.empty()) return refused(problem);
    packManifest manifest;
    if (!readManifest(files, bytes, archive, manifest, problem)) return refused(problem);

    const std::string target = packsDir + "/" + manifest.name + ".zip";
    struct stat info;
    if (exists(packsDir + "/" + manifest.name, info) && S_ISDIR(info.st_mode))
        return refused("a pack folder named '" + manifest.name + "' is in " + packsDir + " (remove it by hand to install this one)");
    if (exists(target, info) && !replace)
        return refused("a pack named '" + manifest.name + "' is already installed in " + packsDir + " (--replace replaces it)");
    if (vet) {
        packOutcome outcome = vetWeapons(files, bytes, archive, manifest.name, vet);
        if (!outcome.line.empty()) return outcome;
    }
    if (!writeAtomically(bytes, packsDir, target, problem)) return refused(problem);
    return packOutcome{true, "added pack " + manifest.name + " " + manifest.version + " as " + target, {}};
}

packOutcome removePack(const std::string& name, const std::string& packsDir) {
    if (!validPackName(name)) return refused("'" + name + "' is not a pack name (1 to 24 of a-z, 0-9, '-' and '_')");
    struct stat info;
    if (exists(packsDir + "/" + name, info) && S_ISDIR(info.st_mode))
        return refused(packsDir + "/" + name + " is a pack folder; only installed archives are removed (remove it by hand)");
    const std::string target = packsDir + "/" + name + ".zip";
    if (!exists(target, info)) return refused("no pack named '" + name + "' is installed in " + packsDir);
    if (::unlink(target.c_str()) != 0) return refused(target + ": " + systemError());
    return packOutcome{true, "removed pack " + name + " from " + packsDir, {}};
}

std::vector<std::string> listPacks(packReader& files, const std::string& packsDir, std::vector<std::string>& problems) {
    std::vector<std::string> lines;
    for (const std::string& entry : packEntries(packsDir)) {
        const std::string path = packsDir + "/" + entry;
        packManifest manifest;
        size_t weapons = 0;
        const std::string problem = readPackAt(files, path, manifest, weapons);
        if (problem.empty())
            lines.push_back(listLine(manifest, weapons, path));
        else
            problems.push_back(path + " is not a pack: " + problem);
    }
    return lines;
}

int runPackRequest(const packRequest& request) {
    packReader files;
    if (!files.ready()) {
        std::cerr << "kablix: " << files.problem() << "\n";
        return 1;
    }
    // The launcher names the player's folder first; a folder given after it is the one meant.
    const std::string target = request.packsDirs.empty() ? kDefaultPacksDir : request.packsDirs.back();
    bool allDone = true;
    auto report = [&allDone](const packOutcome& outcome, const std::string& what) {
        if (outcome.done) {
            std::cout << outcome.line << "\n";
            return;
        }
        allDone = false;
        std::cerr << "kablix: cannot " << what << ": " << outcome.line << "\n";
        for (const std::string& finding : outcome.findings) std::cerr << finding << "\n";
    };
    if (!request.removeName.empty()) report(removePack(request.removeName, target), "remove pack " + request.removeName);
    if (!request.addArchive.empty()) {
        // Each weapon is checked as the game will read it, beside the base folder's shared files.
        auto check = std::make_shared<archiveCheck>(kAssetFolder);
        const weaponVetter vet = [check](packReader& reader, const std::string& weapon) { return check->errors(reader, weapon); };
        report(installPack(files, request.addArchive, target, request.replace, vet), "add " + request.addArchive);
    }
    if (request.list) {
        std::vector<std::string> folders{kDefaultPacksDir}, seen;
        folders.insert(folders.end(), request.packsDirs.begin(), request.packsDirs.end());
        std::vector<std::string> problems;
        for (const std::string& folder : folders) {
            // A folder named twice, by two spellings, is listed once.
            char* real = ::realpath(folder.c_str(), nullptr);
            const std::string key = real ? real : folder;
            std::free(real);
            if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
            seen.push_back(key);
            for (const std::string& line : listPacks(files, folder, problems)) std::cout << line << "\n";
        }
        for (const std::string& problem : problems) std::cerr << "kablix: " << problem << "\n";
    }
    std::cout << std::flush;
    return allDone ? 0 : 1;
}

}  // namespace QEL
