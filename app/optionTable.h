// The game's command-line options, one row each: the parser recognises them by it, --help lists
// them from it, and the manual page is written from it (packaging/make_man.py reads this file as
// text, so each row stays a brace of plain string literals).
#pragma once

namespace QEL {

struct OptionRow {
    const char* name;      // "--scale"
    const char* argument;  // the value that follows it ("N"), or "" when it takes none
    const char* help;      // what it does; --help wraps it
};

constexpr OptionRow kOptionRows[] = {
    {"--scale", "N", "a window N times 568 x 320 (N from 1 to 4)"},
    {"--preview", "",
     "shows WEAPON paused on the first frame of ANIMATION (default: its first animation), printing "
     "\"preview: ANIMATION N/COUNT\" for each frame shown; nothing is counted in scores.db. Keys: Right / Left "
     "step one frame (the frame's sound, cartridges and particles fire); Up / Down the previous / next "
     "animation; Space play / pause; [ ] half / double speed (1/8 to 1); F1 screenshot.png; Escape quit"},
    {"--room", "NAME",
     "play in network room NAME (1 to 32 letters, digits, . _ -): copies in other rooms, or in none, never "
     "link with this one"},
    {"--room-key", "FILE",
     "link only with copies of the room holding the passphrase on FILE's first line (proved on every link; "
     "the passphrase never travels)"},
    {"--port", "N", "the UDP port for advertisements and links (default 54776)"},
    {"--add-pack", "FILE.zip",
     "checks the pack archive FILE.zip and copies it into the packs folder as NAME.zip (NAME from its pack.xml), "
     "then exits; an archive that is refused is named with the reason and nothing is written"},
    {"--replace", "", "with --add-pack: replaces an installed pack of the same name"},
    {"--remove-pack", "NAME", "removes the installed pack NAME from the packs folder, then exits"},
    {"--list-packs", "", "lists the packs in ../packs and in every --packs folder (name, version, title, author, "
     "license, weapons, file), then exits"},
    {"--packs", "DIR", "a folder of packs besides ../packs (may be given more than once): the game plays its packs' "
     "weapons as PACK/WEAPON (a pack found first wins over a later one of the same name), --list-packs lists it "
     "too, and --add-pack and --remove-pack use the last one given"},
    {"--help", "", "this text"},
    {"--version", "", "the version"},
};

}  // namespace QEL
