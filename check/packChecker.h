// kablix-check's work: reads a weapon pack the way the game does and reports every problem at once,
// each at its file, line and column. The game's own readers and rules do the judging wherever they
// can run without a window or an audio device: the weapon check (weaponTest) vets the root, every
// image, emitter image and sound one element at a time; the asset model (cAsset) sorts animations
// into their roles; the reader's second <custom> pass judges firstShotIsCharge and
// windDownInterruptsTo; the hit effects reader (cOverlayFXMgr) reads EFFECTS.xml; images are decoded
// by Image and sounds by hssSound; the catalogue is read by dataFileReader. What the game would only
// notice while loading into its slots (slot numbers, emitter ids, frame sounds, netSend numbers) is
// checked here against the weapon format's table (weaponFormat.h), which the reader reads too.
//
// Files are found as the game finds them: the working directory must be one from which
// ../assets is the pack (assetPath). The checker owns the findings and its decoding caches.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <tinyxml.h>

#include "check/findings.h"

namespace QEL {

class cOverlayFXMgr;

class packChecker {
public:
    // `assetsShown`: how the assets folder is written in findings ("../assets" when the game's own);
    // `assetsFull`: how a missing file's full path is written (default: ../assets resolved).
    explicit packChecker(const std::string& assetsShown, const std::string& assetsFull = "");
    ~packChecker();
    packChecker(const packChecker&) = delete;
    packChecker& operator=(const packChecker&) = delete;

    // Reads the catalogue at `path` (written as `shown` in findings), reports keys that name missing
    // weapons, and appends every weapon it names (once each, in key order) to `weapons`.
    void checkCatalogue(const std::string& path, const std::string& shown, std::vector<std::string>& weapons);

    // Checks the weapon with base name `name` (the file ../assets/<name>.xml).
    void checkWeapon(const std::string& name);

    findingList findings;
    size_t weaponsChecked = 0;
    // Every file of the assets folder a checked weapon reads, by file name.
    std::set<std::string> namedFiles;

    // Files that come from the base folder, not the pack checked, written under `baseShown` in findings.
    void shareFrom(const std::set<std::string>& files, const std::string& baseShown);
    // An error for each of `files` missing from the assets folder, which every weapon relies on.
    void requireFiles(const std::vector<std::string>& files);

    // What decoding one image file gave; kept per file, as weapons share pictures.
    struct imageFile {
        std::string problem;  // empty when the game can use the picture
        int width = 0;        // texture size (PNGs padded to powers of two)
        int height = 0;
    };
    const imageFile& decodeImage(const std::string& baseName);
    // Empty when the sound file (named with its extension, as soundFileName gives it) opens and
    // decodes, else what went wrong.
    const std::string& decodeSound(const std::string& fileName);
    // The hit effects as the game reads them at start-up; null when EFFECTS.xml cannot be read
    // (reported once).
    cOverlayFXMgr* hitEffects();

    std::string shownPath(const std::string& baseName, const std::string& extension) const;
    std::string shownPath(const std::string& fileName) const;
    // The game names a file it did not find as the weapon wrote it ("IMAGE NOT FOUND: gun.png");
    // the finding adds where it looked, as a full path.
    std::string withFullPath(const std::string& problem) const;

private:
    std::string assetsShown;
    std::string assetsFull;  // the assets folder from the root
    std::set<std::string> shared;
    std::string sharedShown;
    std::map<std::string, imageFile> images;
    std::map<std::string, std::string> sounds;
    bool effectsRead = false;
    std::unique_ptr<cOverlayFXMgr> effects;
};

std::string nestingMessage();
// What a sound file holds, from its first bytes, for a sound the mixer refused: the codec of an Ogg
// stream, the layout of a WAV's format chunk, or the kind of file it is instead.
std::string soundFormatOf(const std::string& path);
// A file the game cannot read because it is saved as UTF-16.
std::string utf16Message();
// A DOCTYPE with an internal subset, after which the game reads nothing.
std::string subsetMessage();
// A strict parser's error in a file the game still reads (xml/wellFormed.h).
struct xmlProblem;
std::string lenientMessage(const xmlProblem& problem);

// Parses `text` with positions counted in characters (a tab is one column).
void parsePositioned(const std::string& text, TiXmlDocument& document);

}  // namespace QEL
