#include "app/options.h"

#include <cstdio>
#include <cstring>

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

}  // namespace

Options parseOptions(int argc, char** argv) {
    Options options;
    if (argc > 1 && std::strncmp(argv[1], "--", 2) == 0) {
        const char* option = argv[1];
        if (argc == 2 && std::strcmp(option, "--help") == 0) {
            options.action = Options::Action::help;
        } else if (argc == 2 && std::strcmp(option, "--version") == 0) {
            options.action = Options::Action::version;
        } else {
            options.action = Options::Action::unknownOption;
            options.unknown = option;
        }
        return options;
    }
    if (argc > 2) options.action = Options::Action::usage;
    if (argc == 2) options.weapon = argv[1];
    return options;
}

void printUsage(const char* program) { std::printf("usage: %s <assetName>\n", program); }

void printHelp(const char* program) {
    std::printf("usage: %s [WEAPON]\n"
                "       %s --help | --version\n\n"
                "Plays WEAPON (a weapon file's name in ../assets without .xml), or the weapon on key 0\n"
                "of gunList.txt in the current folder.\n\n"
                "  --help     this text\n"
                "  --version  the version\n\n"
                "Keys:\n",
                program, program);
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
