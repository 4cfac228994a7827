#!/usr/bin/env bash
# Builds the demo and exports the whole show as a video with its soundtrack (MP4: H.264 and AAC),
# under Xvfb when there is no display. Usage: scripts/export.sh [FILE.mp4] [lumorakka options]
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
run=(./lumorakka --export "$out" "$@")
status=0
if [ -n "${DISPLAY:-}" ]; then
    "${run[@]}" || status=$?
else
    # The program renders through GL on an X display even when it shows nothing: an Xvfb of its
    # own, in a session of its own, so that Ctrl-C reaches the export (which then finishes its file)
    # and not the display it is still drawing on.
    number=$(mktemp)
    setsid Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$number" 2>/dev/null &
    server=$!
    trap 'kill "$server" 2>/dev/null; rm -f "$number"' EXIT
    for _ in $(seq 100); do
        [ -s "$number" ] && break
        sleep 0.1
    done
    [ -s "$number" ] || { echo "export.sh: Xvfb did not start" >&2; exit 1; }
    DISPLAY=":$(cat "$number")" "${run[@]}" || status=$?
fi
case $status in
    0) echo "The video is at $out" ;;
    130 | 143) echo "Stopped early: the video at $out holds what was rendered until then" ;;
esac
exit $status
