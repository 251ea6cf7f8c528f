#!/usr/bin/env bash
# Shows Ovra at work on a machine without a display: inside a private headless desktop (X server,
# session and accessibility buses, window manager) it starts Ovra and a GTK application, selects a
# word with the mouse, waits for the panel, translates the word, replaces it in the application,
# and saves a screenshot of every step.
# Usage: scripts/demo-headless.sh [FOLDER]   (default: a new folder under /tmp)
# The translation comes from a stand-in chat-completions service on 127.0.0.1, so no network and
# no key are needed. Extra CMake options can be given in OVRA_CMAKE_ARGS.
set -euo pipefail
cd "$(dirname "$0")/.."

folder=${1:-}
if [[ -z $folder ]]; then
  folder=$(mktemp -d "${TMPDIR:-/tmp}/ovra-demo.XXXXXX")
fi
mkdir -p "$folder"
folder=$(cd "$folder" && pwd)

bash scripts/setup.sh
# shellcheck disable=SC2086
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${OVRA_CMAKE_ARGS:-} >/dev/null
cmake --build build-release -j "$(nproc)" --target test_e2e_app

echo "Ovra headless demo: screenshots go to $folder"
# The end-to-end road in the GTK application, which keeps a screenshot of every step.
OVRA_E2E_SCREENSHOTS=$folder tests/e2e/run-headless.sh -- build-release/tests/e2e/test_e2e_app \
  --gtest_filter='Toolkits/DesktopRoad.*/Gtk'
echo "Screenshots of every step: $folder"
ls -1 "$folder"
