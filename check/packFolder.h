// A pack checked as the game reads it. The game takes a pack weapon's own files from the pack and
// the shared files (sharedAssetFiles() and the pictures and sounds EFFECTS.xml names) from the base
// folder, while the checker reads everything from ../assets. A packStage joins the two in a scratch
// folder: scratch/assets holds links to the pack folder's files (or the files of a mounted archive,
// unpacked) and to the base folder's shared files, and entering the stage makes scratch/run the
// working directory. The stage owns the scratch folder and removes it when destroyed; leaving it
// (or destroying it) returns to the working directory it was entered from.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "check/findings.h"
#include "check/packChecker.h"
#include "xml/packManifest.h"

namespace QEL {

class packReader;

// The file names the base folder `baseDir` shares with every pack: sharedAssetFiles() and what its
// EFFECTS.xml names (with the sounds' -v1 to -v3 variants when `variants`).
std::vector<std::string> sharedFiles(const std::string& baseDir, bool variants);

class packStage {
public:
    packStage() = default;
    ~packStage();
    packStage(const packStage&) = delete;
    packStage& operator=(const packStage&) = delete;

    // Stages the pack folder `packDir` (written `packShown` in findings): links its files, and
    // records in `findings` what the game would not read there (links, folders, shared files).
    bool stageFolder(const std::string& packDir, const std::string& packShown, const std::string& baseDir,
                     findingList& findings, std::string& problem);
    // Stages the root files of the pack mounted as `name`, unpacked.
    bool stageMount(packReader& files, const std::string& name, const std::string& baseDir, std::string& problem);

    bool enter();
    void leave();

    // The pack's own files (pack.xml, its weapons and what they name), sorted.
    const std::vector<std::string>& packFiles() const { return files; }
    // The shared file names, as the checker's shareFrom takes them.
    const std::set<std::string>& sharedNames() const { return shared; }

private:
    bool makeScratch(const std::string& baseDir, std::string& problem);

    std::string scratch;  // empty until made
    int home = -1;        // the working directory entered from, while inside
    std::vector<std::string> files;
    std::set<std::string> shared;
};

// What kablix-check --pack found.
struct packReport {
    std::unique_ptr<packChecker> checker;  // the findings and the count of weapons checked
    bool manifestRead = false;
    packManifest manifest;
    std::vector<std::string> files;  // the pack's own files
    bool clean() const { return checker->findings.all().empty(); }
};

// Checks the pack folder `packDir`: its pack.xml, the weapons `weapons` (every weapon of the pack
// when empty), every file they name, the files nothing names (a warning each, when every weapon
// is checked) and the base folder's shared files, from `baseDir` (written `baseShown`).
packReport checkPackFolder(const std::string& packDir, const std::string& baseDir, const std::string& baseShown,
                           const std::vector<std::string>& weapons);

// The check kablix --add-pack makes of each weapon of an archive before installing it: the first
// weapon asked about unpacks the mounted archive's files into a stage kept until destruction.
class archiveCheck {
public:
    explicit archiveCheck(const std::string& baseDir) : baseDir(baseDir) {}
    // The errors of "NAME/FILE.xml", as finding lines naming "NAME/FILE.xml".
    std::vector<std::string> errors(packReader& files, const std::string& weaponFile);

private:
    std::string baseDir;
    std::string stagedName;
    std::unique_ptr<packStage> stage;
};

}  // namespace QEL
