#!/usr/bin/env bash
# Builds the demo and exports the whole show as a video with its soundtrack (MP4: H.264 and AAC);
# without a display the program draws off-screen through EGL. Usage: scripts/export.sh [FILE.mp4] [lumorakka options]
# for example scripts/export.sh show.mp4 --fps 30 --size 1920x1080. FILE defaults to
# <build>/lumorakka.mp4; the build directory is build/ or $LUMORAKKA_BUILD.
# As root it installs missing Debian packages; otherwise it prints the apt-get line and stops.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${LUMORAKKA_BUILD:-$here/build}
out=${1:-$build/lumorakka.mp4}
shift || true
# A relative FILE means from where the script was started; the program runs in the build directory.
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
"$here/scripts/install-deps.sh" export
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
status=0
./lumorakka --export "$out" "$@" || status=$?
case $status in
    0) echo "The video is at $out" ;;
    130 | 143) echo "Stopped early: the video at $out holds what was rendered until then" ;;
esac
exit $status
