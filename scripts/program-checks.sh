# Sourced by test-windows.sh and test-release.sh, which run the program as a viewer would: waiting
# for it, and its F11 captures beside the frames the Linux offline renderer (render_frames) draws
# at the show times the program printed for them, compared with the golden-frame test's tolerance
# (tests/compare_frames). The caller keeps the program's process id in `program`.
#
# Only captures of the first scene without the beat flash, in the program and in the renderer, are
# compared: the flash depends on when earlier frames counted the beat, 60 times a second in the
# renderer and at the program's own frame rate elsewhere, and later scenes glow with the beat
# pulse as well as flashing.

first_scene_ends=20.5 # show seconds

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
# Sets `status` to the ended program's exit status.
reap_program() {
    status=0
    wait "$program" || status=$?
    program=""
}

# "shots/shot0000.png: show time 5.234 s, beat flash 0.00", each line ending in CR LF on Windows.
shot_lines() { tr -d '\r' <"$1/stdout" | grep -E '^shots/shot[0-9]{4}\.png: show time ' || true; }
shots_reported() { [ "$(shot_lines "$1" | wc -l)" -ge "$2" ]; }

# Compares the captures listed in RUN/stdout, lying in RUN/shots/, with the renderer's frames drawn
# into WORK/rendered; prints a line for each. Calls `fail` (the caller's) at the first that differs,
# when every capture shows the beat flash, or when none could be compared.
compare_captures() { # run-folder work-folder linux-build
    local run=$1 work=$2 linux=$3 line shot time flash frame figures compared=0 i=0
    local times=() shots=()
    # Frames without the beat flash, in the first scene: there the picture depends on the time alone.
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
}
