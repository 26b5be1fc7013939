#include "app/options.h"

#include "app/inputTable.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace QEL {

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
    if (names > 1 && !options.preview) options.action = Options::Action::usage;
    if (names >= 1) options.weapon = argv[i];
    if (names == 2 && options.preview) options.animation = argv[i + 1];
    return options;
}

void printUsage(const char* program) { std::printf("usage: %s <assetName>\n", program); }

void printHelp(const char* program) {
    std::printf("usage: %s [--scale N] [WEAPON]\n"
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
                "  --help     this text\n"
                "  --version  the version\n\n"
                "Keys:\n",
                program, program, program);
    std::fputs(inputHelp().c_str(), stdout);
}

void printVersion() { std::printf("kablix %s\n", KABLIX_VERSION); }

}  // namespace QEL
