#!/usr/bin/env bash
# Configures and builds the program the leanest way the build allows: GoogleTest and Google
# Benchmark treated as missing (a fresh machine with only what scripts/play.sh installs builds no
# test or benchmark target) and the video export left out (as a cross-build without FFmpeg does,
# where --export must say so and fail). Usage: scripts/check-minimal-build.sh [build-dir]
# (default build-minimal/)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-minimal}
fail() { echo "check-minimal-build: $*" >&2; exit 1; }
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORAKKA_VIDEO_EXPORT=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >/dev/null
if cmake --build "$build" --target help | grep -Eq '(unit_tests|e2e_tests|MetaballsBench)'; then
    fail "test or benchmark targets were made without their libraries"
fi
cmake --build "$build" -j"$(nproc)" --target lumorakka
"$build/lumorakka" --version | grep -q "without video export" || fail "--version does not say the export is missing"
status=0
message=$("$build/lumorakka" --export "$build/never.mp4" 2>&1) || status=$?
[ "$status" -ne 0 ] || fail "--export succeeded in a build without video export"
grep -q "this build has no video export" <<<"$message" || fail "--export said: $message"
[ ! -e "$build/never.mp4" ] || fail "--export left a file behind"
echo "check-minimal-build: the program builds without GoogleTest, Google Benchmark and FFmpeg"
