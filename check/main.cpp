// kablix-check [--assets DIR] [--catalogue FILE] [WEAPON...]
// Checks weapons of a pack the way the game reads them and prints every problem as
// "file:line:column: error|warning: message", then a summary line. Exit status 1 when anything is
// an error, 0 otherwise (2 for a wrong command line).
// kablix-check --new NAME [--assets DIR] [--catalogue FILE]
// Writes a new weapon to start from (scaffold.h) instead.
// kablix-check --pack DIR [WEAPON...], --export DIR [--out DIR], --new NAME --pack DIR and
// --copy WEAPON DIR [--as NAME] check, export and fill a pack folder (packFolder.h, packExport.h,
// packAuthor.h); the base folder, whose shared files every pack uses, is --assets DIR.
#include <climits>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>
#include <sys/stat.h>

#include "base/assetPath.h"
#include "check/packAuthor.h"
#include "check/packChecker.h"
#include "check/packExport.h"
#include "check/packFolder.h"
#include "check/scaffold.h"
#include "xml/packManifest.h"

namespace {

const char* const kSynopsis =
    "usage: kablix-check [--assets DIR] [--catalogue FILE] [WEAPON...]\n"
    "       kablix-check --new NAME [--assets DIR] [--catalogue FILE]\n"
    "       kablix-check --pack DIR [--assets DIR] [WEAPON...]\n"
    "       kablix-check --export DIR [--out DIR] [--assets DIR]\n"
    "       kablix-check --new NAME [--pack DIR]\n"
    "       kablix-check --copy WEAPON DIR [--as NAME] [--assets DIR]\n";

struct optionRow {
    const char* name;
    const char* argument;
    const char* help;
};

// The options, as the usage text and the manual page (packaging/make_man.py reads this table as
// text) list them.
const optionRow kCheckOptionRows[] = {
    {"--assets", "DIR", "the base folder (default ../assets, as the game finds it, else the installed game's)"},
    {"--catalogue", "FILE", "the catalogue whose weapons are checked (default gunList.txt)"},
    {"--new", "NAME", "writes weapon NAME (NAME.xml means NAME too) to start from into the base folder, never over a "
                      "file; with --pack into that pack; with neither and no ../assets into a new pack NAME in the "
                      "player's packs folder"},
    {"--pack", "DIR", "checks the pack folder DIR (its pack.xml, weapons, the files they name and files nothing names)"},
    {"--export", "DIR", "checks the pack folder DIR and, when it is clean, writes NAME-VERSION.zip for kablix --add-pack"},
    {"--out", "DIR", "where --export writes (default the current folder)"},
    {"--copy", "WEAPON DIR", "copies weapon WEAPON of the base folder with its own files into the pack folder DIR"},
    {"--as", "NAME", "the name of the copy (default WEAPON); its files' names start with NAME"},
    {"--help", "", "this text"},
};

std::string usage() {
    std::string text = kSynopsis;
    text += "Checks the weapons (default: every weapon the catalogue names) of a pack.\n";
    for (const optionRow& row : kCheckOptionRows) {
        std::string head = std::string("  ") + row.name + (*row.argument ? std::string(" ") + row.argument : "");
        head.resize(20, ' ');
        text += head + row.help + "\n";
    }
    return text;
}

struct options {
    std::string assets;     // empty: the game's ../assets
    std::string catalogue = "gunList.txt";
    std::vector<std::string> weapons;
    bool scaffold = false;  // --new: write the weapon `newWeapon` instead of checking
    std::string newWeapon;
    std::string pack;       // --pack or --export: the pack folder
    bool exporting = false;
    std::string out = ".";
    std::string copied;     // --copy: the weapon copied into `pack`
    std::string copyName;
    bool help = false;
};

// A weapon is named by its base name; "rifle.xml" is taken to mean rifle.
std::string withoutXml(const std::string& name) {
    const bool withExtension = name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0;
    return withExtension ? name.substr(0, name.size() - 4) : name;
}

bool readOptions(int argc, char** argv, options& result) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--assets" || arg == "--catalogue" || arg == "--out" || arg == "--as") && i + 1 < argc) {
            std::string& value = arg == "--assets" ? result.assets
                                 : arg == "--out"  ? result.out
                                 : arg == "--as"   ? result.copyName
                                                   : result.catalogue;
            value = argv[++i];
        } else if ((arg == "--pack" || arg == "--export") && i + 1 < argc && result.pack.empty()) {
            result.exporting = arg == "--export";
            result.pack = argv[++i];
        } else if (arg == "--copy" && i + 2 < argc && result.copied.empty() && result.pack.empty()) {
            result.copied = withoutXml(argv[++i]);
            result.pack = argv[++i];
        } else if (arg == "--new" && i + 1 < argc && !result.scaffold) {
            result.scaffold = true;
            result.newWeapon = withoutXml(argv[++i]);
        } else if (arg == "--help") {
            result.help = true;
        } else if (arg.rfind("--", 0) == 0 || arg.empty()) {
            return false;
        } else {
            result.weapons.push_back(withoutXml(arg));
        }
    }
    const bool copying = !result.copied.empty();
    if (copying && result.copyName.empty()) result.copyName = result.copied;
    return !(result.scaffold && !result.weapons.empty()) && !(copying && (result.scaffold || !result.weapons.empty())) &&
           !(result.exporting && (result.scaffold || copying || !result.weapons.empty()));
}

std::string absolute(const std::string& path, const std::string& from) {
    return !path.empty() && path[0] == '/' ? path : from + "/" + path;
}

std::string baseNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The game finds its pack at ../assets from its working directory. To check a pack elsewhere, run
// from a directory whose ../assets is that folder: the folder itself when it is named "assets",
// else a scratch directory beside a link named "assets" to it (removed again by the caller).
bool enterPack(const std::string& folder, std::string& scratch) {
    char resolved[PATH_MAX];
    if (!realpath(folder.c_str(), resolved)) return false;
    const std::string target = resolved;
    if (baseNameOf(target) == "assets") return chdir(target.c_str()) == 0;
    char pattern[] = "/tmp/kablix-check.XXXXXX";
    if (!mkdtemp(pattern)) return false;
    scratch = pattern;
    const std::string link = scratch + "/assets";
    const std::string here = scratch + "/run";
    return symlink(target.c_str(), link.c_str()) == 0 && mkdir(here.c_str(), 0700) == 0 && chdir(here.c_str()) == 0;
}

void leavePack(const std::string& scratch) {
    if (scratch.empty()) return;
    rmdir((scratch + "/run").c_str());
    unlink((scratch + "/assets").c_str());
    rmdir(scratch.c_str());
}

std::string trimmedFolder(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

bool isFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Makes `folder` and any folder above it that is missing.
bool makeFolders(const std::string& folder) {
    for (size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0755) != 0 && !isFolder(part)) return false;
        if (at == std::string::npos) return true;
    }
}

// The installed game keeps its base folder in P/share/games/kablix/assets beside P/games/kablix-check.
std::string installedAssets() {
    char exe[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) return "";
    std::string prefix(exe, size_t(length));
    for (int up = 0; up < 2 && prefix.find('/') != std::string::npos; ++up) prefix.erase(prefix.find_last_of('/'));
    const std::string folder = prefix + "/share/games/kablix/assets";
    return isFolder(folder) ? folder : "";
}

// The base folder: --assets, else ../assets as the game finds it, else the installed game's.
std::string baseFolder(const options& opts) {
    if (!opts.assets.empty()) return trimmedFolder(opts.assets);
    const std::string installed = isFolder(QEL::kAssetFolder) ? "" : installedAssets();
    return installed.empty() ? QEL::kAssetFolder : installed;
}

int printed(const QEL::packChecker& checker) {
    checker.findings.print(std::cout);
    std::cout << checker.weaponsChecked << (checker.weaponsChecked == 1 ? " weapon" : " weapons") << " checked: "
              << checker.findings.errorCount() << (checker.findings.errorCount() == 1 ? " error, " : " errors, ")
              << checker.findings.warningCount() << (checker.findings.warningCount() == 1 ? " warning" : " warnings")
              << std::endl;
    return checker.findings.errorCount() > 0 ? 1 : 0;
}

// --pack and --export. Weapons may be named as the game names them, "desert/rifle".
int checkPack(const options& opts) {
    const std::string base = baseFolder(opts), folder = trimmedFolder(opts.pack);
    std::vector<std::string> weapons;
    for (const std::string& weapon : opts.weapons) weapons.push_back(weapon.substr(weapon.find('/') + 1));
    const QEL::packReport report = QEL::checkPackFolder(folder, base, base, weapons);
    const int status = printed(*report.checker);
    if (!opts.exporting) return status;
    if (!report.clean()) {
        std::cerr << "kablix-check: " << folder << " not exported: an export needs a check with no errors and no warnings\n";
        return 1;
    }
    return QEL::exportPack(report.manifest, folder, report.files, trimmedFolder(opts.out), std::cout, std::cerr) ? 0 : 1;
}

// --new: into a pack (--pack, or the player's packs folder when no game folder is at hand), else
// into the base folder as before.
int newWeapon(const options& opts, const std::string& cataloguePath) {
    std::string folder = trimmedFolder(opts.pack);
    if (folder.empty() && (!opts.assets.empty() || isFolder(QEL::kAssetFolder)))
        return QEL::writeScaffold(opts.newWeapon, baseFolder(opts), cataloguePath, std::cout, std::cerr);
    if (folder.empty()) {
        const std::string players = QEL::playerPacksFolder();
        if (!QEL::validPackName(opts.newWeapon) || players.empty()) {
            std::cerr << "kablix-check: no game folder is here (../assets), so a new weapon gets a pack of its own in "
                      << (players.empty() ? "the player's packs folder" : players) << ", named after it, and '"
                      << opts.newWeapon << "' is no pack name (1 to 24 of a-z, 0-9, '-' and '_'); or name a pack folder: "
                      << "kablix-check --new " << opts.newWeapon << " --pack DIR\n";
            return 2;
        }
        if (!makeFolders(players)) {
            std::cerr << "kablix-check: cannot make the folder " << players << "\n";
            return 1;
        }
        folder = players + "/" + opts.newWeapon;
    }
    QEL::packFolderMaker pack;
    if (!pack.prepare(folder, std::cerr)) return 1;
    const int status = QEL::writeScaffold(opts.newWeapon, folder, "", std::cout, std::cerr, true);
    if (status != 0) {
        pack.undo();
        return status;
    }
    pack.report(std::cout);
    std::cout << QEL::takeUpLine(folder, pack.packName(), opts.newWeapon);
    return 0;
}

// --copy, read from the base folder entered as ../assets.
int copyWeapon(const options& opts, const std::string& startDir) {
    const std::string base = baseFolder(opts), target = absolute(trimmedFolder(opts.pack), startDir);
    std::string scratch;
    if (base != QEL::kAssetFolder && !enterPack(base, scratch)) {
        std::cerr << "kablix-check: cannot use the base folder " << base << "\n";
        leavePack(scratch);
        return 2;
    }
    const int status = QEL::copyWeapon(opts.copied, opts.copyName, target, std::cout, std::cerr);
    leavePack(scratch);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    options opts;
    if (!readOptions(argc, argv, opts)) {
        std::cerr << usage();
        return 2;
    }
    if (opts.help) {
        std::cout << usage();
        return 0;
    }
    char cwd[PATH_MAX];
    const std::string startDir = getcwd(cwd, sizeof cwd) ? cwd : ".";
    const std::string catalogueShown = opts.catalogue;
    const std::string cataloguePath = absolute(opts.catalogue, startDir);
    if (opts.scaffold) return newWeapon(opts, cataloguePath);
    if (!opts.copied.empty()) return copyWeapon(opts, startDir);
    if (!opts.pack.empty()) return checkPack(opts);

    const std::string base = baseFolder(opts);
    std::string scratch;
    if (base != QEL::kAssetFolder && !enterPack(base, scratch)) {
        std::cerr << "kablix-check: cannot use the assets folder " << base << "\n";
        leavePack(scratch);
        return 2;
    }
    QEL::packChecker checker(base);
    std::vector<std::string> weapons = opts.weapons;
    if (weapons.empty()) checker.checkCatalogue(cataloguePath, catalogueShown, weapons);
    for (const std::string& weapon : weapons) checker.checkWeapon(weapon);
    checker.hitEffects();  // the game reads the hit effects at start-up, whichever weapon it loads
    // The whole folder is checked: it is a base folder, whose shared files every weapon relies on.
    if (opts.weapons.empty()) checker.requireFiles(QEL::sharedFiles(QEL::kAssetFolder, false));
    leavePack(scratch);
    return printed(checker);
}
