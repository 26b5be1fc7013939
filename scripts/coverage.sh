#!/usr/bin/env bash
# Line, function and branch coverage of the product code by the unit and end-to-end tests:
# builds everything with --coverage into build-cov/, runs every test but the soak and the
# memcheck session, and prints gcovr's summary (the full table goes to build-cov/coverage.txt).
set -uo pipefail
source "$(dirname "$0")/common.sh"
ensure_packages || exit 1
command -v gcovr >/dev/null || { [ "$(id -u)" -eq 0 ] && apt-get install -y -qq gcovr >/dev/null; } ||
  { echo "gcovr is missing: apt-get install gcovr" >&2; exit 1; }
mkdir -p build-cov
cmake -S . -B build-cov -DCMAKE_BUILD_TYPE=Coverage >build-cov/build.log 2>&1 &&
  cmake --build build-cov -j"$(nproc)" >>build-cov/build.log 2>&1 || { tail -40 build-cov/build.log; exit 1; }
find build-cov -name '*.gcda' -delete
ctest --test-dir build-cov -j"$(nproc)" -E 'soak|valgrind' --timeout 600 >build-cov/ctest.log 2>&1
tail -n 3 build-cov/ctest.log
product='^(app|base|xml|render|sound|stats|effects|weapon|net|check)/'
gcovr -r . build-cov --filter "$product" --exclude-unreachable-branches --txt build-cov/coverage.txt \
  --print-summary 2>/dev/null | tail -n 3
