#!/usr/bin/env bash
# Builds the Debian package of Ovra (RelWithDebInfo, in build-release/) and prints its path. The
# package is for the release it is built on: Debian 12, or Debian 13 through
# `scripts/debian13-root.sh run -- scripts/package.sh` (built in build-release-trixie/).
# Install it with: sudo apt install ./ovra_<version>_<arch>.deb
# Usage: scripts/package.sh [OUTPUT_FOLDER] [CMAKE_ARGS...]   (default folder: the build folder)
set -euo pipefail
cd "$(dirname "$0")/.."

# Another release builds in a folder of its own: a clone shared with a Debian 13 root must not
# reuse (or spoil) the Debian 12 build-release/ that scripts/run.sh also uses.
. /etc/os-release
build=build-release
[[ ${VERSION_CODENAME:-} == bookworm ]] || build=build-release-${VERSION_CODENAME:-other}

output=$build
if (($#)) && [[ $1 != -* ]]; then
  output=$1
  shift
fi

bash scripts/setup.sh --package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVRA_BUILD_TESTS=OFF \
  -DOVRA_BUILD_BENCH=OFF "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
mkdir -p "$output"
output=$(cd "$output" && pwd)
(cd "$build" && cpack -G DEB -B "$output" >/dev/null)
find "$output" -maxdepth 1 -name 'ovra_*.deb' -newer "$build/CPackConfig.cmake" -print
