#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: once in a plain build and once built
# with AddressSanitizer and UndefinedBehaviorSanitizer; then runs every fuzz target for
# OVRA_FUZZ_SECONDS (60) on its seed corpus.
# Each build type has its own folder: build/ (Debug), build-sanitize/, build-fuzz/; scripts/run.sh
# and scripts/package.sh use build-release/.
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

run_fuzzers() {
    if ! command -v clang++ >/dev/null; then
        echo "clang++ is missing: the fuzz targets are skipped"
        return 0
    fi
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
        -DOVRA_FUZZ=ON -DOVRA_BUILD_TESTS=OFF -DOVRA_BUILD_BENCH=OFF >/dev/null
    cmake --build build-fuzz -j "$jobs" --target ovra_fuzzers
    local seeds name work status
    for seeds in fuzz/corpus/*/; do
        name=$(basename "$seeds")
        # New inputs go to a scratch folder; the committed seeds stay as they are.
        work=$(mktemp -d)
        status=0
        "build-fuzz/fuzz/fuzz_$name" -max_total_time="${OVRA_FUZZ_SECONDS:-60}" \
            -print_final_stats=1 "$work" "$seeds" >"$work.log" 2>&1 || status=$?
        if [ "$status" -ne 0 ]; then
            tail -n 60 "$work.log"
            echo "fuzz_$name found a failure"
            return 1
        fi
        echo "fuzz_$name: $(grep -E '^stat::number_of_executed_units' "$work.log")"
        rm -rf "$work" "$work.log"
    done
}

run_suite build
if [ "${1:-}" != "--plain-only" ]; then
    run_suite build-sanitize -DOVRA_SANITIZE=ON -DOVRA_BUILD_BENCH=OFF
    run_fuzzers
fi
