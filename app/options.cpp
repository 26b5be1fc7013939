#include "app/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "net/QelPeer.h"

namespace QEL {

namespace {

struct KeyHelp {
    const char* keys;
    const char* action;
};

// What the main loop does with each key (mainLoop.cpp); kept beside the options so that --help
// shows the whole of the game's input in one place.
constexpr KeyHelp kKeys[] = {
    {"mouse button", "fire (hold for automatic fire); on the mode switch: next fire mode"},
    {"Space", "next fire mode"},
    {"Return", "reload"},
    {"0-9, a-z", "take up the weapon on that key of play/gunList.txt"},
    {"Shift + 0-9, a-z", "be hit by the shot on that key's s entry of gunList.txt"},
    {"F1", "write play/screenshot.png"},
    {"F11", "full screen on / off"},
    {"F12", "this help over the picture (F12 or Escape closes it)"},
    {"F2 F3 F4 F5", "a shake does nothing / fires / reloads / fires and reloads"},
    {"F6, -", "shake"},
    {"=", "print a status message made from the counts in scores.db"},
    {", . / \\", "mirror the picture: none / left-right / upside down / both"},
    {"keypad 0 . 1 2 3", "networking: open play / off / team 1 / team 2 / team 3"},
    {"keypad * (held)", "raise the shield in a team game (or press along the top edge)"},
    {"keypad 7 / 4", "count shots in scores.db on / off"},
    {"keypad 9 / 6", "take damage on / off"},
    {"keypad 8", "debug light on / off"},
    {"Escape", "quit (the counts are stored); closes the help first"},
};

bool validPort(const char* text) {
    const int port = std::atoi(text);
    return port >= 1 && port <= 65535 && std::to_string(port) == text;
}

}  // namespace

// Options come first; what follows them is the weapon names, as before there were options.
Options parseOptions(int argc, char** argv) {
    Options options;
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        const char* option = argv[i];
        if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "--version") == 0) {
            options.action = option[2] == 'h' ? Options::Action::help : Options::Action::version;
            return options;
        }
        if (std::strcmp(option, "--preview") == 0) {
            options.preview = true;
            continue;
        }
        if (std::strcmp(option, "--room") == 0 && i + 1 < argc && validRoomName(argv[i + 1])) {
            options.room = argv[++i];
            continue;
        }
        if (std::strcmp(option, "--room-key") == 0 && i + 1 < argc) {
            options.roomKeyFile = argv[++i];
            continue;
        }
        if (std::strcmp(option, "--port") == 0 && i + 1 < argc && validPort(argv[i + 1])) {
            options.port = std::atoi(argv[++i]);
            continue;
        }
        if ((std::strcmp(option, "--room") == 0 || std::strcmp(option, "--port") == 0) && i + 1 < argc) {
            options.action = Options::Action::unknownOption;  // a room name or port it cannot take
            options.unknown = std::string(option) + " " + argv[i + 1];
            return options;
        }
        const bool scaleGiven = std::strcmp(option, "--scale") == 0 && i + 1 < argc;
        const int scale = scaleGiven ? std::atoi(argv[i + 1]) : 0;
        if (!scaleGiven || scale < 1 || scale > 4 || std::strlen(argv[i + 1]) != 1) {
            options.action = Options::Action::unknownOption;
            options.unknown = scaleGiven ? std::string(option) + " " + argv[i + 1] : option;
            return options;
        }
        options.scale = scale;
        ++i;
    }
    const int names = argc - i;
    if (options.preview && (names < 1 || names > 2)) {
        options.action = Options::Action::previewUsage;
        return options;
    }
    if (!options.roomKeyFile.empty() && options.room.empty()) {
        options.action = Options::Action::unknownOption;
        options.unknown = "--room-key without --room";
        return options;
    }
    if (names > 1 && !options.preview) options.action = Options::Action::usage;
    if (names >= 1) options.weapon = argv[i];
    if (names == 2 && options.preview) options.animation = argv[i + 1];
    return options;
}

void printUsage(const char* program) { std::printf("usage: %s <assetName>\n", program); }

void printHelp(const char* program) {
    std::printf("usage: %s [--scale N] [--room NAME [--room-key FILE]] [--port N] [WEAPON]\n"
                "       %s [--scale N] --preview WEAPON [ANIMATION]\n"
                "       %s --help | --version\n\n"
                "Plays WEAPON (a weapon file's name in ../assets without .xml), or the weapon on key 0\n"
                "of gunList.txt in the current folder.\n\n"
                "  --scale N  a window N times 568 x 320 (N from 1 to 4)\n"
                "  --preview  shows WEAPON paused on the first frame of ANIMATION (default: its first\n"
                "             animation), printing \"preview: ANIMATION N/COUNT\" for each frame shown;\n"
                "             nothing is counted in scores.db. Keys: Right / Left step one frame (the\n"
                "             frame's sound, cartridges and particles fire); Up / Down the previous /\n"
                "             next animation; Space play / pause; [ ] half / double speed (1/8 to 1);\n"
                "             F1 screenshot.png; Escape quit\n"
                "  --room NAME      play in network room NAME (1 to 32 letters, digits, . _ -): copies\n"
                "             in other rooms, or in none, never link with this one\n"
                "  --room-key FILE  link only with copies of the room holding the passphrase on\n"
                "             FILE's first line (proved on every link; the passphrase never travels)\n"
                "  --port N   the UDP port for advertisements and links (default 54776)\n"
                "  --help     this text\n"
                "  --version  the version\n\n"
                "Keys:\n",
                program, program, program);
    std::fputs(keyTable().c_str(), stdout);
}

std::string keyTable() {
    std::string table;
    char line[160];
    for (const KeyHelp& key : kKeys) {
        std::snprintf(line, sizeof line, "  %-18s %s\n", key.keys, key.action);
        table += line;
    }
    return table;
}

void printVersion() { std::printf("kablix %s\n", KABLIX_VERSION); }

}  // namespace QEL
