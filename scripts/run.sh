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
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build -j "$(nproc)" --target ovra
exec build/src/ovra
