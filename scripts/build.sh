#!/usr/bin/env bash
# Configures and builds everything into build/ (the game is build/kablix).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" -- --no-print-directory 2>&1 | grep -v -E '^\[ *[0-9]+%\]' || true
test -x build/kablix || { echo "build failed" >&2; exit 1; }
