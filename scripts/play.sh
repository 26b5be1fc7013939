#!/usr/bin/env bash
# Installs what is missing, builds, and starts the game from build/play on the pack in
# build/assets. Arguments go to the game (one: the weapon to start with).
set -uo pipefail
source "$(dirname "$0")/common.sh"
ensure_packages || exit 1
build_all || exit 1
mkdir -p build/play
phase "starting the game"
cd build/play && exec ../kablix "$@"
