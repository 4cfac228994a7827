#!/usr/bin/env bash
# Frames per second of the real program over the whole show, per scene and per sequence row, with
# its start-up times and peak memory. In each round every build directory's `lumorakka` plays the
# show at the same time as the others, each on its own Xvfb (800 x 600) and SDL's silent audio
# driver, with Mesa's software rasteriser on one thread (LP_NUM_THREADS, --threads to change it),
# so the builds meet the same load: on a shared machine whose speed drifts over minutes, runs one
# after the other compare the moments more than the builds. Prints one line per run, the medians
# per build, and each build's medians over the first build's.
#
#   bench/show-fps.sh [--rounds N] [--threads N] [--rows I,J,...] BUILD_DIR...
#
# Demo time is taken as the wall time since the music started (the silent driver keeps real
# time), and each frame counts for the row in which it started. "cpu-ms" is the process's CPU
# time per frame over the scene, all renderer threads together: builds running together share the
# processors, so compare them by it; frames per second follow how the processors were shared.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rounds=3
threads=1
rows=""
while [ $# -ge 2 ]; do
    case $1 in
    --rounds) rounds=$2 ;;
    --threads) threads=$2 ;;
    --rows) rows=$2 ;;
    *) break ;;
    esac
    shift 2
done
[ $# -ge 1 ] || { echo "usage: $0 [--rounds N] [--threads N] [--rows I,J,...] BUILD_DIR..." >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc -O2 -shared -fPIC -o "$work/ShowTiming.so" "$here/ShowTiming.c" -ldl

# One run's records -> one line of figures. The slowest row is the one with the most CPU time per
# frame (of those with three frames or more); --rows adds the figures of the rows named.
summarise() {
    awk -v rowSeconds=3.6923076923076925 -v named="$rows" '
    $1 == "start" { start = $2 }
    $1 == "music" { music = $2 }
    $1 == "swap" {
        if (!music) { if (!firstLoading) firstLoading = $2; next }
        if (!firstFrame) { firstFrame = $2; lastWall = $2; lastCpu = $3; next }
        t = lastWall - music
        scene = t < 20.5 ? 1 : (t < 30.4 ? 2 : 3)
        frames[scene]++; wall[scene] += $2 - lastWall; cpu[scene] += $3 - lastCpu
        allFrames++; allWall += $2 - lastWall; allCpu += $3 - lastCpu
        if (scene == 3) {
            row = int((t - 30.4) / rowSeconds)
            rowFrames[row]++; rowWall[row] += $2 - lastWall; rowCpu[row] += $3 - lastCpu
        }
        lastWall = $2; lastCpu = $3
    }
    $1 == "peak-rss-kib" { peak = $2 }
    END {
        slowest = -1
        for (row in rowFrames)
            if (rowFrames[row] >= 3 && (slowest < 0 || rowCpu[row] / rowFrames[row] > slowestCpu)) {
                slowest = row; slowestCpu = rowCpu[row] / rowFrames[row]
            }
        printf "loading-screen %.3f first-frame %.3f", firstLoading - start, firstFrame - start
        for (s = 1; s <= 3; s++)
            printf " scene%d-fps %.2f scene%d-cpu-ms %.1f", s, frames[s] / wall[s], s, 1000 * cpu[s] / frames[s]
        printf " show-fps %.2f show-cpu-ms %.1f", allFrames / allWall, 1000 * allCpu / allFrames
        printf " slowest-row %d slowest-row-fps %.2f slowest-row-cpu-ms %.1f", slowest,
            rowFrames[slowest] / rowWall[slowest], 1000 * slowestCpu
        n = split(named, list, ",")
        for (i = 1; i <= n; i++) {
            row = list[i]
            if (rowFrames[row] > 0)
                printf " row%d-fps %.2f row%d-cpu-ms %.1f", row, rowFrames[row] / rowWall[row], row,
                    1000 * rowCpu[row] / rowFrames[row]
        }
        printf " peak-mib %.1f\n", peak / 1024
    }' "$1"
}

for ((round = 1; round <= rounds; ++round)); do
    # The one started first has the processors to itself for a moment: every other round starts
    # the builds in the reverse order.
    order=("$@")
    if ((round % 2 == 0)); then
        order=()
        for build in "$@"; do order=("$build" "${order[@]}"); done
    fi
    for build in "${order[@]}"; do
        name=$(cd "$build" && pwd)
        out="$work/run-$round-$(echo "$name" | tr / _)"
        # -a picks a free display for each; they start a moment apart so they don't race for one.
        (cd "$build" && xvfb-run -a -s "-screen 0 800x600x24" env SDL_AUDIODRIVER=dummy \
            LP_NUM_THREADS="$threads" LD_PRELOAD="$work/ShowTiming.so" SHOW_TIMING_OUT="$out" \
            ./lumorakka >/dev/null 2>&1) &
        sleep 1
    done
    wait
    for build in "$@"; do
        name=$(cd "$build" && pwd)
        out="$work/run-$round-$(echo "$name" | tr / _)"
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
    }' "$lines" | tee -a "$work/medians"
done

# Each later build's medians over the first's: above 1 for CPU time means more work per frame.
first=$(cd "$1" && pwd)
[ $# -ge 2 ] || exit 0
echo
echo "over $first:"
for build in "${@:2}"; do
    name=$(cd "$build" && pwd)
    grep -h "^$first:" "$work/medians" | sed "s|^$first:||" >"$work/first"
    grep -h "^$name:" "$work/medians" | sed "s|^$name:||" >"$work/other"
    [ -s "$work/first" ] && [ -s "$work/other" ] || continue
    paste -d'\n' "$work/first" "$work/other" | awk -v name="$name" '
    NR == 1 { for (i = 1; i <= NF; i += 2) base[i] = $(i + 1) }
    NR == 2 {
        printf "%s:", name
        for (i = 1; i <= NF; i += 2)
            if ($i != "slowest-row" && base[i] > 0) printf " %s %.3f", $i, $(i + 1) / base[i]
        printf "\n"
    }'
done
