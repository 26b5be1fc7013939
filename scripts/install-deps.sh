#!/usr/bin/env bash
# Installs the Debian packages Kablix builds, runs and tests with. Idempotent and quiet:
# apt is asked only for what is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config dpkg-dev file
  libsdl1.2-dev libsdl-ttf2.0-dev fonts-dejavu-core libgl-dev libtinyxml-dev libsqlite3-dev libvorbisidec-dev libogg-dev
  liblodepng-dev libphysfs-dev libzip-dev libenet-dev libasound2-dev libexpat1-dev libsodium-dev libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-utils iproute2 procps
  librsvg2-bin sox vorbis-tools espeak-ng python3
  clang libclang-rt-dev valgrind
  lintian appstream desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root to install: ${missing[*]}" >&2
    exit 1
  fi
  echo "kablix: installing ${#missing[@]} Debian packages" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
