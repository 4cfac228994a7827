#!/usr/bin/env bash
# Builds the demo and starts it. Usage: scripts/play.sh [build-dir]
# Without a display it exports the show as a video instead (scripts/export.sh).
# As root it installs missing Debian packages; otherwise it prints the apt-get line and stops.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
if [ -z "${DISPLAY:-}" ]; then
    echo "No display (DISPLAY is not set): exporting the show as a video instead of playing it." >&2
    LUMORAKKA_BUILD=$build exec "$here/scripts/export.sh"
fi
"$here/scripts/install-deps.sh" play
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
# The program opens data/... relative to its working directory: the build dir holds data/.
cd "$build"
exec ./lumorakka
