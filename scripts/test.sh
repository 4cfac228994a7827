#!/usr/bin/env bash
# Builds everything and runs every test tier. GL and end-to-end tests need an X display; without
# one the suite runs under Xvfb. Usage: scripts/test.sh [build-dir] [extra ctest arguments]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh" test
build=${1:-$here/build}
shift || true
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORAKKA_REQUIRE_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
run=(ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@")
if [ -n "${DISPLAY:-}" ]; then
    "${run[@]}"
else
    # -a picks a free display number; the screen matches the demo's mode.
    xvfb-run -a -s "-screen 0 800x600x24" "${run[@]}"
fi
