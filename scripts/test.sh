#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: once in a plain build and once built
# with AddressSanitizer and UndefinedBehaviorSanitizer; then runs every fuzz target for
# OVRA_FUZZ_SECONDS (60) on its seed corpus.
# After the plain build, the same tree is built plainly in a Debian 13 root (scripts/debian13-root.sh,
# made on the first run and reused after) and its unit and widget suites, its Debian package and
# the Wayland suites on today's desktops (GNOME Shell 48, KWin 6) run there.
# Each build type has its own folder: build/ (Debug), build-sanitize/, build-fuzz/, and
# build-debian13/ inside the root; scripts/run.sh and scripts/package.sh use build-release/.
# Usage: scripts/test.sh [--plain-only] [--no-debian13]
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
plain_only=false
debian13=true
for option in "$@"; do
    case $option in
        --plain-only) plain_only=true ;;
        --no-debian13) debian13=false ;;
        # Inside the root (see run_debian13): its build keeps a ccache of its own between runs.
        --inside-debian13-root)
            cmake -S . -B build-debian13 -G Ninja -DCMAKE_BUILD_TYPE=Debug \
                -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DOVRA_PRECOMPILED_HEADERS=OFF >/dev/null
            cmake --build build-debian13 -j "$jobs"
            ctest --test-dir build-debian13 --output-on-failure -j "$jobs" -LE e2e
            ctest --test-dir build-debian13 --output-on-failure -L wayland --repeat until-pass:2
            exit 0
            ;;
        *) echo "usage: $0 [--plain-only] [--no-debian13]" >&2; exit 2 ;;
    esac
done

bash scripts/setup.sh

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

run_debian13() {
    local start=$SECONDS
    bash scripts/debian13-root.sh
    echo "Debian 13 root ready after $((SECONDS - start)) s"
    bash scripts/debian13-root.sh run -- bash scripts/test.sh --inside-debian13-root
    echo "Debian 13 part: $((SECONDS - start)) s"
}

run_suite build
$debian13 && run_debian13
if ! $plain_only; then
    run_suite build-sanitize -DOVRA_SANITIZE=ON -DOVRA_BUILD_BENCH=OFF
    run_fuzzers
fi
