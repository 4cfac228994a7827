#!/usr/bin/env bash
# Builds the demo and starts it. Usage: scripts/play.sh [build-dir]
# As root it installs missing Debian packages; otherwise it prints the apt-get line and stops.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
if [ -z "${DISPLAY:-}" ]; then
    echo "No display: DISPLAY is not set. Lumorakka draws to an X11 screen; run this from a desktop session" >&2
    echo "(or under an X server such as Xvfb with DISPLAY pointing at it)." >&2
    exit 1
fi
"$here/scripts/install-deps.sh" play
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
# The program opens data/... relative to its working directory: the build dir holds data/.
cd "$build"
exec ./lumorakka
