"""Writes the manual pages, compressed: kablix(6) and kablix-check(1). Their options come from the
programs' option tables (app/optionTable.h, check/main.cpp), read here as text; the game's keys
from its own `kablix --help`, so neither page can disagree with the program.

    make_man.py GAME SOURCE_DIR OUT_DIR
"""

import gzip
import os
import re
import subprocess
import sys


def option_rows(path, table):
    """[(name, argument, help)] of the brace rows of C++ array `table` in `path`."""
    with open(path) as f:
        text = f.read()
    body = re.search(re.escape(table) + r"\[\] = \{(.*?)\n\};", text, re.S).group(1)
    rows = []
    for row in re.findall(r"\{((?:\s*\"(?:[^\"\\]|\\.)*\"\s*,?)+)\s*\}", body):
        strings = [s.replace('\\"', '"').replace("\\\\", "\\") for s in re.findall(r'"((?:[^"\\]|\\.)*)"', row)]
        rows.append((strings[0], strings[1], "".join(strings[2:])))
    return rows


def roff(text):
    return text.replace("\\", "\\e").replace("-", "\\-")


def options_section(rows):
    return "".join(".TP\n.B %s%s\n%s\n" % (roff(name), " \\fI%s\\fR" % arg if arg else "", roff(help_text))
                   for name, arg, help_text in rows)


def write_page(path, text):
    with open(path, "wb") as raw, gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9, mtime=0) as page:
        page.write(text.encode())


def game_page(version, options, keys):
    return """.TH KABLIX 6 "" "kablix %s" "Games"
.SH NAME
kablix \\- one virtual firearm on a small window, with a team game on the local network
.SH SYNOPSIS
.B kablix
.RB [ \\-\\-scale
.IR N ]
.RB [ \\-\\-room
.IR NAME
.RB [ \\-\\-room\\-key
.IR FILE ]]
.RB [ \\-\\-port
.IR N ]
.RI [ WEAPON ]
.br
.B kablix
.RB [ \\-\\-scale
.IR N ]
.B \\-\\-preview
.I WEAPON
.RI [ ANIMATION ]
.br
.B kablix \\-\\-add\\-pack
.IR FILE.zip
.RB [ \\-\\-replace ]
|
.B \\-\\-remove\\-pack
.IR NAME
|
.B \\-\\-list\\-packs
.RB [ \\-\\-packs
.IR DIR ]
.br
.B kablix
.BR \\-\\-help " | " \\-\\-version
.SH DESCRIPTION
Click to fire, hold for automatic fire, press Space to switch between single, burst and automatic
fire, Return to reload. Each weapon is an XML file with its pictures, sounds and animations; every
shot, reload and mode switch is counted in a small database, and copies on one local network can
play a team game.
.PP
The installed launcher runs the game in
.I $XDG_DATA_HOME/kablix/play
(by default
.IR ~/.local/share/kablix/play ),
beside
.IR ../assets ,
where the installed weapons are linked in and the player's own weapons and
.I scores.db
are kept.
.SH OPTIONS
.TP
.I WEAPON
start with this weapon (a file name in ../assets without .xml) instead of the one on key 0
%s.SH KEYS
%s.SH FILES
.TP
.I play/gunList.txt
the catalogue: which weapon sits on which key
.TP
.I assets/scores.db
the counts of every weapon
.SH SEE ALSO
.BR kablix\\-check (1),
.I /usr/share/doc/kablix/weapon\\-format.md
""" % (version, options_section(options), keys)


def check_page(version, options):
    return """.TH KABLIX\\-CHECK 1 "" "kablix %s" "Kablix"
.SH NAME
kablix\\-check \\- check a Kablix weapon pack, or write a new weapon to start from
.SH SYNOPSIS
.B kablix\\-check
.RB [ \\-\\-assets
.IR DIR ]
.RB [ \\-\\-catalogue
.IR FILE ]
.RI [ WEAPON ...]
.br
.B kablix\\-check \\-\\-new
.I NAME
.RB [ \\-\\-assets
.IR DIR ]
.RB [ \\-\\-catalogue
.IR FILE ]
.SH DESCRIPTION
Reads the weapons of a pack the way the game does (by default every weapon the catalogue names)
and prints every problem as
.IR file : line : column ": error|warning: " message ,
then a summary line. It needs no window and no sound device.
.SH OPTIONS
%s.SH EXIT STATUS
0 when nothing is an error, 1 when something is (or, with \\-\\-new, when a file exists), 2 for a
wrong command line or an unusable name.
.SH SEE ALSO
.BR kablix (6),
.I /usr/share/doc/kablix/weapon\\-format.md
""" % (version, options_section(options))


def main():
    game, source, out = sys.argv[1:4]
    version = subprocess.run([game, "--version"], capture_output=True, text=True, check=True).stdout.split()[-1]
    keys = subprocess.run([game, "--help"], capture_output=True, text=True, check=True).stdout.split("Keys:\n", 1)[1]
    key_rows = "".join(".TP 20\n%s\n%s\n" % (roff(line[2:20].strip()), roff(line[20:].strip()))
                       for line in keys.splitlines() if line.strip())
    write_page(os.path.join(out, "kablix.6.gz"),
               game_page(version, option_rows(os.path.join(source, "app", "optionTable.h"), "kOptionRows"), key_rows))
    write_page(os.path.join(out, "kablix-check.1.gz"),
               check_page(version, option_rows(os.path.join(source, "check", "main.cpp"), "kCheckOptionRows")))


main()
