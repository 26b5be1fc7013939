#include "app/options.h"

#include "app/inputTable.h"
#include "app/optionTable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "net/QelPeer.h"

namespace QEL {

namespace {

const OptionRow* findOption(const char* name) {
    for (const OptionRow& row : kOptionRows)
        if (std::strcmp(row.name, name) == 0) return &row;
    return nullptr;
}

Options refused(Options::Action action, const std::string& problem) {
    Options options;
    options.action = action;
    options.unknown = problem;
    return options;
}

// "  --scale N  text", the text wrapped at kHelpWidth and indented under its first line.
std::string optionLine(const OptionRow& row) {
    constexpr size_t kHelpWidth = 96;
    constexpr size_t kTextColumn = 13;
    std::string head = std::string("  ") + row.name + (*row.argument ? std::string(" ") + row.argument : "");
    head.resize(std::max(head.size() + 1, kTextColumn), ' ');
    std::string text = row.help, result;
    while (head.size() + text.size() > kHelpWidth) {
        size_t cut = text.rfind(' ', kHelpWidth - head.size());
        if (cut == std::string::npos) break;
        result += head + text.substr(0, cut) + "\n";
        text = text.substr(cut + 1);
        head.assign(kTextColumn, ' ');
    }
    return result + head + text + "\n";
}

// What a value-taking option accepts, for the lines that say one is missing or wrong.
std::string valueRange(const OptionRow& row) {
    const std::string option = row.name;
    if (option == "--scale") return "(1 to 4)";
    if (option == "--port") return "(1 to 65535)";
    return std::string("(") + row.argument + ")";
}

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
        const OptionRow* row = findOption(argv[i]);
        if (!row) return refused(Options::Action::unknownOption, argv[i]);
        const std::string option = row->name;
        if (option == "--help" || option == "--version") {
            options.action = option == "--help" ? Options::Action::help : Options::Action::version;
            return options;
        }
        if (option == "--preview") options.preview = true;
        if (option == "--list-packs") options.packs.list = true;
        if (option == "--replace") options.packs.replace = true;
        if (!*row->argument) continue;
        if (i + 1 >= argc) return refused(Options::Action::badValue, option + " needs a value " + valueRange(*row));
        const char* value = argv[++i];
        if (option == "--add-pack") options.packs.addArchive = value;
        if (option == "--remove-pack") options.packs.removeName = value;
        if (option == "--packs") options.packs.packsDirs.push_back(value);
        if (option == "--room-key") options.roomKeyFile = value;
        if (option == "--room") {
            if (!validRoomName(value))
                return refused(Options::Action::badValue, option + " " + value + " is not a room name (1 to 32 letters, digits, . _ -)");
            options.room = value;
        }
        if (option == "--port") {
            if (!validPort(value)) return refused(Options::Action::badValue, option + " " + value + " is out of range " + valueRange(*row));
            options.port = std::atoi(value);
        }
        if (option != "--scale") continue;
        const int scale = std::atoi(value);
        if (scale < 1 || scale > 4 || std::strlen(value) != 1)
            return refused(Options::Action::badValue, option + " " + value + " is out of range (1 to 4)");
        options.scale = scale;
    }
    if (options.packs.wanted()) options.action = Options::Action::packs;
    const int names = argc - i;
    if (options.preview && (names < 1 || names > 2)) {
        options.action = Options::Action::previewUsage;
        return options;
    }
    if (!options.roomKeyFile.empty() && options.room.empty())
        return refused(Options::Action::badValue, "--room-key needs --room NAME: a key guards a room");
    if (names > 1 && !options.preview) options.action = Options::Action::usage;
    if (names >= 1) options.weapon = argv[i];
    if (names == 2 && options.preview) options.animation = argv[i + 1];
    return options;
}

void printUsage(const char* program) { std::printf("usage: %s <assetName>\n", program); }

void printHelp(const char* program) {
    std::printf("usage: %s [--scale N] [--room NAME [--room-key FILE]] [--port N] [WEAPON]\n"
                "       %s [--scale N] --preview WEAPON [ANIMATION]\n"
                "       %s --add-pack FILE.zip [--replace] | --remove-pack NAME | --list-packs [--packs DIR]\n"
                "       %s --help | --version\n\n"
                "Plays WEAPON (a weapon file's name in ../assets without .xml, or PACK/WEAPON for a weapon\n"
                "of a pack), or the weapon on key 0 of gunList.txt in the current folder.\n\n",
                program, program, program, program);
    for (const OptionRow& row : kOptionRows) std::fputs(optionLine(row).c_str(), stdout);
    std::fputs("\nKeys:\n", stdout);
    std::fputs(inputHelp().c_str(), stdout);
}

void printVersion() { std::printf("kablix %s\n", KABLIX_VERSION); }

}  // namespace QEL
