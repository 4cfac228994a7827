#!/usr/bin/env bash
# Checks the browser build (scripts/build-web.sh) in headless Chromium with SwiftShader's WebGL 2,
# driven through the DevTools protocol (tests/web/check_page.py):
#   - the page loads its data and the program without console errors, starts on a click, and over
#     10 s of play the show's clock keeps to the sound heard within 50 ms;
#   - its stills (`?still#t=...`) at twelve show times between beats, across the three scenes, match
#     the Linux offline renderer's frames (render_frames) with a PSNR of at least 30 dB;
#   - every time at or past the end of the show, for play and for stills, shows the end card at once;
#     "Play again" plays from 0 with its sound, whatever was paused or pressed before;
#   - a data package missing, cut short or from another build is named as such;
#   - serve-web.sh refuses bad and taken ports in one line, names the port it serves, serves only
#     its folder's own files and ends quietly on Ctrl-C; web-deps.sh names a failed download; the
#     build packs its data whole from a path with spaces (tests/web/check_scripts.py).
# It prints the browser's frame rate beside the Linux renderer's (scene 1, render_frames --bench).
# Stills, rendered frames, screenshots and Chromium's logs stay in WEB/web-test.
#
# Usage: scripts/test-web.sh [WEB (default build-web)] [LINUX (default build)]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
web=$(cd "${1:-$here/build-web}" && pwd)
linux=$(cd "${2:-$here/build}" && pwd)

if [ -z "${LUMORAKKA_WEB_SCREEN:-}" ]; then
    "$here/scripts/install-deps.sh" browser
    [ -f "$web/dist/index.html" ] || {
        echo "No browser build in $web: run scripts/build-web.sh first." >&2
        exit 1
    }
    cmake --build "$linux" -j2 --target render_frames >/dev/null
    # render_frames draws with Mesa on an X screen; Chromium runs headless beside it.
    exec env LUMORAKKA_WEB_SCREEN=1 xvfb-run -a -s "-screen 0 800x600x24 -noreset" "$0" "$web" "$linux"
fi

work=$web/web-test
rm -rf "$work"
mkdir -p "$work"
status=0
/usr/bin/python3 "$here/tests/web/check_page.py" "$web/dist" "$linux/render_frames" "$work" || status=1
/usr/bin/python3 "$here/tests/web/check_scripts.py" "$web" "$work/scripts" || status=1
native=$(cd "$linux" && ./render_frames --bench 60 | grep '^scene 1' || true)
echo "frame rate of the Linux renderer (Mesa llvmpipe, render_frames --bench 60): ${native:-not measured}"
echo "download: $(du -cb "$web"/dist/* | tail -1 | cut -f1) bytes ($(cd "$web/dist" && ls | tr '\n' ' '))"
exit $status
