#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with clang and runs each for a while, seeded from the
# generated assets in <build-dir>/data and the small files in fuzz/seeds/. Installs clang and its fuzzing runtime with the other test
# packages when run as root (otherwise prints the apt-get line and stops). New corpus entries stay
# in <build-dir>/fuzz/corpus; crash, leak and timeout inputs are kept in fuzz/crashes/<target>/,
# which git ignores.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [build-dir, default build-fuzz]
# Exits non-zero when any target found something.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${2:-$here/build-fuzz}

# clang and its fuzzing runtime are among the test packages.
"$here/scripts/install-deps.sh" test
if [ ! -e "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-x86_64.a" ]; then
    echo "clang++ has no fuzzing runtime (libclang_rt.fuzzer); install libclang-rt-14-dev." >&2
    exit 1
fi

# The build directory must be a clang one; an existing one made with another compiler is refused.
if [ -f "$build/CMakeCache.txt" ] && ! grep -q "CMAKE_CXX_COMPILER:[A-Z]*=.*clang++" "$build/CMakeCache.txt"; then
    echo "$build was configured with another compiler than clang++; give another build directory." >&2
    exit 1
fi
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# The targets, and the assets the seeds come from.
cmake --build "$build" -j"$(nproc)" --target fuzz_targets data_files models pictures

data=$build/data
seeds_for() {
    case $1 in
    aml | resdesc) echo "$data"/*.aml "$data"/*.AML ;;
    material) echo "$data"/materials/*.mat ;;
    shader) echo "$data"/shaders/* "$data"/materials/*.mat ;;
    png) echo "$data"/*.png ;;
    jpeg) echo "$data"/*.jpg ;;
    # The show's own music is megabytes: the small seeds get further in the time.
    ogg) ;;
    esac
}

failed=()
for target in aml resdesc material png jpeg ogg shader; do
    corpus=$build/fuzz/corpus/$target
    seeds=$build/fuzz/seeds/$target
    crashes=$here/fuzz/crashes/$target
    mkdir -p "$corpus" "$seeds" "$crashes"
    # shellcheck disable=SC2046
    cp -f $(seeds_for "$target") "$seeds"/ 2>/dev/null || true
    # Small hand-made files of the layouts the assets don't use get the mutations going sooner.
    [ -d "$here/fuzz/seeds/$target" ] && cp -f "$here/fuzz/seeds/$target"/* "$seeds"/
    echo "== fuzz_$target for $seconds s"
    # stderr of the readers (libpng's and libjpeg's own lines) is closed; libFuzzer and the
    # sanitizers still report on a copy of it.
    if ! LSAN_OPTIONS="suppressions=$here/fuzz/lsan-suppressions.txt:print_suppressions=0" \
        "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -close_fd_mask=2 -print_final_stats=1 -artifact_prefix="$crashes/" "$corpus" "$seeds"; then
        failed+=("$target")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzing found faults in: ${failed[*]}; the inputs are in fuzz/crashes/." >&2
    exit 1
fi
