"""Writes the game's manual page (section 6), its options and keys taken from `kablix --help`."""

import subprocess
import sys

game, out = sys.argv[1], sys.argv[2]
version = subprocess.run([game, "--version"], capture_output=True, text=True, check=True).stdout.split()[-1]
keys = subprocess.run([game, "--help"], capture_output=True, text=True, check=True).stdout.split("Keys:\n", 1)[1]


def roff(text):
    return text.replace("\\", "\\e").replace("-", "\\-")


rows = "".join(".TP 20\n%s\n%s\n" % (roff(line[2:20].strip()), roff(line[20:].strip()))
               for line in keys.splitlines() if line.strip())
with open(out, "w") as page:
    page.write(""".TH KABLIX 6 "" "kablix %s" "Games"
.SH NAME
kablix \\- one virtual firearm on a small window, with a team game on the local network
.SH SYNOPSIS
.B kablix
.RI [ WEAPON ]
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
.IR $XDG_DATA_HOME/kablix/play
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
.TP
.B \\-\\-help
the options and the keys
.TP
.B \\-\\-version
the version
.SH KEYS
%s.SH FILES
.TP
.I play/gunList.txt
the catalogue: which weapon sits on which key
.TP
.I assets/scores.db
the counts of every weapon
.SH SEE ALSO
.B kablix\\-check
(checks a weapon pack),
.I /usr/share/doc/kablix/weapon-format.md
""" % (version, rows))
