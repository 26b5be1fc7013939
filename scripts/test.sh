#!/usr/bin/env bash
# Installs what is missing, builds everything into build/ and runs every test (unit and
# end-to-end) through CTest. One line per phase on standard error, else quiet on success;
# ctest's summary line is always the last line printed; the exit status is ctest's, or 1 when
# the build failed.
set -uo pipefail
source "$(dirname "$0")/common.sh"
ensure_packages || exit 1
# A failed build still runs the tests, so that every test that could not be built is counted
# as failed in the summary.
build_all 1
built=$?

# The layering: no folder includes one above it (the include graph goes to build/layers.log).
layers=0
scripts/check-layers.py >build/layers.log 2>&1 || { layers=1; cat build/layers.log; }

phase "running $(ctest --test-dir build -N | sed -n 's/^Total Tests: //p') unit and end-to-end tests"
: >build/ctest.log
run_logged build/ctest.log ctest --test-dir build -j"$(nproc)" --output-on-failure --timeout 300
status=$?
summary_pattern='^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+'
if [ "$status" -ne 0 ]; then
  grep -v -E "$summary_pattern" build/ctest.log
fi
# --- Robustness (scripts/fuzz.sh): the unit tests again in a sanitizer build (build-asan/), then
# every fuzz harness for a few seconds (build-fuzz/). Quiet on success; a failure is shown here.
robust=0
phase "the unit tests again under the address and undefined-behaviour sanitizers (build-asan/)"
scripts/fuzz.sh sanitize >build/robust.log 2>&1 || robust=1
phase "fuzzing each input reader for 5 seconds (build-fuzz/)"
KABLIX_FUZZ_SEED=1 scripts/fuzz.sh 5 >>build/robust.log 2>&1 || robust=1
[ "$robust" -eq 0 ] || cat build/robust.log
# ---
summary=$(grep -E "$summary_pattern" build/ctest.log | tail -n 1)
echo "${summary:-ctest found no tests to run}"
[ "$built" -eq 0 ] && [ "$robust" -eq 0 ] && [ "$layers" -eq 0 ] || exit 1
exit "$status"
