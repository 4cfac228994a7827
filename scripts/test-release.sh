#!/usr/bin/env bash
# Checks a release folder (scripts/release.sh) as the machines it goes to will meet it:
#   1. The archive: every file is listed in SHA256SUMS and matches it, the zip beside the folder
#      holds the same files, and the info file is plain text within 80 columns.
#   2. Every ELF file in linux-x86_64/: no glibc symbol version above GLIBC_2.35 (the base of a
#      current compo machine), no C++ runtime taken from the system, and every library it needs in
#      lib/ (found through $ORIGIN) or one of the C library's, the GL/EGL/GLX driver's or X11's.
#   3. The Linux folder in a bare Debian 12 root: debootstrap --variant=minbase with only Mesa's
#      GL/EGL/GLX libraries and X11's client library, made once and kept in
#      /var/cache/lumorakka-release (LUMORAKKA_RELEASE_CACHE). The X server runs outside it, its
#      socket bound in. The show plays; an F11 capture is render_frames' frame at the time it
#      printed, within the golden-frame tolerance; Escape ends it with status 0; without
#      data/ninja.aml it names the file in its box and on standard error and exits with status 1.
#   4. The Windows folder under Wine, as scripts/test-windows.sh checks the Windows build.
#   5. web/lumorakka.html from a file: address in headless Chromium (tests/release/check_page_file.py).
# Every part runs even when an earlier one failed; the exit status is 1 when any did. It needs root
# (debootstrap, chroot and a mount namespace of its own). Outputs stay in BUILD-RELEASE/release-test.
#
# Usage: scripts/test-release.sh [RELEASE (default dist/lumorakka-VERSION)] [LINUX (default build)]
#                                [WIN (default build-windows)]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
linux=$(cd "${2:-$here/build}" && pwd)
win=$(cd "${3:-$here/build-windows}" && pwd)
if [ -n "${1:-}" ]; then
    release=$(cd "$1" && pwd)
else
    release=$here/dist/lumorakka-$("$linux/lumorakka" --version | awk '{print $2; exit}')
fi
work=$here/build-release/release-test
cache=${LUMORAKKA_RELEASE_CACHE:-/var/cache/lumorakka-release}
root=$cache/bookworm-root
root_packages=(libgl1 libegl1 libgl1-mesa-dri libglx-mesa0 libegl-mesa0 libx11-6)
title="Lumorakka by Vorkasta"

# The bare root's run (3.) and the page's check (5.) draw with Mesa on an X screen: this script
# again, under Xvfb.
if [ -n "${LUMORAKKA_RELEASE_SCREEN:-}" ]; then
    fail() {
        echo "test-release: FAIL: $*" >&2
        exit 1
    }
    source "$here/scripts/program-checks.sh"
    window_id() { xdotool search --name "$1" 2>/dev/null | head -1; }
    key() { xdotool key --window "$(window_id "$title")" "$1"; }
    cleanup() { if [ -n "${program:-}" ]; then kill "$program" 2>/dev/null || true; fi; }
    trap cleanup EXIT

    # Followed by a command, runs it in the root, in a mount namespace of its own that ends with it:
    # the X server's socket folder, /proc and /dev bound in, the server's cookie beside them. Each
    # step execs the next, so the process started is in the end the command itself.
    in_root=(unshare --mount sh -c '
        root=$1
        shift
        mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
        mount -t proc proc "$root/proc"
        mount --rbind /dev "$root/dev"
        exec chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/tmp DISPLAY="$DISPLAY" \
            XAUTHORITY=/tmp/xauthority LP_NUM_THREADS=1 "$@"' sh "$root")
    # Starts the Linux folder in the root as a viewer would, from its folder, leaving out the data
    # files named; its output goes to run-folder/stdout and stderr.
    start_program() { # run-name [data-file...]
        local name=$1
        shift
        run=$root/opt/release-test/$name
        rm -rf "$run"
        mkdir -p "$(dirname "$run")"
        cp -r "$release/linux-x86_64" "$run"
        for file in "$@"; do rm "$run/data/$file"; done
        "${in_root[@]}" /bin/sh -c "cd /opt/release-test/$name && exec ./lumorakka" >"$run/stdout" 2>"$run/stderr" &
        program=$!
    }

    if [ "${LUMORAKKA_RELEASE_SCREEN}" = root ]; then
        echo "3. The Linux folder in the bare Debian 12 root $root"
        cp "$XAUTHORITY" "$root/tmp/xauthority"
        echo "   packages: $(chroot "$root" dpkg-query -W -f='${Package}\n' | wc -l), of them asked for: ${root_packages[*]}"
        "${in_root[@]}" ldd /opt/release-test/ldd/lumorakka >"$work/ldd.txt" 2>&1 || true
        rm -rf "$root/opt/release-test/ldd"
        if grep -q "not found" "$work/ldd.txt"; then fail "libraries not found in the root: $(grep 'not found' "$work/ldd.txt")"; fi
        echo "   libraries from the folder: $(grep -c '/opt/release-test/ldd/lib/' "$work/ldd.txt"), from the root: $(grep -c '=> /lib\|=> /usr/lib' "$work/ldd.txt")"

        start=$SECONDS
        start_program show
        wait_for 120 window_shown "$title" || fail "no window within 120 s: $(tail -n 5 "$run/stderr")"
        echo "   window after $((SECONDS - start)) s"
        # Pressing until a capture comes marks the start of the show (keys pressed while it loads
        # count from its first frame).
        press_for_first_shot() {
            shots_reported "$run" 1 && return 0
            key F11
            sleep 1
            return 1
        }
        wait_for 120 press_for_first_shot || fail "the show did not start within 120 s: $(tail -n 5 "$run/stderr")"
        echo "   show started after $((SECONDS - start)) s"
        sleep 3
        # A few more captures a second or so apart, in the first scene: about half come between beats.
        for shot in 2 3 4 5 6 7 8; do
            key F11
            wait_for 30 shots_reported "$run" "$shot" || fail "F11 made no capture within 30 s"
            sleep 0.6
        done
        key Escape
        wait_for 30 program_gone || fail "Escape did not end the program"
        reap_program
        [ "$status" = 0 ] || fail "Escape ended the program with status $status: $(tail -n 5 "$run/stderr")"
        echo "   Escape ended the program with status 0"
        sed 's/^/   stdout: /' "$run/stdout"
        sed 's/^/   stderr: /' "$run/stderr"
        compare_captures "$run" "$work" "$linux"

        echo "   without data/ninja.aml:"
        start_program missing ninja.aml
        wait_for 120 window_shown '^Error$' || fail "no error box within 120 s: $(tail -n 5 "$run/stderr")"
        program_gone && fail "the program ended before the box was answered"
        xdotool key --window "$(window_id '^Error$')" Return
        wait_for 30 program_gone || fail "answering the box did not end the program"
        reap_program
        [ "$status" = 1 ] || fail "the missing model ended the program with status $status"
        message='Could not find file: "data/ninja.{aml }"!'
        grep -qxF "$message" "$run/stderr" || fail "standard error does not say '$message': $(cat "$run/stderr")"
        echo "   box shown, status 1, standard error: $message"
        exit 0
    fi
    # The page
    /usr/bin/python3 "$here/tests/release/check_page_file.py" "$release/web/lumorakka.html" "$linux/render_frames" \
        "$work/page"
    exit
fi

"$here/scripts/install-deps.sh" release
[ "$(id -u)" = 0 ] || { echo "test-release: the bare root needs root (debootstrap, chroot, mounts)" >&2; exit 1; }
[ -f "$release/SHA256SUMS" ] || { echo "No release in $release: run scripts/release.sh first." >&2; exit 1; }
cmake --build "$linux" -j2 --target render_frames compare_frames >/dev/null
rm -rf "$work"
mkdir -p "$work"
failed=()
part() { # name command...
    local name=$1 start=$SECONDS
    shift
    if "$@"; then
        echo "   $name: passed in $((SECONDS - start)) s"
    else
        echo "   $name: FAILED after $((SECONDS - start)) s"
        failed+=("$name")
    fi
}

check_archive() {
    echo "1. The archive $release"
    local listed present zipped problems=0
    (cd "$release" && sha256sum --quiet -c SHA256SUMS) || problems=1
    listed=$(sed -E 's/^[0-9a-f]{64}  //' "$release/SHA256SUMS" | LC_ALL=C sort)
    present=$(cd "$release" && find . -type f ! -path ./SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort)
    if [ "$listed" != "$present" ]; then
        echo "   SHA256SUMS does not list exactly the files present:"
        diff <(echo "$listed") <(echo "$present") | sed 's/^/   /'
        problems=1
    fi
    zipped=$(unzip -Z1 "$release.zip" | grep -v '/$' | sed "s|^$(basename "$release")/||" | LC_ALL=C sort)
    if [ "$zipped" != "$( (echo "$present"; echo SHA256SUMS) | LC_ALL=C sort)" ]; then
        echo "   $release.zip does not hold the folder's files"
        problems=1
    fi
    if LC_ALL=C grep -n '[^[:print:]]' "$release/lumorakka.nfo" | head -3 | grep .; then
        echo "   lumorakka.nfo is not plain printable text (lines above)"
        problems=1
    fi
    if awk 'length > 80 { print "   line " FNR " has " length " columns"; bad = 1 } END { exit bad }' "$release/lumorakka.nfo"; then :; else
        problems=1
    fi
    echo "   $(echo "$present" | wc -l) files, $(echo "$listed" | wc -l) listed in SHA256SUMS;" \
         "lumorakka.nfo: $(wc -l <"$release/lumorakka.nfo") lines, the longest" \
         "$(awk '{ if (length > n) n = length } END { print n }' "$release/lumorakka.nfo") columns"
    return $problems
}

check_symbols() {
    echo "2. The ELF files in linux-x86_64/"
    local file highest glibc problems=0 needed
    local allowed="libc.so.6 libm.so.6 libpthread.so.0 libdl.so.2 librt.so.1 ld-linux-x86-64.so.2 libGL.so.1
                   libEGL.so.1 libGLX.so.0 libGLdispatch.so.0 libX11.so.6 libxcb.so.1"
    while IFS= read -r file; do
        glibc=$(objdump -T "$file" | grep -o 'GLIBC_[0-9.]*' | sort -uV | tail -1)
        highest=$(printf '%s\n' "${glibc#GLIBC_}" 2.35 | sort -V | tail -1)
        echo "   ${file#$release/linux-x86_64/}: ${glibc:-no glibc symbols}, runpath $(patchelf --print-rpath "$file")"
        if [ -n "$glibc" ] && [ "$highest" != 2.35 ]; then
            echo "   ${file#$release/}: needs $glibc, above GLIBC_2.35"
            problems=1
        fi
        if objdump -T "$file" | grep -q 'GLIBCXX_\|CXXABI_'; then
            echo "   ${file#$release/}: needs the system's C++ runtime ($(objdump -T "$file" | grep -o 'GLIBCXX_[0-9.]*' | sort -uV | tail -1))"
            problems=1
        fi
        for needed in $(patchelf --print-needed "$file"); do
            [ -e "$release/linux-x86_64/lib/$needed" ] && continue
            [[ " $allowed " == *[[:space:]]"$needed"[[:space:]]* ]] && continue
            echo "   ${file#$release/}: needs $needed, which is neither in lib/ nor the C library's, GL's or X11's"
            problems=1
        done
    done < <(find "$release/linux-x86_64" -type f -exec sh -c 'head -c 4 "$1" | grep -q "^.ELF"' sh {} \; -print | sort)
    [ "$(patchelf --print-rpath "$release/linux-x86_64/lumorakka")" = '$ORIGIN/lib' ] ||
        { echo "   the program's run path is not \$ORIGIN/lib"; problems=1; }
    return $problems
}

make_root() {
    local want="bookworm minbase ${root_packages[*]}" mirror=${LUMORAKKA_DEBIAN_MIRROR:-http://deb.debian.org/debian}
    [ "$(cat "$root.made" 2>/dev/null)" = "$want" ] && return 0
    echo "   making the bare root with debootstrap from $mirror (kept for later runs)"
    mkdir -p "$cache"
    rm -rf "$root" "$root.partial" "$root.made"
    if ! debootstrap --variant=minbase --include="$(IFS=,; echo "${root_packages[*]}")" bookworm "$root.partial" \
        "$mirror" >"$cache/debootstrap.log" 2>&1; then
        tail -n 20 "$cache/debootstrap.log"
        echo "   debootstrap failed; its log is $cache/debootstrap.log"
        return 1
    fi
    mv "$root.partial" "$root"
    echo "$want" >"$root.made"
}

check_root() {
    make_root || return 1
    mkdir -p "$root/opt/release-test/ldd" "$root/tmp/.X11-unix"
    cp -r "$release/linux-x86_64/." "$root/opt/release-test/ldd/"
    chroot "$root" dpkg-query -W -f='${Package} ${Version}\n' >"$work/root-packages.txt"
    LUMORAKKA_RELEASE_SCREEN=root xvfb-run -a -s "-screen 0 800x600x24 -noreset" "$0" "$release" "$linux" "$win"
}

check_page() {
    echo "5. web/lumorakka.html from disk"
    LUMORAKKA_RELEASE_SCREEN=page xvfb-run -a -s "-screen 0 800x600x24 -noreset" "$0" "$release" "$linux" "$win"
}

part archive check_archive
part symbols check_symbols
part "bare root" check_root
echo "4. The Windows folder under Wine"
part windows "$here/scripts/test-windows.sh" "$win" "$linux" "$release/windows-x86_64"
part page check_page
if [ ${#failed[@]} -gt 0 ]; then
    echo "test-release: failed: ${failed[*]}"
    exit 1
fi
echo "test-release: all passed"
