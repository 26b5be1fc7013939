#include "check/packChecker.h"

#include <climits>
#include <cstdlib>
#include <fstream>

#include "base/assetPath.h"
#include "base/dataFileReader.h"
#include "check/gameLog.h"
#include "effects/overlayEffects.h"
#include "render/Image.h"
#include "render/pictureFormat.h"
#include "render/screen.h"
#include "sound/hss/hssSound.h"
#include "xml/wellFormed.h"

namespace QEL {

namespace {

// Catalogue keys that select a weapon; the s… and sk… keys carry shot numbers instead.
std::vector<std::string> weaponKeys() {
    std::vector<std::string> keys;
    for (char c = '0'; c <= '9'; ++c) keys.emplace_back(1, c);
    for (char c = 'a'; c <= 'z'; ++c) keys.emplace_back(1, c);
    return keys;
}

struct cataloguePlace {
    int line = 1;
    int column = 1;
};

// Where the catalogue last set `key` (the last line wins, as in the reader): the line, and the
// column of its value. The lines are cut with the reader's own splitString and trimSpaces.
cataloguePlace findKey(const std::string& path, const std::string& key) {
    cataloguePlace place;
    std::ifstream file(path);
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> tokens;
        splitString(line, "=", tokens);
        if (tokens.empty()) continue;
        std::string first = tokens[0];
        trimSpaces(first);
        if (first != key) continue;
        place.line = number;
        const size_t equals = line.find('=');
        const size_t value = equals == std::string::npos ? std::string::npos : line.find_first_not_of("= ", equals);
        place.column = static_cast<int>(value == std::string::npos ? line.find_first_not_of(' ') : value) + 1;
    }
    return place;
}

const char* const kWavsAccepted =
    "WAV with 8-, 16-, 24- or 32-bit PCM, 32- or 64-bit float, mu-law, A-law, Microsoft or IMA ADPCM, mono or stereo";

// The codec an Ogg stream's first packet names (it starts at byte 28 of a plain first page).
std::string oggFormatOf(const std::string& start) {
    if (start.size() < 36) return "a damaged Ogg stream";
    if (start.compare(28, 7, "\x01vorbis") == 0) {
        const int channels = start.size() > 39 ? static_cast<unsigned char>(start[39]) : 0;
        return channels > 2 ? "an Ogg Vorbis stream with " + std::to_string(channels) + " channels"
                            : "a damaged Ogg Vorbis stream";
    }
    if (start.compare(28, 8, "OpusHead") == 0) return "an Ogg Opus stream";
    if (start.compare(28, 5, "\x7F" "FLAC") == 0) return "an Ogg FLAC stream";
    if (start.compare(28, 5, "Speex") == 0) return "an Ogg Speex stream";
    return "an Ogg stream of a codec the game does not know";
}

}  // namespace

std::string soundFormatOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char head[48] = {};
    file.read(head, sizeof head);
    const std::string start(head, static_cast<size_t>(file.gcount()));
    const auto u16 = [&start](size_t at) {
        return static_cast<unsigned char>(start[at]) | static_cast<unsigned char>(start[at + 1]) << 8;
    };
    if (start.empty()) return "an empty file";
    if (start.compare(0, 4, "OggS") == 0) return oggFormatOf(start);
    if (start.compare(0, 4, "fLaC") == 0) return "a FLAC file";
    if (start.compare(0, 3, "ID3") == 0 || (start.size() > 1 && (u16(0) & 0xE0FF) == 0xE0FF))
        return "an MP3 file";
    if (start.size() < 36 || start.compare(0, 4, "RIFF") != 0 || start.compare(8, 4, "WAVE") != 0)
        return "a file of no sound format the game knows";
    if (start.compare(12, 4, "fmt ") != 0) return "a WAV whose first chunk is not \"fmt \"";
    const int channels = u16(22);
    return "a WAV with format tag " + std::to_string(u16(20)) + ", " + std::to_string(u16(34)) + "-bit samples, " +
           (channels == 1 ? "mono" : channels == 2 ? "stereo" : std::to_string(channels) + " channels");
}

std::string nestingMessage() {
    return "elements nest more than " + std::to_string(kNestingLimit) +
           " deep: parsing this file would exhaust the stack (the game would crash)";
}

std::string utf16Message() {
    return "the file is saved as UTF-16, which the game cannot read: save it as UTF-8";
}

std::string subsetMessage() {
    return "a DOCTYPE with an internal subset ([ ... ]) is not supported: the game reads nothing after it; "
           "remove the DOCTYPE";
}

std::string lenientMessage(const xmlProblem& problem) {
    return "the XML is not well-formed: " + problem.message + "; the game reads it anyway, other XML tools will not";
}

void parsePositioned(const std::string& text, TiXmlDocument& document) {
    document.SetTabSize(1);
    document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
}

packChecker::packChecker(const std::string& shown, const std::string& full) : assetsShown(shown), assetsFull(full) {
    char resolved[PATH_MAX];
    // The game's folder, however the checker was told of it.
    if (assetsFull.empty()) assetsFull = realpath(kAssetFolder, resolved) ? resolved : shown;
}

void packChecker::shareFrom(const std::set<std::string>& files, const std::string& baseShown) {
    shared = files;
    sharedShown = baseShown;
}

void packChecker::requireFiles(const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        // A missing hit effects file is reported as the game reads it (hitEffects).
        if (file != "EFFECTS.xml" && !assetFileExists(file))
            findings.add(shownPath(file), 1, 1, findingKind::error,
                         "missing: every weapon relies on this shared file of the base folder");
    }
}

packChecker::~packChecker() = default;

std::string packChecker::shownPath(const std::string& baseName, const std::string& extension) const {
    return shownPath(baseName + "." + extension);
}

std::string packChecker::shownPath(const std::string& fileName) const {
    return (shared.count(fileName) ? sharedShown : assetsShown) + "/" + fileName;
}

std::string packChecker::withFullPath(const std::string& problem) const {
    static const std::string kNotFound = " NOT FOUND: ";
    const size_t at = problem.find(kNotFound);
    if (at == std::string::npos) return problem;
    return problem + " (no file " + assetsFull + "/" + problem.substr(at + kNotFound.size()) + ")";
}

void packChecker::checkCatalogue(const std::string& path, const std::string& shown, std::vector<std::string>& weapons) {
    std::ifstream probe(path);
    if (!probe) {
        findings.add(shown, 1, 1, findingKind::error, "cannot open the weapon catalogue");
        return;
    }
    probe.close();
    gameLog log;  // the reader names the file it reads on standard output
    dataFileReader catalogue(path);
    if (catalogue.getValue("0").empty()) {
        findings.add(shown, 1, 1, findingKind::warning, "no weapon under key 0: the game starts without a weapon");
    }
    for (const std::string& key : weaponKeys()) {
        const std::string weapon = catalogue.getValue(key);
        const cataloguePlace place = findKey(path, key);
        if (weapon.empty()) continue;
        if (!assetFileExists(weapon, "xml")) {
            findings.add(shown, place.line, place.column, findingKind::error,
                         "key " + key + " names weapon '" + weapon + "', but " + shownPath(weapon, "xml") +
                             " does not exist");
            continue;
        }
        bool known = false;
        for (const std::string& w : weapons) known = known || w == weapon;
        if (!known) weapons.push_back(weapon);
    }
}

const packChecker::imageFile& packChecker::decodeImage(const std::string& baseName) {
    auto found = images.find(baseName);
    if (found != images.end()) return found->second;
    imageFile& result = images[baseName];
    namedFiles.insert(baseName + ".png");
    gameLog log;  // the decoders log their own failures
    Image image;
    const std::string path = assetPath(baseName, "png");
    // As the image slots load it: the PNG reader first, the TGA reader when that cannot read it.
    uint32_t loaded = image.LoadPNG_forcePowerOfTwo(path);
    if (loaded == kImageUnreadable) loaded = image.LoadTGA(path);
    const int32_t bytesPerPixel = image.getBpp() / 8;
    // Only RGB and RGBA pictures become textures (QuadSet::setTexture).
    if (loaded != kImageLoaded || (bytesPerPixel != 3 && bytesPerPixel != 4)) {
        result.problem = pictureRefusal(path);
    } else {
        result.width = image.getWidth();
        result.height = image.getHeight();
    }
    return result;
}

const std::string& packChecker::decodeSound(const std::string& fileName) {
    auto found = sounds.find(fileName);
    if (found != sounds.end()) return found->second;
    std::string& problem = sounds[fileName];
    namedFiles.insert(fileName);
    gameLog log;
    hssSound sound;
    // Decoded whole, so a stream that breaks halfway is found now rather than while it plays.
    const int32_t result = sound.load(assetPath(fileName).c_str(), hssLoadDecodeOgg);
    // The mixer reports the Ogg reader's result for a ".ogg" file and the WAV reader's for any other.
    const bool ogg = fileName.size() >= 4 && (fileName.compare(fileName.size() - 4, 4, ".ogg") == 0 ||
                                              fileName.compare(fileName.size() - 4, 4, ".oga") == 0);
    if (result == -200) {
        problem = "it cannot be opened";
    } else if (result == -100 || (!ogg && result == -300)) {
        const std::string found = soundFormatOf(assetPath(fileName));
        const bool misnamedWav = ogg && found.rfind("a WAV", 0) == 0;
        problem = "it is " + found + (misnamedWav ? " (a WAV file is named .wav)" : "") +
                  ", which the mixer cannot decode; it takes " + (ogg ? "Ogg Vorbis, mono or stereo" : kWavsAccepted);
    } else if (result < 0) {
        problem = "it could not be decoded (error " + std::to_string(result) + ")";
    }
    return problem;
}

cOverlayFXMgr* packChecker::hitEffects() {
    if (effectsRead) return effects.get();
    effectsRead = true;
    const std::string shown = shownPath("EFFECTS", "xml");
    const std::string path = assetPath("EFFECTS", "xml");
    std::string text;
    if (!readXMLText(path, text)) {
        findings.add(shown, 1, 1, findingKind::error,
                     "cannot open the hit effects file, so no shot number sent by a frame has an effect");
        return nullptr;
    }
    int line = 1, column = 1;
    if (looksUtf16(text) || nestsTooDeep(text, line, column)) {
        findings.add(shown, line, column, findingKind::error, looksUtf16(text) ? utf16Message() : nestingMessage());
        return nullptr;
    }
    TiXmlDocument positioned;
    parsePositioned(text, positioned);
    const xmlProblem strict = strictProblem(text);
    if (positioned.Error()) {
        const bool exact = !strict.message.empty();
        findings.add(shown, exact ? strict.line : positioned.ErrorRow(), exact ? strict.column : positioned.ErrorCol(),
                     findingKind::error, "the hit effects file cannot be parsed: " +
                                             (exact ? strict.message : std::string(positioned.ErrorDesc())));
        return nullptr;
    }
    if (!strict.message.empty()) findings.add(shown, strict.line, strict.column, findingKind::error, lenientMessage(strict));
    auto reader = std::make_unique<cOverlayFXMgr>(nullptr, kScreenWidth, kScreenHeight);
    gameLog log;
    if (!reader->loadRulesFile(path)) {
        const std::string problem = log.firstProblem();
        findings.add(shown, positioned.FirstChildElement(), findingKind::error,
                     problem.empty() ? "the game cannot read the hit effects file" : problem);
        return nullptr;
    }
    effects = std::move(reader);
    return effects.get();
}

}  // namespace QEL
