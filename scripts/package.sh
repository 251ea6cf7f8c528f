#!/usr/bin/env bash
# Builds the Debian package of Ovra (RelWithDebInfo, in build-release/) and prints its path. The
# package is for the release it is built on (Debian 12, or 13 with scripts/debian13-root.sh run).
# Install it with: sudo apt install ./ovra_<version>_<arch>.deb
# Usage: scripts/package.sh [OUTPUT_FOLDER] [CMAKE_ARGS...]   (default folder: build-release/)
set -euo pipefail
cd "$(dirname "$0")/.."

output=build-release
if (($#)) && [[ $1 != -* ]]; then
  output=$1
  shift
fi

bash scripts/setup.sh --package
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVRA_BUILD_TESTS=OFF \
  -DOVRA_BUILD_BENCH=OFF "$@" >/dev/null
cmake --build build-release -j "$(nproc)"
mkdir -p "$output"
output=$(cd "$output" && pwd)
(cd build-release && cpack -G DEB -B "$output" >/dev/null)
find "$output" -maxdepth 1 -name 'ovra_*.deb' -newer build-release/CPackConfig.cmake -print
