#include "check/packAuthor.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <vector>

#include <tinyxml.h>

#include "base/assetPath.h"
#include "check/packFolder.h"
#include "check/scaffold.h"
#include "xml/packManifest.h"

namespace QEL {

namespace {

bool exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::string baseNameOf(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentOf(const std::string& path) {
    char full[PATH_MAX];
    const std::string real = realpath(path.c_str(), full) ? full : path;
    const size_t slash = real.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : real.substr(0, slash);
}

bool readWhole(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return bool(in) || in.eof();
}

bool writeNew(const std::string& path, const std::string& bytes) { return writeNewFile(path, bytes.data(), bytes.size()); }

// The references a weapon file makes to files of its own, as written in it, with the files
// each one means (a sound's variants among them).
std::map<std::string, std::vector<std::string>> referencesOf(const TiXmlElement* root) {
    std::map<std::string, std::vector<std::string>> references;
    auto children = [root](const char* group, const char* item) {
        std::vector<const TiXmlElement*> found;
        const TiXmlElement* parent = root->FirstChildElement(group);
        for (const TiXmlElement* e = parent ? parent->FirstChildElement(item) : nullptr; e; e = e->NextSiblingElement(item))
            found.push_back(e);
        return found;
    };
    for (const TiXmlElement* image : children("images", "image")) {
        const std::string text = image->GetText() ? image->GetText() : "";
        // The game takes the last four characters for an extension and reads a PNG.
        if (text.size() > 4) references[text] = {text.substr(0, text.size() - 4) + ".png"};
    }
    for (const TiXmlElement* emitter : children("emitters", "emitter"))
        if (const char* name = emitter->Attribute("name")) references[name] = {std::string(name) + ".png"};
    for (const TiXmlElement* sound : children("sounds", "sound")) {
        const std::string text = sound->GetText() ? sound->GetText() : "";
        if (text.empty()) continue;
        std::vector<std::string>& files = references[text];
        files.push_back(soundFileName(text));
        for (int n = 1; n <= 3 && assetFileExists(soundFileName(soundVariantName(text, n))); ++n)
            files.push_back(soundFileName(soundVariantName(text, n)));
    }
    return references;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
}

}  // namespace

std::string playerPacksFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (data && *data) return std::string(data) + "/kablix/packs";
    return home && *home ? std::string(home) + "/.local/share/kablix/packs" : "";
}

bool packFolderMaker::prepare(const std::string& path, std::ostream& errors) {
    folder = path;
    const std::string manifestPath = folder + "/pack.xml";
    if (exists(manifestPath)) {
        std::string text, problem;
        packManifest manifest;
        if (readWhole(manifestPath, text) && readPackManifest(text, manifest, problem)) return name = manifest.name, true;
        errors << "kablix-check: " << manifestPath << " " << (problem.empty() ? "cannot be read" : problem)
               << "; nothing written\n";
        return false;
    }
    name = baseNameOf(folder);
    if (!validPackName(name)) {
        errors << "kablix-check: cannot make a pack of " << folder << ": a new pack is named after its folder, and '" << name
               << "' is no pack name (1 to 24 of a-z, 0-9, '-' and '_'); nothing written\n";
        return false;
    }
    if (!exists(folder)) {
        if (mkdir(folder.c_str(), 0755) != 0) {
            errors << "kablix-check: cannot make the folder " << folder << "; nothing written\n";
            return false;
        }
        madeFolder = true;
    }
    const std::string manifest = "<kablixPack name=\"" + name + "\" title=\"" + name + "\" version=\"1.0\"/>\n";
    if (!writeNew(manifestPath, manifest)) {
        errors << "kablix-check: cannot write " << manifestPath << "; nothing written\n";
        undo();
        return false;
    }
    madeManifest = true;
    return true;
}

void packFolderMaker::undo() {
    if (madeManifest) unlink((folder + "/pack.xml").c_str());
    if (madeFolder) rmdir(folder.c_str());
    madeManifest = madeFolder = false;
}

void packFolderMaker::report(std::ostream& out) const {
    if (madeManifest)
        out << "made pack " << name << " in " << folder
            << " (its pack.xml names it; give it a title, an author and a license)\n";
}

std::string takeUpLine(const std::string& packDir, const std::string& pack, const std::string& weapon) {
    const std::string player = playerPacksFolder();
    const std::string parent = parentOf(packDir);
    char full[PATH_MAX];
    const bool players = !player.empty() && realpath(player.c_str(), full) && parent == full;
    return "take it up with: kablix " + (players ? "" : "--packs " + parent + " ") + pack + "/" + weapon + "\n";
}

int copyWeapon(const std::string& weapon, const std::string& newName, const std::string& packDir, std::ostream& out,
               std::ostream& errors) {
    if (!weaponNameUsable(newName)) {
        errors << "kablix-check: cannot name a weapon '" << newName << "': use letters, digits, '_', '-' and '.' "
               << "(not first), at most 64 characters\n";
        return 1;
    }
    std::string text;
    TiXmlDocument document;
    if (!assetFileExists(weapon, "xml") || !readWhole(assetPath(weapon, "xml"), text) ||
        (document.Parse(text.c_str()), document.Error()) || !document.RootElement()) {
        errors << "kablix-check: " << assetPath(weapon, "xml") << " is no weapon the base folder holds\n";
        return 1;
    }
    const auto renamed = [&](const std::string& file) {
        if (newName == weapon) return file;
        return file.compare(0, weapon.size(), weapon) == 0 ? newName + file.substr(weapon.size()) : newName + "_" + file;
    };
    std::vector<std::string> shared = sharedFiles(kAssetFolder, true);
    std::map<std::string, std::string> copies;  // file of the base folder -> its name in the pack
    std::string xml = text;
    for (const auto& reference : referencesOf(document.RootElement())) {
        bool own = false;
        for (const std::string& file : reference.second) {
            if (std::find(shared.begin(), shared.end(), file) != shared.end() || !assetFileExists(file)) continue;
            copies[file] = renamed(file);
            own = true;
        }
        if (!own || reference.first == renamed(reference.first)) continue;
        for (const char* quote : {"\"", "'"})
            replaceAll(xml, quote + reference.first + quote, quote + renamed(reference.first) + quote);
        replaceAll(xml, ">" + reference.first + "<", ">" + renamed(reference.first) + "<");
    }
    replaceAll(xml, "<kablixWeapon name=\"" + weapon + "\"", "<kablixWeapon name=\"" + newName + "\"");
    copies[weapon + ".xml"] = newName + ".xml";

    bool clash = false;
    for (const auto& copy : copies) {
        if (!exists(packDir + "/" + copy.second)) continue;
        errors << "kablix-check: " << packDir << "/" << copy.second << " exists\n";
        clash = true;
    }
    if (clash) {
        errors << "kablix-check: nothing written: the copy would replace what is there\n";
        return 1;
    }
    packFolderMaker pack;
    if (!pack.prepare(packDir, errors)) return 1;
    std::vector<std::string> written;
    for (const auto& copy : copies) {
        std::string bytes;
        const bool read = copy.first == weapon + ".xml" ? (bytes = xml, true) : readWhole(assetPath(copy.first), bytes);
        if (read && writeNew(packDir + "/" + copy.second, bytes)) {
            written.push_back(copy.second);
            continue;
        }
        errors << "kablix-check: cannot copy " << assetPath(copy.first) << " to " << packDir << "/" << copy.second
               << "; nothing written\n";
        for (const std::string& file : written) unlink((packDir + "/" + file).c_str());
        pack.undo();
        return 1;
    }
    pack.report(out);
    out << "copied " << weapon << " to " << packDir << " as " << newName << ": " << copies.size() << " files (its shared "
        << "files stay in the base folder)\n" << takeUpLine(packDir, pack.packName(), newName);
    return 0;
}

}  // namespace QEL
