// Installs, removes and lists packs in a packs folder. An installed pack is its archive, copied
// whole as NAME.zip (NAME from its pack.xml); a pack folder put there by hand is listed but never
// replaced or removed. An archive is judged from its bytes in memory and those same bytes are
// written, so what was checked is what is installed; it is written under a temporary name and
// renamed, so a packs folder never holds half an archive. A refused archive writes nothing.
#pragma once

#include "base/packReader.h"
#include "xml/packManifest.h"

#include <functional>
#include <string>
#include <vector>

namespace QEL {

// Judges one weapon file of a pack being installed ("NAME/FILE.xml", readable through `files`)
// and returns its errors as finding lines; any finding refuses the archive.
using weaponVetter = std::function<std::vector<std::string>(packReader& files, const std::string& weaponFile)>;

struct packOutcome {
    bool done = false;
    std::string line;                   // what was done, or the one reason it was refused
    std::vector<std::string> findings;  // the weapon errors behind a refusal
};

// Limits on an archive's contents, each a sign of a broken or hostile archive, not of a pack.
constexpr size_t kMaxPackEntries = 4096;
constexpr uint64_t kMaxPackUnpackedBytes = 64ull << 20;
constexpr uint32_t kMaxPackRatio = 100;  // unpacked : packed, per entry; game files pack 2 to 10 times

packOutcome installPack(packReader& files, const std::string& archive, const std::string& packsDir, bool replace,
                        const weaponVetter& vet = nullptr);
packOutcome removePack(const std::string& name, const std::string& packsDir);

// One line per pack in `packsDir` ("desert 1.2 \"Desert Arms\" by ... (CC-BY-4.0): 3 weapons in
// ../packs/desert.zip"), sorted by file name; a missing folder holds none. What is there but is
// not a readable pack goes to `problems`, one line each.
std::vector<std::string> listPacks(packReader& files, const std::string& packsDir, std::vector<std::string>& problems);

// The names in `packsDir` that may be packs: its folders and its .zip files (not those starting
// with '.', where an archive being added is written), sorted.
std::vector<std::string> packEntries(const std::string& packsDir);

// Reads the manifest of the pack at `path` (a folder, or a .zip judged first as adding judges it:
// entries, sizes, ratios, links, paths), mounting it for the while under a name of its own; the
// number of its weapons goes to `weapons`. Empty when it is a pack, else why not. The game and
// --list-packs ask this of every pack they find, so one dropped into a packs folder by hand is
// held to the rules of adding.
std::string readPackAt(packReader& files, const std::string& path, packManifest& manifest, size_t& weapons);

// What the command line asks of the packs folders (--add-pack, --remove-pack, --list-packs, --packs, --replace).
struct packRequest {
    std::string addArchive;
    std::string removeName;
    bool list = false;
    bool replace = false;
    std::vector<std::string> packsDirs;  // --packs, in order given
    bool wanted() const { return !addArchive.empty() || !removeName.empty() || list; }
};

// Carries out a request (remove, then add, then list), writing results to standard output and
// refusals to standard error; returns the process's exit status (0 when all was done, else 1).
// An archive's weapons are vetted by kablix-check's rules (check/packFolder.h, archiveCheck) with
// the shared files of the base folder ../assets: any error refuses it.
int runPackRequest(const packRequest& request);

}  // namespace QEL
