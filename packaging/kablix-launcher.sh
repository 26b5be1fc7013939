#!/bin/bash
# Starts the installed game in the player's own folder, $XDG_DATA_HOME/kablix (by default
# ~/.local/share/kablix): play/ holds the catalogue (copied once, so the player may edit it) and
# the screenshots; assets/ links in the installed pack beside the player's scores.db and any
# weapons the player adds; packs/ holds the player's packs, which the game is told of first (so
# --add-pack puts packs there unless the player names another folder). Arguments go to the game,
# which names itself as the player called it.
set -eu
prefix=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
game="$prefix/lib/games/kablix/kablix"
name=$(basename "$0")
# --help and --version only print: they need no folder, and make none.
for arg in "$@"; do
  case $arg in --help|--version) exec -a "$name" "$game" "$@" ;; esac
done
shared="$prefix/share/games/kablix"
home="${XDG_DATA_HOME:-${HOME:?HOME is not set}/.local/share}/kablix"
mkdir -p "$home/play" "$home/assets" "$home/packs"
[ -e "$home/play/gunList.txt" ] || cp "$shared/play/gunList.txt" "$home/play/gunList.txt"
for file in "$shared/assets/"*; do
  link="$home/assets/$(basename "$file")"
  # A link left by an earlier installation elsewhere is renewed; the player's own files stay.
  if [ -L "$link" ] && [ ! -e "$link" ]; then rm -f "$link"; fi
  [ -e "$link" ] || ln -s "$file" "$link"
done
cd "$home/play"
exec -a "$name" "$game" --packs "$home/packs" "$@"
