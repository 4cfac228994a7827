#!/usr/bin/env bash
# Builds the demo for web browsers with Debian's Emscripten and gathers the page:
#   WEB/dist/   index.html, lumorakka.js, lumorakka.wasm and lumorakka.data (the data directory)
# zlib, libpng and libjpeg-turbo are compiled for WebAssembly from Debian's sources once and kept in
# WEB/deps (scripts/web-deps.sh); sound, windowing and GL are the browser's. The asset generators
# are Linux programs, so the data is the Linux build's own (the same bytes); the Linux build
# directory is configured and its assets generated when needed.
# As root it installs missing Debian packages; otherwise it prints the apt-get line and stops.
#
# Usage: scripts/build-web.sh [WEB (default build-web)] [LINUX (default build)]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
web=${1:-$here/build-web}
linux=${2:-$here/build}
jobs=2

"$here/scripts/install-deps.sh" web
mkdir -p "$web" "$linux"
web=$(cd "$web" && pwd)
linux=$(cd "$linux" && pwd)
# Debian's Emscripten finds its JavaScript modules (acorn) only there.
export NODE_PATH=/usr/share/nodejs

JOBS=$jobs "$here/scripts/web-deps.sh" "$web/deps"

echo "Generating the assets in $linux"
cmake -S "$here" -B "$linux" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$linux" -j$jobs --target data_files models pictures music

echo "Building lumorakka.wasm in $web"
emcmake cmake -S "$here" -B "$web/program" -DCMAKE_BUILD_TYPE=Release \
    -DLUMORAKKA_WEB_DEPS="$web/deps/prefix" -DLUMORAKKA_WEB_DATA="$linux/data" >/dev/null
cmake --build "$web/program" -j$jobs --target lumorakka

dist=$web/dist
rm -rf "$dist"
mkdir -p "$dist"
cp "$here/web/index.html" "$dist/"
cp "$web/program/lumorakka.js" "$web/program/lumorakka.wasm" "$web/program/lumorakka.data" "$dist/"
echo "Browser build: $dist ($(du -cb "$dist"/* | tail -1 | cut -f1) bytes:" \
     "$(cd "$dist" && for f in *; do printf '%s %s, ' "$f" "$(du -h "$f" | cut -f1)"; done | sed 's/, $//'))"
