#!/usr/bin/env bash
# Runs the Windows build's zip (scripts/build-windows.sh), unpacked, under Wine on its own Xvfb
# screen (800x600x24; Mesa's GL reaches Windows programs through Wine) with every Wine sound driver
# disabled, and checks what a viewer of the Windows build would meet:
#   1. The show starts, plays on the silent fallback clock, and its F11 captures, pressed a few
#      seconds in, are the pictures the Linux offline renderer (render_frames) draws at the show
#      times the program reports for them; Escape ends it with status 0.
#   2. A missing asset shows the error box; answered, the program exits with status 1.
# FOLDER, when given, is an unpacked Windows folder to run instead of the zip (the release's).
# The Linux build directory provides render_frames and compare_frames (built when needed).
# Captures, rendered frames and logs stay in WIN/wine-test (WIN/wine-test-folder for a folder) for a
# look afterwards.
#
# Usage: scripts/test-windows.sh [WIN (default build-windows)] [LINUX (default build)] [FOLDER]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
win=$(cd "${1:-$here/build-windows}" && pwd)
linux=$(cd "${2:-$here/build}" && pwd)
given=${3:+$(cd "$3" && pwd)}

if [ -z "${LUMORAKKA_WINE_SCREEN:-}" ]; then
    "$here/scripts/install-deps.sh" wine
    [ -n "$given" ] || [ -f "$win/lumorakka-windows.zip" ] || {
        echo "No Windows build in $win: run scripts/build-windows.sh first." >&2
        exit 1
    }
    cmake --build "$linux" -j2 --target render_frames compare_frames >/dev/null
    # -a picks a free display number; the screen matches the demo's mode.
    exec env LUMORAKKA_WINE_SCREEN=1 xvfb-run -a -s "-screen 0 800x600x24" "$0" "$win" "$linux" ${given:+"$given"}
fi

# A folder given is checked beside the zip's last check, not over it.
work=$win/wine-test${given:+-folder}
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$win/wine-prefix WINEDEBUG=-all
# No sound driver at all: the program must fall back to its silent real-time clock.
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv,wineoss.drv=d"
title="Lumorakka by Vorkasta"
source "$here/scripts/program-checks.sh"

fail() {
    echo "test-windows: FAIL: $*" >&2
    exit 1
}
cleanup() {
    if [ -n "${program:-}" ]; then kill "$program" 2>/dev/null || true; fi
    wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

# Starts the program from the zip, unpacked as a viewer would (or from the folder given), with its
# captures in its shots/, leaving out the data files named.
start_program() { # run-folder [data-file...]
    local folder=$1
    shift
    rm -rf "$folder" "$folder.unzipped"
    if [ -n "$given" ]; then
        cp -r "$given" "$folder"
    else
        unzip -q "$win/lumorakka-windows.zip" -d "$folder.unzipped"
        mv "$folder.unzipped/lumorakka" "$folder"
        rmdir "$folder.unzipped"
    fi
    for file in "$@"; do rm "$folder/data/$file"; done
    (cd "$folder" && exec wine lumorakka.exe >"$folder/stdout" 2>"$folder/stderr") &
    program=$!
}

if [ ! -e "$WINEPREFIX/system.reg" ]; then
    echo "Making the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1
fi

echo "1. The show under Wine, captured with F11 and compared with the Linux renderer"
run=$work/show
start=$SECONDS
start_program "$run"
wait_for 240 window_shown "$title" || fail "no window within 240 s: $(tail -n 5 "$run/stderr")"
echo "   window after $((SECONDS - start)) s"
# A key pressed while the window is still being mapped can be lost; one pressed while the show loads
# arrives with its first frame. Pressing until a capture comes marks the start of the show.
press_for_first_shot() {
    shots_reported "$run" 1 && return 0
    xdotool key F11
    sleep 2
    return 1
}
wait_for 240 press_for_first_shot || fail "the show did not start within 240 s: $(tail -n 5 "$run/stderr")"
echo "   show started after $((SECONDS - start)) s"
sleep 3
# One press per frame at most counts, and a frame may take a second or more here: each press waits
# for its capture. About half the captures compare (no flash here, none in the renderer's frame),
# so take up to 16, as long as the first scene lasts.
last_time() { shot_lines "$run" | tail -n 1 | sed -E 's/.*show time ([0-9.]+) s.*/\1/'; }
for shot in $(seq 2 17); do
    awk -v t="$(last_time)" 'BEGIN { exit !(t < 18) }' || break
    xdotool key F11
    wait_for 60 shots_reported "$run" "$shot" || fail "F11 made no capture within 60 s"
done
xdotool key Escape
wait_for 30 program_gone || fail "Escape did not end the program"
reap_program
[ "$status" = 0 ] || fail "Escape ended the program with status $status"
grep -q "No audio device (.*): the music runs silently in real time." "$run/stderr" ||
    fail "no silent fallback reported: $(cat "$run/stderr")"
shot_lines "$run" | sed 's/^/   /'

compare_captures "$run" "$work" "$linux"

echo "2. A missing asset under Wine: the error box, then status 1"
run=$work/missing
start_program "$run" ninja.aml
wait_for 240 window_shown '^Error$' || fail "no error box within 240 s: $(tail -n 5 "$run/stderr")"
import -window root "$work/error-box.png"
program_gone && fail "the program ended before the box was answered"
xdotool key Return
wait_for 30 program_gone || fail "answering the box did not end the program"
reap_program
[ "$status" = 1 ] || fail "the missing asset ended the program with status $status"
message='Could not find file: "data/ninja.{aml }"!'
tr -d '\r' <"$run/stderr" | grep -qxF "$message" || fail "standard error does not say '$message': $(cat "$run/stderr")"
echo "   box shown, status 1, standard error: $message"
echo "test-windows: all passed"
