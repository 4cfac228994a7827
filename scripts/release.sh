#!/usr/bin/env bash
# Makes the release: one folder and its zip with everything a party and its viewers take.
#   OUT/lumorakka-VERSION/
#     linux-x86_64/          the program, data/, and lib/ with every library it needs beyond the C
#                            library, the GL/EGL/GLX driver libraries and X11, found through
#                            $ORIGIN; the C++ runtime is linked in. It has no video export.
#     windows-x86_64/        the Windows build as scripts/build-windows.sh gathers it
#     web/lumorakka.html     the page as one file that plays from disk
#     licences/              the licences of the libraries the programs and the page carry
#     lumorakka.nfo          the info file
#     screenshot.png         a frame at 1920x1080, drawn by the program's video export
#     soundtrack.ogg         the music
#     lumorakka-1080p60.mp4  the whole show at 1920x1080, 60 fps (left out with --no-capture)
#     SHA256SUMS             over every other file
#   OUT/lumorakka-VERSION.zip
# It builds what it needs in build/, build-windows/, build-web/ and build-release/ (the released
# Linux program and its own libraries), each reused as it is. The folder is put together beside its
# place and takes it only when whole. scripts/test-release.sh checks the result.
# As root it installs missing Debian packages; otherwise it prints the apt-get line and stops.
#
# Usage: scripts/release.sh [--no-capture] [OUT (default dist)]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
capture=1
if [ "${1:-}" = --no-capture ]; then
    capture=0
    shift
fi
if [ $# -gt 1 ] || [[ "${1:-}" == -* ]]; then
    echo "usage: scripts/release.sh [--no-capture] [OUT-DIR (default dist)]" >&2
    exit 2
fi
out=${1:-$here/dist}
linux=$here/build
release_build=$here/build-release
jobs=2
# A moment of the show for the screenshot: the sequence, a paint under the emblem's frame.
screenshot_seconds=65.2
started=$SECONDS

fail() {
    echo "release: $*" >&2
    exit 1
}

"$here/scripts/install-deps.sh" release
mkdir -p "$out"
out=$(cd "$out" && pwd)

echo "== The Linux build in $linux: the assets, and the program whose export draws the pictures"
cmake -S "$here" -B "$linux" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$linux" -j$jobs --target lumorakka data_files models pictures music
version_line=$("$linux/lumorakka" --version)
version=$(awk '{print $2; exit}' <<<"$version_line")
[[ "$version" =~ ^[0-9]+(\.[0-9]+)*$ ]] || fail "cannot read the version from '$version_line'"
[[ "$version_line" == *"video export built in"* ]] ||
    fail "$linux was configured without video export, which makes the screenshot and the capture"

echo "== The Windows program"
"$here/scripts/build-windows.sh" "$here/build-windows" "$linux"
echo "== The page"
"$here/scripts/build-web.sh" "$here/build-web" "$linux"

echo "== The released Linux program in $release_build"
JOBS=$jobs "$here/scripts/linux-deps.sh" "$release_build/deps"
prefix=$release_build/deps/prefix
# LUMORAKKA_PORTABLE: the libraries in lib/ beside it, the C++ runtime and GLU linked in, libGL.so.1,
# nothing newer than glibc 2.35. No video export.
PKG_CONFIG_PATH=$prefix/lib/pkgconfig cmake -S "$here" -B "$release_build/program" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLUMORAKKA_PORTABLE=ON -DLUMORAKKA_VIDEO_EXPORT=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$release_build/program" -j$jobs --target lumorakka

name=lumorakka-$version
final=$out/$name
dest=$out/$name.partial
rm -rf "$dest"
mkdir -p "$dest"

echo "== Gathering $final"
folder=$dest/linux-x86_64
mkdir -p "$folder/lib"
strip -o "$folder/lumorakka" "$release_build/program/lumorakka"
# Every library the program loads, directly or through another, that a Linux desktop does not
# have: ours from the prefix, the rest as Debian's packages hold them, each finding the others in
# its own folder.
system_libraries=(libc.so.6 libm.so.6 libpthread.so.0 libdl.so.2 librt.so.1 ld-linux-x86-64.so.2
                  libGL.so.1 libEGL.so.1 libGLX.so.0 libGLdispatch.so.0 libX11.so.6 libxcb.so.1)
queue=("$folder/lumorakka")
while [ ${#queue[@]} -gt 0 ]; do
    module=${queue[0]}
    queue=("${queue[@]:1}")
    for library in $(patchelf --print-needed "$module"); do
        [ -e "$folder/lib/$library" ] && continue
        [[ " ${system_libraries[*]} " == *" $library "* ]] && continue
        found=""
        for dir in "$prefix/lib" /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu; do
            [ -e "$dir/$library" ] && found=$(readlink -f "$dir/$library") && break
        done
        [ -n "$found" ] || fail "$(basename "$module") needs $library, which is neither built here nor installed"
        strip --strip-unneeded -o "$folder/lib/$library" "$found"
        patchelf --set-rpath '$ORIGIN' "$folder/lib/$library"
        queue+=("$folder/lib/$library")
    done
done
cp -r "$linux/data" "$folder/data"
find "$folder/data" -name '.*-stamp' -delete

cp -r "$here/build-windows/dist" "$dest/windows-x86_64"
mkdir -p "$dest/web"
/usr/bin/python3 "$here/scripts/one-file-page.py" "$here/build-web/dist" "$dest/web/lumorakka.html"
cp "$linux/data/noisebiisi.ogg" "$dest/soundtrack.ogg"

# Each library's licence as Debian ships it, named after the library.
mkdir -p "$dest/licences"
while read -r file package; do
    cp "/usr/share/doc/$package/copyright" "$dest/licences/$file.txt"
done <<'EOF'
SDL2 libsdl2-2.0-0
GLEW libglew2.2
GLU libglu1-mesa
libpng libpng16-16
libjpeg-turbo libjpeg62-turbo
zlib zlib1g
libogg libogg0
libvorbis libvorbis0a
GCC-runtime libstdc++6
MinGW-w64-runtime mingw-w64-common
Emscripten emscripten
GLM libglm-dev
DejaVu-fonts fonts-dejavu-core
EOF

# The screenshot is a one-frame export at 1920x1080 (the program's own drawing, scaled as the
# capture is), decoded to a picture.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
end=$(awk -v t=$screenshot_seconds 'BEGIN { printf "%.4f", t + 0.5 / 60 }')
(cd "$linux" && ./lumorakka --export "$work/shot.mp4" --size 1920x1080 --fps 60 --start $screenshot_seconds \
    --end "$end" 2>"$work/shot.log") || fail "the screenshot's export failed: $(tail -n 3 "$work/shot.log")"
ffmpeg -v error -i "$work/shot.mp4" -frames:v 1 "$dest/screenshot.png"

if [ $capture = 1 ]; then
    echo "== The capture (the whole show at 1920x1080, 60 fps; this takes a long time)"
    capture_start=$SECONDS
    (cd "$linux" && ./lumorakka --export "$dest/lumorakka-1080p60.mp4" --size 1920x1080 --fps 60 --bitrate 8) ||
        fail "the capture's export failed"
    echo "   capture made in $((SECONDS - capture_start)) s"
    /usr/bin/python3 "$here/scripts/check-capture.py" "$dest/lumorakka-1080p60.mp4" || fail "the capture is not as promised"
fi

# The info file, with the versions of what it names as this machine has them.
nfo=$dest/lumorakka.nfo
sed "s/@VERSION@/$version/" "$here/scripts/lumorakka.nfo" >"$nfo"
for package in $(grep -o '@[a-z0-9.+-]*@' "$nfo" | tr -d @ | sort -u); do
    upstream=$(dpkg-query -W -f='${Version}' "$package" 2>/dev/null) || fail "$package names a version in the info file but is not installed"
    upstream=${upstream#*:}
    upstream=${upstream%%[-+~]*}
    upstream=${upstream%.dfsg}
    sed -i "s/@$package@/$upstream/g" "$nfo"
done
if [ $capture = 1 ]; then sed -i 's/^@CAPTURE@//' "$nfo"; else sed -i '/^@CAPTURE@/d' "$nfo"; fi
long=$(awk 'length > 80 { print FILENAME ":" FNR }' "$nfo")
[ -z "$long" ] || fail "the info file has lines over 80 columns: $long"

(cd "$dest" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs -d '\n' sha256sum >"$work/sums")
mv "$work/sums" "$dest/SHA256SUMS"

rm -rf "$final" "$final.zip" "$out/$name.zip.partial"
mv "$dest" "$final"
(cd "$out" && zip -qrX "$name.zip.partial" "$name" && mv "$name.zip.partial" "$name.zip")
echo "Release: $final ($(du -sh "$final" | cut -f1)), $final.zip ($(du -h "$final.zip" | cut -f1))," \
     "made in $((SECONDS - started)) s"
