#!/usr/bin/env bash
# The sanitizer tier, in a build directory of its own: clang with AddressSanitizer and UBSan on the
# engine, the unit and GL tiers (the GL route's unit tests among them), then each fuzz target for a
# while (30 s unless given). Every sanitizer report ends its process (leaks at exit included), so it
# fails its test or target.
# Needs the test packages (scripts/test.sh installs them, clang included).
#
#   scripts/test-sanitize.sh [build-dir] [fuzz seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=$(realpath -m "${1:-build-sanitize}")
seconds=${2:-30}
CC=clang CXX=clang++ cmake -S . -B "$sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORAKKA_SANITIZE=ON >/dev/null
cmake --build "$sanitize" -j"$(nproc)" --target unit_tests route_unit_tests gl_tests render_frames data_files models pictures
# LeakSanitizer stops every thread of a test that ends to look for leaks; a rasterizer thread of
# llvmpipe's caught as a short GL test exits can crash its tracer ("Tracer caught signal 11") and
# fail a test that passed. Here llvmpipe rasterizes on the calling thread: the same pictures.
LP_NUM_THREADS=0 xvfb-run -a -s "-screen 0 800x600x24 -noreset" \
    ctest --test-dir "$sanitize" --output-on-failure -j"$(nproc)" -L 'unit|gl'
scripts/fuzz.sh "$seconds" "$sanitize"
