#!/usr/bin/env bash
# Cross-builds the demo for 64-bit Windows with MinGW-w64 and packs it:
#   WIN/dist/                   lumorakka.exe, the DLLs it loads, and data/
#   WIN/lumorakka-windows.zip   the same, in a folder named lumorakka
# The libraries are built from Debian's sources once and kept in WIN/deps (scripts/windows-deps.sh).
# The asset generators are Linux programs, so data/ is the Linux build's own (the same bytes); the
# Linux build directory is configured and its assets generated when needed.
# As root it installs missing Debian packages; otherwise it prints the apt-get line and stops.
#
# Usage: scripts/build-windows.sh [WIN (default build-windows)] [LINUX (default build)]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
win=${1:-$here/build-windows}
linux=${2:-$here/build}
jobs=2
triple=x86_64-w64-mingw32

"$here/scripts/install-deps.sh" windows
mkdir -p "$win" "$linux"
win=$(cd "$win" && pwd)
linux=$(cd "$linux" && pwd)

JOBS=$jobs "$here/scripts/windows-deps.sh" "$win/deps"
prefix=$win/deps/prefix

echo "Generating the assets in $linux"
cmake -S "$here" -B "$linux" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$linux" -j$jobs --target data_files models pictures music

echo "Cross-building lumorakka.exe in $win"
# No FFmpeg for Windows here: the program says --export is not in this build.
cmake -S "$here" -B "$win" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
    -DLUMORAKKA_DEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORAKKA_VIDEO_EXPORT=OFF >/dev/null
cmake --build "$win" -j$jobs --target lumorakka

dist=$win/dist
rm -rf "$dist"
mkdir -p "$dist"
# The build keeps its debug information; the shipped program goes without.
$triple-strip -o "$dist/lumorakka.exe" "$win/lumorakka.exe"

# Every DLL the program loads, directly or through another DLL, that is not part of Windows: the
# libraries from the prefix and MinGW's C++ runtime, stripped as the program is.
windows_dlls=(advapi32.dll gdi32.dll glu32.dll imm32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll
              opengl32.dll setupapi.dll shell32.dll user32.dll version.dll winmm.dll)
# Case-blind, and without a pipe: under pipefail an early-exiting grep could fail its printf.
is_windows_dll() { local d; for d in "${windows_dlls[@]}"; do [ "${d,,}" = "${1,,}" ] && return 0; done; return 1; }
runtime_dir() { dirname "$($triple-g++-posix -print-file-name="$1")"; }
search=("$prefix/bin" "$(runtime_dir libstdc++-6.dll)" "$(runtime_dir libwinpthread-1.dll)")
queue=("$dist/lumorakka.exe")
while [ ${#queue[@]} -gt 0 ]; do
    module=${queue[0]}
    queue=("${queue[@]:1}")
    for dll in $($triple-objdump -p "$module" | awk '/DLL Name:/ {print $3}'); do
        [ -e "$dist/$dll" ] && continue
        is_windows_dll "$dll" && continue
        found=""
        for dir in "${search[@]}"; do
            found=$(find "$dir" -maxdepth 1 -iname "$dll" -print -quit)
            [ -n "$found" ] && break
        done
        if [ -z "$found" ]; then
            echo "$(basename "$module") needs $dll, which is neither built here nor part of Windows" >&2
            exit 1
        fi
        $triple-strip --strip-unneeded -o "$dist/$dll" "$found"
        queue+=("$dist/$dll")
    done
done

# The run-time data, without the build's stamp files.
cp -r "$linux/data" "$dist/data"
find "$dist/data" -name '.*-stamp' -delete

rm -rf "$win/package" "$win/lumorakka-windows.zip"
mkdir -p "$win/package"
cp -al "$dist" "$win/package/lumorakka"
(cd "$win/package" && zip -qrX "$win/lumorakka-windows.zip" lumorakka)
rm -rf "$win/package"
echo "Windows build: $dist ($(ls "$dist" | wc -l) entries), $win/lumorakka-windows.zip" \
     "($(du -h "$win/lumorakka-windows.zip" | cut -f1))"
