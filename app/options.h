// The command line: a weapon name to start with, or an option. An argument that starts with "--"
// is always an option, never a weapon name, so a weapon file cannot be mistaken for one.
// `--preview WEAPON [ANIMATION]` takes the names that follow the options.
#pragma once

#include "app/packInstaller.h"

#include <cstdint>
#include <string>

namespace QEL {

struct Options {
    enum class Action { play, usage, previewUsage, help, version, unknownOption, badValue, packs };
    Action action = Action::play;
    std::string weapon;   // play: the weapon to start with; empty for the catalogue's entry 0
    bool preview = false; // --preview: `weapon` is looked at frame by frame instead of played
    std::string animation;  // preview: the animation to open on; empty for the weapon's first
    int32_t scale = 1;    // the window is this many times 568 × 320 (1 to 4)
    std::string unknown;  // unknownOption: the argument not understood; badValue: what is wrong with it
    std::string room;         // --room NAME: the network room; empty for the default room
    std::string roomKeyFile;  // --room-key FILE: the file holding the room's passphrase
    int32_t port = 54776;     // --port N: the UDP port of advertisements and links
    packRequest packs;    // packs: what to do in the packs folders, then exit
};

Options parseOptions(int argc, char** argv);

// The one usage line the game has always printed for a wrong number of weapon names.
void printUsage(const char* program);
// Usage, the options (optionTable.h) and what every input does (the input table's help), on standard output.
void printHelp(const char* program);
void printVersion();

}  // namespace QEL
