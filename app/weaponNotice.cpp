#include "app/weaponNotice.h"

#include "base/assetPath.h"
#include "base/fileWatcher.h"
#include "check/packChecker.h"
#include "check/packFolder.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace QEL {

namespace {

constexpr size_t kFindingsShown = 3;
// Characters of the notice's font per line: the notice then leaves room beside rounds along an
// edge of the window.
constexpr size_t kLineWidth = 76;

// Breaks a finding into lines of at most kLineWidth characters, at spaces where it can; the
// lines after the first are indented so each finding reads as one block.
std::string wrapped(const std::string& text) {
    std::string result;
    std::string rest = text;
    while (rest.size() > kLineWidth) {
        size_t cut = rest.rfind(' ', kLineWidth);
        if (cut == std::string::npos || cut < kLineWidth / 2) cut = kLineWidth;
        result += rest.substr(0, cut) + "\n";
        rest = "    " + rest.substr(rest[cut] == ' ' ? cut + 1 : cut);
    }
    return result + rest;
}

bool inPack(const std::string& name) { return name.find('/') != std::string::npos; }

// The pack folder on the disk that holds the pack weapon `name`; empty for an archive's.
std::string packFolderOf(const std::string& name) {
    const std::string manifest = diskFileOf(placeOfWeapon(name).path("pack.xml"));
    return manifest.empty() ? std::string() : folderOf(manifest);
}

// The kablix-check command that lists everything about the weapon; empty for an archive's weapon,
// which only the log explains.
std::string checkCommand(const std::string& name) {
    if (!inPack(name)) return "kablix-check " + name;
    const std::string folder = packFolderOf(name);
    return folder.empty() ? std::string() : "kablix-check --pack " + folder + " " + weaponBaseName(name);
}

// The heading and the first kFindingsShown lines, and how many more kablix-check would list.
std::string listed(const std::string& heading, const std::vector<std::string>& lines, const std::string& name) {
    std::string text = heading;
    for (size_t i = 0; i < lines.size() && i < kFindingsShown; ++i) text += "\n" + wrapped(lines[i]);
    if (lines.size() > kFindingsShown)
        text += "\n(" + std::to_string(lines.size() - kFindingsShown) + " more: " + checkCommand(name) + ")";
    return text;
}

// The findings kablix-check gives for the weapon, errors first, each as it prints them; a folder
// pack's weapon is checked with its pack, whose shared files come from the base folder.
std::vector<std::string> checkerFindings(const std::string& name) {
    if (inPack(name) && packFolderOf(name).empty()) return {};
    packReport pack;
    std::unique_ptr<packChecker> base;
    if (inPack(name))
        pack = checkPackFolder(packFolderOf(name), kAssetFolder, kAssetFolder, {weaponBaseName(name)});
    else
        (base = std::make_unique<packChecker>(kAssetFolder))->checkWeapon(name);
    const packChecker& checker = inPack(name) ? *pack.checker : *base;

    std::vector<const finding*> shown = checker.findings.inPrintOrder();
    std::stable_partition(shown.begin(), shown.end(),
                          [](const finding* f) { return f->kind == findingKind::error; });
    std::vector<std::string> lines;
    for (const finding* f : shown) lines.push_back(findingList::lineOf(*f));
    return lines;
}

}  // namespace

std::string weaponNotice(const std::string& name) {
    std::vector<std::string> lines = checkerFindings(name);
    if (lines.empty() && checkCommand(name).empty()) lines.push_back("the log says why");
    if (lines.empty()) lines.push_back("the checker finds nothing wrong with its files; the log says why");
    return listed("Weapon \"" + name + "\" was not loaded:", lines, name);
}

std::string problemsNotice(const std::string& name) {
    std::vector<std::string> lines = checkerFindings(name);
    if (lines.empty() && checkCommand(name).empty()) lines.push_back("the log says why");
    return listed("Weapon \"" + name + "\" loaded with problems:", lines, name);
}

std::string reviewNotice(const std::string& name) {
    const std::vector<std::string> lines = checkerFindings(name);
    return lines.empty() ? std::string() : listed("Weapon \"" + name + "\" loaded; kablix-check finds:", lines, name);
}

std::string loadNotice(const std::string& name, const std::vector<std::string>& problems) {
    return problems.empty() ? std::string() : listed("Weapon \"" + name + "\" loaded without:", problems, name);
}

}  // namespace QEL
