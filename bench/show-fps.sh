#!/usr/bin/env bash
# Frames per second of the real program over the whole show, per scene and per sequence row, with
# its start-up times and peak memory. Each build directory's `lumorakka` plays the show once per
# round on SDL's silent audio driver under Xvfb (800 x 600); rounds alternate the builds so that
# they share the machine's load alike. Prints one line per run and the medians per build.
#
#   bench/show-fps.sh [--rounds N] BUILD_DIR...
#
# Demo time is taken as the wall time since the music started (the silent driver keeps real
# time), and each frame counts for the row in which it started. "cpu ms" is the process's CPU
# time per frame over the scene, all renderer threads together: it moves less than frames per
# second when other work shares the machine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rounds=3
if [ "${1:-}" = "--rounds" ]; then
    rounds=$2
    shift 2
fi
[ $# -ge 1 ] || { echo "usage: $0 [--rounds N] BUILD_DIR..." >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc -O2 -shared -fPIC -o "$work/ShowTiming.so" "$here/ShowTiming.c" -ldl

# One run's records -> one line of figures.
summarise() {
    awk -v rowSeconds=3.6923076923076925 '
    $1 == "start" { start = $2 }
    $1 == "music" { music = $2 }
    $1 == "swap" {
        if (!music) { if (!firstLoading) firstLoading = $2; next }
        if (!firstFrame) { firstFrame = $2; lastWall = $2; lastCpu = $3; next }
        t = lastWall - music
        scene = t < 20.5 ? 1 : (t < 30.4 ? 2 : 3)
        frames[scene]++; wall[scene] += $2 - lastWall; cpu[scene] += $3 - lastCpu
        allFrames++; allWall += $2 - lastWall
        if (scene == 3) { row = int((t - 30.4) / rowSeconds); rowFrames[row]++; rowWall[row] += $2 - lastWall }
        lastWall = $2; lastCpu = $3
    }
    $1 == "peak-rss-kib" { peak = $2 }
    END {
        slowest = -1
        for (row in rowFrames)
            if (rowFrames[row] >= 3 && (slowest < 0 || rowFrames[row] / rowWall[row] < slowestFps)) {
                slowest = row; slowestFps = rowFrames[row] / rowWall[row]
            }
        printf "loading-screen %.3f first-frame %.3f", firstLoading - start, firstFrame - start
        for (s = 1; s <= 3; s++)
            printf " scene%d-fps %.2f scene%d-cpu-ms %.1f", s, frames[s] / wall[s], s, 1000 * cpu[s] / frames[s]
        printf " show-fps %.2f slowest-row %d slowest-row-fps %.2f peak-mib %.1f\n",
            allFrames / allWall, slowest, slowestFps, peak / 1024
    }' "$1"
}

for ((round = 1; round <= rounds; ++round)); do
    for build in "$@"; do
        name=$(cd "$build" && pwd)
        out="$work/run-$round-$(echo "$name" | tr / _)"
        (cd "$build" && xvfb-run -a -s "-screen 0 800x600x24" env SDL_AUDIODRIVER=dummy \
            LD_PRELOAD="$work/ShowTiming.so" SHOW_TIMING_OUT="$out" ./lumorakka >/dev/null 2>&1) || true
        if [ ! -s "$out" ]; then
            echo "$name round $round: no timing records (did the show run to its end?)" >&2
            continue
        fi
        line=$(summarise "$out")
        echo "$name round $round: $line"
        echo "$line" >>"$work/lines-$(echo "$name" | tr / _)"
    done
done

echo
echo "medians over $rounds rounds:"
for build in "$@"; do
    name=$(cd "$build" && pwd)
    lines="$work/lines-$(echo "$name" | tr / _)"
    [ -s "$lines" ] || continue
    # Field by field: the median of each figure over the runs.
    awk -v name="$name" '
    { for (i = 1; i <= NF; i += 2) { key[i] = $i; value[i, NR] = $(i + 1) } fields = NF; runs = NR }
    END {
        printf "%s:", name
        for (i = 1; i <= fields; i += 2) {
            n = 0
            for (r = 1; r <= runs; r++) v[++n] = value[i, r]
            for (a = 1; a <= n; a++) for (b = a + 1; b <= n; b++) if (v[b] < v[a]) { x = v[a]; v[a] = v[b]; v[b] = x }
            median = n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
            if (key[i] == "slowest-row") {
                # Row numbers have no median: list them.
                median = value[i, 1]
                for (r = 2; r <= runs; r++) median = median "," value[i, r]
            }
            printf " %s %s", key[i], median
        }
        printf "\n"
    }' "$lines"
done
