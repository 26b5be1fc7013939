// The command line: a weapon name to start with, or an option. An argument that starts with "--"
// is always an option, never a weapon name, so a weapon file cannot be mistaken for one.
// `--preview WEAPON [ANIMATION]` takes the names that follow the options.
#pragma once

#include <cstdint>
#include <string>

namespace QEL {

struct Options {
    enum class Action { play, usage, previewUsage, help, version, unknownOption };
    Action action = Action::play;
    std::string weapon;   // play: the weapon to start with; empty for the catalogue's entry 0
    bool preview = false; // --preview: `weapon` is looked at frame by frame instead of played
    std::string animation;  // preview: the animation to open on; empty for the weapon's first
    int32_t scale = 1;    // the window is this many times 568 × 320 (1 to 4)
    std::string unknown;  // unknownOption: the argument not understood
};

Options parseOptions(int argc, char** argv);

// The one usage line the game has always printed for a wrong number of weapon names.
void printUsage(const char* program);
// Usage, the options and what every input does (the input table's help), on standard output.
void printHelp(const char* program);
void printVersion();

}  // namespace QEL
