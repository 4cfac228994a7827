#!/usr/bin/env bash
# Runs the Windows build's zip (scripts/build-windows.sh), unpacked, under Wine on its own Xvfb
# screen (800x600x24; Mesa's GL reaches Windows programs through Wine) with every Wine sound driver
# disabled, and checks what a viewer of the Windows build would meet:
#   1. The show starts, plays on the silent fallback clock, and its F11 captures, pressed a few
#      seconds in, are the pictures the Linux offline renderer (render_frames) draws at the show
#      times the program reports for them; Escape ends it with status 0.
#   2. A missing asset shows the error box; answered, the program exits with status 1.
# The Linux build directory provides render_frames and compare_frames (built when needed).
# Captures, rendered frames and logs stay in WIN/wine-test for a look afterwards.
#
# Usage: scripts/test-windows.sh [WIN (default build-windows)] [LINUX (default build)]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
win=$(cd "${1:-$here/build-windows}" && pwd)
linux=$(cd "${2:-$here/build}" && pwd)

if [ -z "${LUMORAKKA_WINE_SCREEN:-}" ]; then
    "$here/scripts/install-deps.sh" wine
    [ -f "$win/lumorakka-windows.zip" ] || {
        echo "No Windows build in $win: run scripts/build-windows.sh first." >&2
        exit 1
    }
    cmake --build "$linux" -j2 --target render_frames compare_frames >/dev/null
    # -a picks a free display number; the screen matches the demo's mode.
    exec env LUMORAKKA_WINE_SCREEN=1 xvfb-run -a -s "-screen 0 800x600x24" "$0" "$win" "$linux"
fi

work=$win/wine-test
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$win/wine-prefix WINEDEBUG=-all
# No sound driver at all: the program must fall back to its silent real-time clock.
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv,wineoss.drv=d"
title="Lumorakka by Vorkasta"
first_scene_ends=20.5 # show seconds; later scenes glow with the beat pulse as well as flashing

fail() {
    echo "test-windows: FAIL: $*" >&2
    exit 1
}
cleanup() {
    if [ -n "${program:-}" ]; then kill "$program" 2>/dev/null || true; fi
    wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

# Calls the command every half second until it succeeds or `seconds` have passed.
wait_for() { # seconds command...
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.5
    done
}
window_shown() { xdotool search --name "$1" >/dev/null 2>&1; }
program_gone() { ! kill -0 "$program" 2>/dev/null; }
# "shots/shot0000.png: show time 5.234 s, beat flash 0.00", each line ending in CR LF on Windows.
shot_lines() { tr -d '\r' <"$1/stdout" | grep -E '^shots/shot[0-9]{4}\.png: show time ' || true; }
shots_reported() { [ "$(shot_lines "$1" | wc -l)" -ge "$2" ]; }

# Starts the program from the zip, unpacked as a viewer would (captures land in its shots/),
# leaving out the data files named.
start_program() { # run-folder [data-file...]
    local folder=$1
    shift
    rm -rf "$folder" "$folder.unzipped"
    unzip -q "$win/lumorakka-windows.zip" -d "$folder.unzipped"
    mv "$folder.unzipped/lumorakka" "$folder"
    rmdir "$folder.unzipped"
    for file in "$@"; do rm "$folder/data/$file"; done
    (cd "$folder" && exec wine lumorakka.exe >"$folder/stdout" 2>"$folder/stderr") &
    program=$!
}
# Sets `status` to the ended program's exit status.
reap_program() {
    status=0
    wait "$program" || status=$?
    program=""
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

# Frames without the beat flash, in the first scene: there the picture depends on the time alone.
times=()
shots=()
while IFS= read -r line; do
    read -r shot time flash < <(sed -E 's/^(.*): show time ([0-9.]+) s, beat flash ([0-9.]+)$/\1 \2 \3/' <<<"$line")
    if [ "$flash" = 0.00 ] && awk -v t="$time" -v end=$first_scene_ends 'BEGIN { exit !(t < end) }'; then
        times+=("$time")
        shots+=("$shot")
    fi
done < <(shot_lines "$run")
[ ${#times[@]} -gt 0 ] || fail "every capture shows the beat flash"
(cd "$linux" && ./render_frames --out "$work/rendered" "${times[@]}") >"$work/rendered.txt" ||
    fail "render_frames failed"
compared=0
i=0
while read -r time frame _ _ flash; do
    shot=${shots[$i]}
    i=$((i + 1))
    if [ "$flash" != 0.00 ]; then
        echo "   $shot at $time s: the renderer's frame has the beat flash ($flash); not compared"
        continue
    fi
    if ! figures=$("$linux/tests/compare_frames" "$frame" "$run/$shot"); then
        fail "$shot at $time s is not the renderer's frame: $figures"
    fi
    echo "   $shot at $time s: $figures"
    compared=$((compared + 1))
done <"$work/rendered.txt"
[ $compared -gt 0 ] || fail "no capture could be compared"
echo "   $compared captures match the renderer's frames"

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
