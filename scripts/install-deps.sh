#!/usr/bin/env bash
# Installs the Debian packages the build needs ("play"), the build and a headless video export
# ("export": Mesa's software renderer, off-screen), the build and the tests ("test"), the Windows cross
# build ("windows"), or the Windows build and its run under Wine beside the Linux renderer and the
# tests' frame comparison ("wine"), the browser build ("web"), or the browser build and its run in
# headless Chromium beside the Linux renderer ("browser"), or all of these with what the release
# and its check add: the released program's own libraries, its screenshot and capture, and a bare
# Debian root to run it in ("release").
# As root it installs what is missing; otherwise it prints the apt-get line and stops.
set -euo pipefail
build=(cmake g++ make pkg-config libsdl2-dev libglew-dev libglu1-mesa-dev libegl-dev libx11-dev libpng-dev libjpeg62-turbo-dev
       libvorbis-dev libogg-dev zlib1g-dev libfreetype-dev fonts-dejavu-core
       libmeshoptimizer-dev libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev)
# The GL route's tier draws through GL ES 3 (Mesa's, through EGL), with GLM's matrices.
route=(libgles-dev libglm-dev)
# An export without an X display draws through EGL on Mesa's surfaceless platform.
headless=(libgl1-mesa-dri libegl-mesa0)
tests=(libgtest-dev libbenchmark-dev xvfb xauth x11-utils xdotool imagemagick sox libgl1-mesa-dri libegl-mesa0
       xserver-xorg-core xserver-xorg-video-dummy clang libclang-rt-14-dev)
windows=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix dpkg-dev zip)
wine=(wine64 unzip)
web=(emscripten dpkg-dev)
browser=(chromium python3-websocket python3-numpy python3-pil)
release=(patchelf ffmpeg debootstrap)
wanted=("${build[@]}")
case "${1:-play}" in
    play) ;;
    export) wanted+=("${headless[@]}") ;;
    test) wanted+=("${tests[@]}" "${route[@]}") ;;
    windows) wanted+=("${windows[@]}") ;;
    wine) wanted+=("${tests[@]}" "${route[@]}" "${windows[@]}" "${wine[@]}") ;;
    web) wanted+=("${web[@]}" libglm-dev) ;;
    browser) wanted+=("${tests[@]}" "${route[@]}" "${web[@]}" "${browser[@]}") ;;
    release) wanted+=("${headless[@]}" "${tests[@]}" "${route[@]}" "${windows[@]}" "${wine[@]}" "${web[@]}"
                      "${browser[@]}" "${release[@]}") ;;
    *) echo "usage: scripts/install-deps.sh [play|export|test|windows|wine|web|browser|release]" >&2; exit 2 ;;
esac
missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
line="apt-get install -y ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Install them as root with:" >&2
    echo "  apt-get update && $line" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
$line
