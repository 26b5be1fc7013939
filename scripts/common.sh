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

# Configures and builds everything into build/; the output is kept in build/build.log.
# keep_going=1 builds whatever can be built even after an error.
build_all() {
  local keep_going="${1:-0}" make_args=()
  mkdir -p build
  [ "$keep_going" = 1 ] && make_args=(-- -k)
  if ! cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >build/build.log 2>&1; then
    cat build/build.log >&2
    echo "configure failed" >&2
    return 1
  fi
  if ! cmake --build build -j"$(nproc)" "${make_args[@]}" >>build/build.log 2>&1; then
    grep -E -B2 -A6 'error|Error|undefined reference' build/build.log | head -200 >&2
    echo "build failed (full log: build/build.log)" >&2
    return 1
  fi
}
