#!/usr/bin/env python3
"""Prints which product folders include which, and fails on any include that points from a lower
layer to a higher one. Layers, bottom first:

    base  xml  render  sound/hss  sound  stats  effects  weapon  net  check  app

The game sits over the pack checker: a weapon it refuses is explained on screen with the findings
kablix-check would print.

Test support, tests, fuzz harnesses and timing programs sit above them all and may use any layer;
no product folder may include them. `cmake --graphviz=FILE` shows the same layering as library
links."""

import collections
import os
import re
import sys

LAYERS = ["base", "xml", "render", "sound/hss", "sound", "stats", "effects", "weapon", "net", "check", "app"]
RANK = {}
for rank, entry in enumerate(LAYERS):
    for folder in entry if isinstance(entry, tuple) else (entry,):
        RANK[folder] = rank
ABOVE_ALL = ("testing", "tests", "fuzz", "bench")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(path):
    """The layer folder a repository path belongs to, or None."""
    for folder in sorted(RANK, key=len, reverse=True):
        if path.startswith(folder + "/"):
            return folder
    for folder in ABOVE_ALL:
        if path.startswith(folder + "/"):
            return folder
    return None


def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    edges = collections.Counter()
    faults = []
    for folder in list(RANK):
        for name in sorted(os.listdir(os.path.join(top, folder))):
            if not name.endswith((".h", ".cpp")):
                continue
            path = folder + "/" + name
            with open(os.path.join(top, path), encoding="utf-8") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    target = folder_of(match.group(1)) if match else None
                    if target is None or target == folder:
                        continue
                    edges[(folder, target)] += 1
                    if target not in RANK or RANK[target] >= RANK[folder]:
                        faults.append("%s:%d: %s includes %s" % (path, number, folder, match.group(1)))
    for folder in RANK:
        used = ["%s (%d)" % (target, count) for (source, target), count in sorted(edges.items()) if source == folder]
        print("%-10s -> %s" % (folder, ", ".join(used) if used else "-"))
    if faults:
        print("\nincludes against the layering:", file=sys.stderr)
        print("\n".join(faults), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
