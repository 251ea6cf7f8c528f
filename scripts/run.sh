#!/usr/bin/env bash
# Installs what is needed, builds Ovra and starts it in the current X11 session.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build -j "$(nproc)" --target ovra
exec build/src/ovra
