#include "check/scaffold.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <functional>
#include <sstream>
#include <vector>

#include "base/dataFileReader.h"
#include "check/gameLog.h"
#include "check/placeholderArt.h"

namespace QEL {

namespace {

// Image slots of the weapon file, one per picture.
enum slot { kBackground = 0, kReady, kFire, kOpen, kMagazineOut, kRound, kCartridge };
int imageSlot(gunPose pose) {
    return pose == gunPose::ready ? kReady : pose == gunPose::fire ? kFire : pose == gunPose::open ? kOpen : kMagazineOut;
}
// Sound slots.
enum sound { kNoSound = -1, kShotSound = 0, kClickSound, kReloadSound, kShellSound };

// Where a frame picture lies: its top-left corner in screen pixels and its turn in degrees.
struct pose {
    gunPose picture;
    float x, y, rot;
};
const pose kRest{gunPose::ready, -16, -40, 0};

struct frame {
    pose at;
    int sound = kNoSound;
    bool eject = false;
    int smoke = 0;  // puffs from the muzzle
};

// The screen point of a gun picture's point (px, py) in `p`: the picture turns about its centre,
// counter-clockwise for a positive turn.
void onScreen(const pose& p, float px, float py, float& x, float& y) {
    const float turn = p.rot * 3.14159265f / 180, dx = px - 300, dy = py - 200;
    x = p.x + 300 + dx * std::cos(turn) + dy * std::sin(turn);
    y = p.y + 200 - dx * std::sin(turn) + dy * std::cos(turn);
}

pose between(const pose& from, const pose& to, float t, gunPose picture) {
    return {picture, from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t, from.rot + (to.rot - from.rot) * t};
}

// A shot that kicks the weapon by (dx, dy) pixels and `turn` degrees (flash, then the slide back
// throwing the case) and brings it back to rest over `settle` frames showing `settled`.
std::vector<frame> shot(float dx, float dy, float turn, int settle, gunPose settled = gunPose::ready) {
    const pose peak{gunPose::open, kRest.x + dx, kRest.y + dy, turn};
    std::vector<frame> frames = {{between(kRest, peak, 0.6f, gunPose::fire), kShotSound, false, 2}, {peak, kNoSound, true}};
    for (int i = 1; i <= settle; ++i) frames.push_back({between(peak, kRest, float(i) / settle, settled)});
    return frames;
}

// The weapon at rest, drifting a few pixels as a held weapon does, over one second or more.
std::vector<frame> sway(gunPose picture, int count, float pixels) {
    std::vector<frame> frames;
    for (int i = 0; i < count; ++i) {
        const float phase = 2 * 3.14159265f * i / count;
        frames.push_back({{picture, kRest.x + pixels * std::sin(phase), kRest.y + pixels * 0.6f * std::sin(2 * phase),
                           pixels * 0.1f * std::cos(phase)}});
    }
    return frames;
}

// Raises and tilts the weapon, drops the magazine, seats a new one and lets the slide go forward.
std::vector<frame> reload() {
    const pose tilted{gunPose::open, kRest.x + 10, kRest.y - 30, 12};
    std::vector<frame> frames;
    for (int i = 0; i < 4; ++i) frames.push_back({between(kRest, tilted, i / 3.0f, gunPose::open)});
    const pose magazineOut{gunPose::magazineOut, tilted.x, tilted.y, tilted.rot};
    for (int i = 0; i < 15; ++i) frames.push_back({magazineOut, i ? kNoSound : kReloadSound});
    for (int i = 0; i < 3; ++i) frames.push_back({tilted});
    frames.push_back({{gunPose::ready, tilted.x, tilted.y, tilted.rot}, kClickSound});
    for (int i = 1; i <= 6; ++i) frames.push_back({between(tilted, kRest, i / 6.0f, gunPose::ready)});
    return frames;
}

std::string number(float value) {
    std::ostringstream text;
    text.precision(1);
    text << std::fixed << (std::fabs(value) < 0.05f ? 0.0f : value);
    std::string shown = text.str();
    return shown.size() > 2 && shown.compare(shown.size() - 2, 2, ".0") == 0 ? shown.substr(0, shown.size() - 2) : shown;
}

void writeFrame(std::ostream& xml, int n, const frame& f) {
    xml << "      <frame n=\"" << n << "\" img=\"" << imageSlot(f.at.picture) << "\" x=\"" << number(f.at.x) << "\" y=\""
        << number(f.at.y) << "\"";
    if (number(f.at.rot) != "0") xml << " rot=\"" << number(f.at.rot) << "\"";
    if (f.sound != kNoSound) xml << " sound=\"" << f.sound << "\"";
    if (!f.eject && !f.smoke) {
        xml << "/>\n";
        return;
    }
    xml << ">\n";
    float x, y;
    if (f.eject) {  // the case's top-left corner, thrown up and to the right
        onScreen(f.at, gunGeometry::portX - gunGeometry::slideBack(f.at.picture), gunGeometry::portY, x, y);
        xml << "        <eject num=\"1\" x=\"" << number(x - 8) << "\" y=\"" << number(y - 8) << "\" rot=\"-30\"/>\n";
    }
    if (f.smoke) {  // 20-pixel puffs rising from the muzzle
        onScreen(f.at, gunGeometry::muzzleX, gunGeometry::muzzleY, x, y);
        xml << "        <spawn n=\"" << f.smoke << "\" e=\"0\" x=\"" << number(x - 10) << "\" y=\"" << number(y - 10)
            << "\" ms=\"600\" sc=\"20\" sa=\"0.04\" rMn=\"-0.1\" rMx=\"0.1\" ang=\"270\" rg=\"50\" sp=\"0.04\"/>\n";
    }
    xml << "      </frame>\n";
}

void writeAnimation(std::ostream& xml, const char* name, const std::vector<frame>& frames) {
    xml << "    <animation name=\"" << name << "\" frameCount=\"" << frames.size() << "\" bg=\"" << kBackground << "\">\n";
    for (size_t i = 0; i < frames.size(); ++i) writeFrame(xml, int(i), frames[i]);
    xml << "    </animation>\n";
}

std::string weaponXml(const std::string& name) {
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<!-- " << name << ": a starting weapon. Draw over its pictures and replace its sounds under the same names,\n"
        << "     or name others here; docs/weapon-format.md says what each element does. -->\n"
        << "<kablixWeapon name=\"" << name << "\" allowInterrupt=\"true\" allowSoundOverlap=\"true\">\n  <images>\n";
    const char* pictures[] = {"bg", "ready", "fire", "open", "magout", "round", "case"};
    for (int i = 0; i < 7; ++i) xml << "    <image id=\"" << i << "\">" << name << "_" << pictures[i] << ".png</image>\n";
    xml << "  </images>\n  <emitters>\n    <emitter id=\"0\" name=\"" << name << "_smoke\" blend=\"2\"/>\n  </emitters>\n"
        << "  <!-- Single and auto fire; the switch (or Space) changes between them. -->\n"
        << "  <shotTypes switchPosX=\"494\" switchPosY=\"246\">\n"
        << "    <single>1</single>\n    <burst>0</burst>\n    <auto>1</auto>\n  </shotTypes>\n  <sounds>\n";
    const char* sounds[] = {"shot", "click", "reload", "shell"};
    for (int i = 0; i < 4; ++i)
        xml << "    <sound id=\"" << i << "\" offset=\"0\">" << name << "_" << sounds[i] << ".wav</sound>\n";
    xml << "  </sounds>\n  <ejectCartridge image=\"" << kCartridge << "\" scale=\"16\"/>\n"
        << "  <ammo count=\"12\" img=\"" << kRound << "\">\n";
    for (int i = 0; i < 12; ++i) xml << "    <bullet id=\"" << i << "\" x=\"" << 14 + 11 * i << "\" y=\"280\" rot=\"0\"/>\n";
    xml << "  </ammo>\n  <animations>\n";
    writeAnimation(xml, "firstShot", shot(-8, -5, 6, 3));
    writeAnimation(xml, "shot0", shot(-6, -4, 4, 2));
    writeAnimation(xml, "shot1", shot(-7, -6, 5.5f, 2));
    std::vector<frame> last = shot(-7, -5, 5, 4, gunPose::open);  // the slide stays back
    last[2].sound = kClickSound;
    writeAnimation(xml, "lastShot", last);
    std::vector<frame> windDown(6, frame{kRest});
    windDown[0].smoke = 1;
    windDown[3].sound = kShellSound;  // the last case lands
    writeAnimation(xml, "windDown", windDown);
    writeAnimation(xml, "reload", reload());
    writeAnimation(xml, "emptyState", sway(gunPose::open, 30, 2));
    writeAnimation(xml, "idle0", sway(gunPose::ready, 45, 3));
    xml << "  </animations>\n</kablixWeapon>\n";
    return xml.str();
}

struct newFile {
    std::string name;
    std::function<std::vector<uint8_t>()> make;
};

std::vector<newFile> weaponFiles(const std::string& name) {
    const std::string n = name + "_";
    auto gun = [](gunPose pose) { return [pose] { return gunPicture(pose); }; };
    auto wav = [](placeholderSound s) { return [s] { return soundWav(s); }; };
    auto xml = [name] {
        const std::string text = weaponXml(name);
        return std::vector<uint8_t>(text.begin(), text.end());
    };
    return {{name + ".xml", xml},
            {n + "bg.png", backgroundPicture},           {n + "ready.png", gun(gunPose::ready)},
            {n + "fire.png", gun(gunPose::fire)},        {n + "open.png", gun(gunPose::open)},
            {n + "magout.png", gun(gunPose::magazineOut)}, {n + "round.png", roundPicture},
            {n + "case.png", cartridgePicture},          {n + "smoke.png", smokePicture},
            {n + "shot.wav", wav(placeholderSound::shot)}, {n + "click.wav", wav(placeholderSound::click)},
            {n + "reload.wav", wav(placeholderSound::reload)}, {n + "shell.wav", wav(placeholderSound::shell)}};
}

bool exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

bool writeNew(const std::string& path, const std::vector<uint8_t>& bytes) {
    return !bytes.empty() && writeNewFile(path, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A key the catalogue leaves free: 0 (taken up at start) when it has none there or cannot be read.
std::string freeKey(const std::string& cataloguePath) {
    if (access(cataloguePath.c_str(), R_OK) != 0) return "0";
    gameLog log;  // the reader names the file on standard output
    dataFileReader catalogue(cataloguePath);
    std::vector<std::string> keys = {"0"};
    for (char c = '1'; c <= '9'; ++c) keys.emplace_back(1, c);
    for (char c = 'a'; c <= 'z'; ++c) keys.emplace_back(1, c);
    for (const std::string& key : keys)
        if (catalogue.getValue(key).empty()) return key;
    return "1";
}

}  // namespace

bool weaponNameUsable(const std::string& name) {
    if (name.empty() || name.size() > 64 || name[0] == '.' || name[0] == '-') return false;
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '.') return false;
    }
    return true;
}

int writeScaffold(const std::string& name, const std::string& folder, const std::string& cataloguePath,
                  std::ostream& out, std::ostream& errors, bool inPack) {
    if (!weaponNameUsable(name)) {
        errors << "kablix-check: cannot name a weapon '" << name << "': use letters, digits, '_', '-' and '.' "
               << "(not first), at most 64 characters\n";
        return 2;
    }
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        errors << "kablix-check: " << folder << " is not a folder; nothing written\n";
        return 1;
    }
    const std::vector<newFile> files = weaponFiles(name);
    bool clash = false;
    for (const newFile& file : files) {
        if (!exists(folder + "/" + file.name)) continue;
        errors << "kablix-check: " << folder << "/" << file.name << " exists\n";
        clash = true;
    }
    if (clash) {
        errors << "kablix-check: nothing written: the new weapon would replace what is there\n";
        return 1;
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (writeNew(folder + "/" + files[i].name, files[i].make())) continue;
        errors << "kablix-check: cannot write " << folder << "/" << files[i].name << "; nothing written\n";
        while (i-- > 0) unlink((folder + "/" + files[i].name).c_str());
        return 1;
    }
    out << "wrote " << files.size() << " files to " << folder << ": " << name << ".xml and its pictures and sounds, "
        << name << "_*.png and " << name << "_*.wav\n";
    if (inPack) return 0;
    if (!exists(folder + "/EFFECTS.xml") || !exists(folder + "/emptySound.ogg")) {
        out << "the folder still lacks the shared files every weapon uses (EFFECTS.xml, emptySound.ogg ...): "
               "see docs/weapon-format.md\n";
    }
    out << "add this line to the catalogue (gunList.txt; key 0 is the weapon taken up at start):\n"
        << freeKey(cataloguePath) << "=" << name << "\n";
    return 0;
}

bool writeNewFile(const std::string& path, const char* data, size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t wrote = write(fd, data + done, size - done);
        if (wrote <= 0) break;
        done += size_t(wrote);
    }
    const bool closed = close(fd) == 0;
    if (done == size && closed) return true;
    unlink(path.c_str());
    return false;
}

}  // namespace QEL
