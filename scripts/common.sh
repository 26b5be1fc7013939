# Shared by play.sh and test.sh: package installation and a quiet build into build/.
# Both functions print nothing on success and the reason on failure.

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1

# Installs missing Debian packages: directly as root, else through sudo (asked only when
# something is missing).
ensure_packages() {
  if [ "$(id -u)" -eq 0 ]; then
    scripts/install-deps.sh
  elif ! scripts/install-deps.sh 2>/dev/null; then
    command -v sudo >/dev/null || { echo "run as root: packages are missing" >&2; return 1; }
    sudo scripts/install-deps.sh
  fi
}

# One short line on standard error as each long phase starts, so that work is told from a hang.
phase() { echo "kablix: $*" >&2; }

# Runs a command with its output appended to the log file given first. On a terminal the
# build's percentage or CTest's test count is shown in place while it runs.
run_logged() {
  local log=$1
  shift
  [ -t 2 ] || { "$@" >>"$log" 2>&1; return; }
  "$@" 2>&1 | tee -a "$log" | awk '
    match($0, /^\[ *[0-9]+%\]/) { shown = substr($0, RSTART, RLENGTH) }
    match($0, /^ *[0-9]+\/ *[0-9]+ Test/) { shown = "test " substr($0, RSTART, RLENGTH - 5) }
    shown != "" { printf "\r  %s ", shown > "/dev/stderr"; fflush("/dev/stderr") }
    END { if (shown != "") printf "\r\033[K" > "/dev/stderr" }'
  return "${PIPESTATUS[0]}"
}

# Configures and builds everything into build/; the output is kept in build/build.log.
# keep_going=1 builds whatever can be built even after an error.
build_all() {
  local keep_going="${1:-0}" make_args=()
  mkdir -p build
  [ "$keep_going" = 1 ] && make_args=(-- -k)
  phase "building into build/ (a few minutes the first time)"
  if ! cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >build/build.log 2>&1; then
    cat build/build.log >&2
    echo "configure failed" >&2
    return 1
  fi
  phase "making the demo pack (build/assets)"
  run_logged build/build.log cmake --build build --target kablix_pack
  phase "compiling"
  if ! run_logged build/build.log cmake --build build -j"$(nproc)" "${make_args[@]}"; then
    grep -E -B2 -A6 'error|Error|undefined reference' build/build.log | head -200 >&2
    echo "build failed (full log: build/build.log)" >&2
    return 1
  fi
}
