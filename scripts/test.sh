#!/usr/bin/env bash
# Sets up, builds and runs every test twice: in the normal build and in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer. CTest's summary is the last thing printed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
BUILD_DIR=build-asan bash scripts/setup.sh -DSONOREL_SANITIZE=ON -DSONOREL_BENCH=OFF

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/runtime" && chmod 700 "$scratch/runtime"
export HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data"
export XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime" QT_QPA_PLATFORM=offscreen

status=0
(cd build && ctest --output-on-failure -j "$(nproc)") || status=1
(cd build-asan && ctest --output-on-failure -j "$(nproc)") || status=1
exit $status
