#!/usr/bin/env bash
# Robustness runs, each in a build folder of its own:
#   scripts/fuzz.sh [SECONDS] [INPUT...]  builds the libFuzzer harnesses (clang, build-fuzz/) and
#       fuzzes each INPUT (default: all) for SECONDS (default 60) at low priority, one at a time.
#       Corpora grow in build-fuzz/corpus/<input>/ from fuzz/seeds/ and the demo pack; a crash
#       leaves its input in build-fuzz/findings/ (replay it with replay_<input> in a normal build,
#       then keep it in tests/robust/inputs/<input>/). KABLIX_FUZZ_SEED fixes libFuzzer's seed, so
#       that the short runs of the test command try the same inputs every time.
#   scripts/fuzz.sh sanitize  builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
#       (build-asan/) and runs every test except the end-to-end ones.
# Quiet on success but for one line per fuzzed input; the exit status is 1 when anything failed.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
root=$(pwd)
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

all_inputs="png tga wav ogg weapon_load effects gunlist damage net pack"

# Longest input each harness is given (libFuzzer's -max_len), in bytes.
max_len() {
  case "$1" in
    tga|gunlist) echo 4096 ;;
    wav|effects|pack) echo 8192 ;;
    png|ogg) echo 16384 ;;
    weapon_load) echo 32768 ;;
    damage) echo 256 ;;
    net) echo 2048 ;;
  esac
}

# Seeds: the small files in fuzz/seeds/<input>/ and the demo pack's files of the input's kind.
seed_files() {
  local pack="$root/build-fuzz/assets"
  [ -d "$root/fuzz/seeds/$1" ] && find "$root/fuzz/seeds/$1" -type f
  case "$1" in
    png) ls "$pack"/*.png ;;
    ogg) ls "$pack"/*.ogg ;;
    weapon_load) ls "$pack"/*.xml | grep -v '/EFFECTS.xml$' ;;
    effects) echo "$pack/EFFECTS.xml" ;;
    gunlist) echo "$root/build-fuzz/play/gunList.txt" ;;
    damage) echo "$pack/damage.txt" ;;
  esac 2>/dev/null
}

build_fuzzers() {
  mkdir -p build-fuzz
  # Several runs of this script at once (one input each) share the build: one builds, the others wait.
  exec 9>build-fuzz/.build.lock
  flock 9
  local flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  if ! { cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKABLIX_FUZZ=ON \
           -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
           "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_C_FLAGS=$flags" \
           "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" &&
         cmake --build build-fuzz --target kablix_fuzzers kablix_pack -j"$(nproc)"; } >build-fuzz/build.log 2>&1; then
    grep -E -B2 -A6 'error|Error' build-fuzz/build.log | head -100 >&2
    echo "fuzz build failed (full log: build-fuzz/build.log)" >&2
    return 1
  fi
  flock -u 9
}

# Fuzzes one input for $2 seconds; prints one line with the figures libFuzzer reached.
fuzz_one() {
  local input="$1" seconds="$2" corpus="$root/build-fuzz/corpus/$1" log="$root/build-fuzz/logs/$1.log" launcher=()
  mkdir -p "$corpus" "$root/build-fuzz/findings" "$root/build-fuzz/logs"
  seed_files "$input" | while read -r seed; do [ -f "$seed" ] && cp -n "$seed" "$corpus/"; done
  if [ "$input" = net ]; then
    # Real sockets: only inside a namespace of its own with nothing but loopback.
    if [ "$(id -u)" -ne 0 ]; then echo "fuzz_net: skipped (network namespaces need root)"; return 0; fi
    launcher=(python3 "$root/tests/e2e/kablix_e2e.py")
  fi
  "${launcher[@]}" nice -n 10 "$root/build-fuzz/fuzz/fuzz_$input" -max_total_time="$seconds" ${KABLIX_FUZZ_SEED:+-seed=$KABLIX_FUZZ_SEED} \
    -max_len="$(max_len "$input")" -timeout=60 -print_final_stats=1 \
    -artifact_prefix="$root/build-fuzz/findings/$input-" "$corpus" >"$log" 2>&1
  local status=$?
  # A harness that crashed had no chance to remove its working folder (named after its process).
  local world
  for world in "${TMPDIR:-/tmp}"/kablix_fuzz_*; do
    [ -d "$world" ] && ! kill -0 "${world##*_}" 2>/dev/null && rm -rf "$world"
  done
  local runs speed
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  speed=$(grep -E '^stat::average_exec_per_sec' "$log" | awk '{print $2}')
  if [ "$status" -ne 0 ]; then
    grep -E -A30 'ERROR: |runtime error|deadly signal|Test unit written' "$log" | head -60 >&2
    echo "fuzz_$input: FAILED after ${seconds}s (log: $log)" >&2
    return 1
  fi
  echo "fuzz_$input: ${seconds}s, ${runs:-0} runs, ${speed:-0} exec/s, corpus $(ls "$corpus" | wc -l) files, no finding"
}

run_fuzzers() {
  local seconds="${1:-60}"
  shift || true
  local inputs="${*:-$all_inputs}" failed=0
  build_fuzzers || return 1
  for input in $inputs; do fuzz_one "$input" "$seconds" || failed=1; done
  return "$failed"
}

# The sanitizer build of the whole unit test suite (the end-to-end tests run once, in build/).
# Allocation counts skip themselves there: AddressSanitizer keeps operator new for itself.
run_sanitized_tests() {
  mkdir -p build-asan
  if ! { cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKABLIX_SANITIZE=ON &&
         cmake --build build-asan -j"$(nproc)"; } >build-asan/build.log 2>&1; then
    grep -E -B2 -A6 'error|Error' build-asan/build.log | head -100 >&2
    echo "sanitizer build failed (full log: build-asan/build.log)" >&2
    return 1
  fi
  # Mesa unloads its software driver at exit, before LeakSanitizer looks, which then reports what
  # the driver kept from an unknown module. Preloaded, the driver stays (as in the harnesses); the
  # sanitizer runtime is then not first in the library list, which is harmless here.
  if ! LD_PRELOAD=/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so ASAN_OPTIONS=verify_asan_link_order=0 \
       ctest --test-dir build-asan -LE e2e -j"$(nproc)" --output-on-failure --timeout 600 \
         >build-asan/ctest.log 2>&1; then
    grep -v -E '^[0-9]+% tests passed' build-asan/ctest.log | tail -200 >&2
    echo "sanitizer tests failed (full log: build-asan/ctest.log)" >&2
    return 1
  fi
}

case "${1:-}" in
  sanitize) run_sanitized_tests ;;
  *) run_fuzzers "$@" ;;
esac
