// kablix-check [--assets DIR] [--catalogue FILE] [WEAPON...]
// Checks weapons of a pack the way the game reads them and prints every problem as
// "file:line:column: error|warning: message", then a summary line. Exit status 1 when anything is
// an error, 0 otherwise (2 for a wrong command line).
// kablix-check --new NAME [--assets DIR] [--catalogue FILE]
// Writes a new weapon to start from (scaffold.h) instead.
#include <climits>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>
#include <sys/stat.h>

#include "check/packChecker.h"
#include "check/scaffold.h"

namespace {

const char* const kSynopsis =
    "usage: kablix-check [--assets DIR] [--catalogue FILE] [WEAPON...]\n"
    "       kablix-check --new NAME [--assets DIR] [--catalogue FILE]\n";

struct optionRow {
    const char* name;
    const char* argument;
    const char* help;
};

// The options, as the usage text and the manual page (packaging/make_man.py reads this table as
// text) list them.
const optionRow kCheckOptionRows[] = {
    {"--assets", "DIR", "the pack folder (default ../assets, as the game finds it)"},
    {"--catalogue", "FILE", "the catalogue whose weapons are checked (default gunList.txt)"},
    {"--new", "NAME", "writes weapon NAME (NAME.xml means NAME too) to start from into the pack, never over a file"},
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
        if ((arg == "--assets" || arg == "--catalogue") && i + 1 < argc) {
            (arg == "--assets" ? result.assets : result.catalogue) = argv[++i];
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
    return !(result.scaffold && !result.weapons.empty());
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
    if (opts.scaffold) {
        const std::string folder = opts.assets.empty() ? "../assets" : trimmedFolder(opts.assets);
        return QEL::writeScaffold(opts.newWeapon, folder, cataloguePath, std::cout, std::cerr);
    }

    std::string scratch;
    if (!opts.assets.empty() && !enterPack(opts.assets, scratch)) {
        std::cerr << "kablix-check: cannot use the assets folder " << opts.assets << "\n";
        leavePack(scratch);
        return 2;
    }
    QEL::packChecker checker(opts.assets.empty() ? "../assets" : trimmedFolder(opts.assets));
    std::vector<std::string> weapons = opts.weapons;
    if (weapons.empty()) checker.checkCatalogue(cataloguePath, catalogueShown, weapons);
    for (const std::string& weapon : weapons) checker.checkWeapon(weapon);
    checker.hitEffects();  // the game reads the hit effects at start-up, whichever weapon it loads
    leavePack(scratch);

    checker.findings.print(std::cout);
    std::cout << checker.weaponsChecked << (checker.weaponsChecked == 1 ? " weapon" : " weapons") << " checked: "
              << checker.findings.errorCount() << (checker.findings.errorCount() == 1 ? " error, " : " errors, ")
              << checker.findings.warningCount() << (checker.findings.warningCount() == 1 ? " warning" : " warnings")
              << std::endl;
    return checker.findings.errorCount() > 0 ? 1 : 0;
}
