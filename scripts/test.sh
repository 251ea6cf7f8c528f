#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: once in a plain build and once built
# with AddressSanitizer and UndefinedBehaviorSanitizer.
# Each build type has its own folder: build/ (Debug), build-sanitize/; scripts/run.sh and
# scripts/package.sh use build-release/.
# Usage: scripts/test.sh [--plain-only]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)

run_suite() {
    local dir=$1; shift
    # Tests need no optimisation; an unoptimised build is much quicker to compile.
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    # Unit and widget tests, and the Debian package built from this tree and checked unpacked.
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" -LE e2e
    # The end-to-end tests drive a whole headless desktop; one that fails is run once more, and
    # its first failure stays in the output.
    ctest --test-dir "$dir" --output-on-failure -L e2e --repeat until-pass:2
}

run_suite build
if [ "${1:-}" != "--plain-only" ]; then
    run_suite build-sanitize -DOVRA_SANITIZE=ON -DOVRA_BUILD_BENCH=OFF
fi
