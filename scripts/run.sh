#!/usr/bin/env bash
# Installs what is needed, builds Ovra and starts it in the current X11 session. Without a
# display it shows the road of one selection in a private headless desktop instead and saves
# screenshots of every step (scripts/demo-headless.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
if [[ -z ${DISPLAY:-} ]] || ! xdpyinfo >/dev/null 2>&1; then
  echo "No X11 display: running the headless demo instead."
  OVRA_CMAKE_ARGS="$*" exec bash scripts/demo-headless.sh
fi
# Its own folder per build type: the tests' Debug build in build/ is left as it is.
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build-release -j "$(nproc)" --target ovra
exec build-release/src/ovra
