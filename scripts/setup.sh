#!/usr/bin/env bash
# Installs every Debian package Sonorel needs (idempotent) and builds it into build/.
# Run as root (or with sudo available) on Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  cmake ninja-build pkg-config g++ qt6-base-dev qt6-base-dev-tools libgl-dev portaudio19-dev
  libasound2-dev libjack-jackd2-dev libsndfile1-dev libmpg123-dev libvorbis-dev libavformat-dev
  libavcodec-dev libavutil-dev libswresample-dev libsoundtouch-dev libsoxr-dev libcdio-dev
  libcdio-paranoia-dev libburn-dev libtag1-dev libpugixml-dev libjpeg62-turbo-dev libgtest-dev googletest
  libbenchmark-dev lame xvfb xauth fonts-dejavu-core
  sox libsox-fmt-all ffmpeg
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$BUILD_DIR" --parallel "$(nproc)"
