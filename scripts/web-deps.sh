#!/usr/bin/env bash
# Builds the libraries the browser build links, as static WebAssembly libraries compiled with
# Emscripten, into DEPS-DIR/prefix: zlib, libpng and libjpeg-turbo (the program decodes its own
# pictures, so palette and grey pictures become the same textures as on Linux), and GLM's headers
# (the GL route's matrices). Sound, windowing and GL are the browser's own. Each library comes from Debian's source package of the version the
# Linux build uses, fetched with apt-get through a private configuration that only this script
# reads; nothing prebuilt is downloaded. A library is built once and kept: it is rebuilt only when
# its Linux version, its recipe below, the compiler's version or a library it depends on changes.
#
# Usage: scripts/web-deps.sh DEPS-DIR
# Environment: LUMORAKKA_DEBIAN_MIRROR (default http://deb.debian.org/debian), JOBS (default 2).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/debian-sources.sh"
use_deps_dir "$@"
mkdir -p "$prefix/lib" "$prefix/include"
# Debian's Emscripten finds its JavaScript modules only there.
export NODE_PATH=/usr/share/nodejs
cflags=(-O2)

# Build order. Each entry: source package, the Linux -dev package whose version it must match, and
# the entries it links against.
libraries=(
    "zlib zlib1g-dev"
    "libpng1.6 libpng-dev zlib"
    "libjpeg-turbo libjpeg62-turbo-dev"
    "glm libglm-dev"
)

static_library() { # library-file object-dir sources...
    local library=$1 objects=$2 source
    shift 2
    mkdir -p "$objects"
    local list=()
    for source in "$@"; do
        emcc "${cflags[@]}" -c "$source" -o "$objects/$(basename "${source%.c}").o" "${includes[@]}"
        list+=("$objects/$(basename "${source%.c}").o")
    done
    rm -f "$library"
    emar rcs "$library" "${list[@]}"
}

build_zlib() { # source-dir build-dir
    # zlib's configure step would record that the C library has unistd.h and stdarg.h.
    local file sources=() includes=(-DHAVE_UNISTD_H -DHAVE_STDARG_H)
    for file in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
                inftrees trees uncompr zutil; do
        sources+=("$1/$file.c")
    done
    static_library "$prefix/lib/libz.a" "$2" "${sources[@]}"
    cp "$1/zlib.h" "$1/zconf.h" "$prefix/include/"
}

build_libpng1.6() {
    # The library's own sources (not its tests or tools), with the configuration libpng ships for
    # builds without its configure step; no SIMD code on WebAssembly.
    local file sources=() includes=(-I"$1" -I"$prefix/include" -DPNG_ARM_NEON_OPT=0 -DPNG_INTEL_SSE_OPT=0)
    cp "$1/scripts/pnglibconf.h.prebuilt" "$1/pnglibconf.h"
    for file in png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans \
                pngwio pngwrite pngwtran pngwutil; do
        sources+=("$1/$file.c")
    done
    static_library "$prefix/lib/libpng16.a" "$2" "${sources[@]}"
    ln -sf libpng16.a "$prefix/lib/libpng.a"
    cp "$1/png.h" "$1/pngconf.h" "$1/pnglibconf.h" "$prefix/include/"
}

build_libjpeg-turbo() {
    # Without SIMD the build needs no assembler; the decoder's results are the same. CMake's type
    # size check misreads Emscripten's output (it finds size_t 9 bytes wide), so the sizes of
    # WebAssembly's 32-bit size_t and unsigned long are given.
    emcmake cmake -S "$1" -B "$2" -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
        -DHAVE_SIZE_T=TRUE -DSIZE_T=4 -DHAVE_UNSIGNED_LONG=TRUE -DUNSIGNED_LONG=4 \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF -DWITH_JAVA=OFF \
        -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_INCLUDEDIR=include
    cmake --build "$2" -j"$jobs" --target jpeg-static
    cp "$2/libjpeg.a" "$prefix/lib/"
    cp "$2/jconfig.h" "$1/jerror.h" "$1/jmorecfg.h" "$1/jpeglib.h" "$prefix/include/"
}

build_glm() {
    # Header-only: the headers as the Linux package installs them.
    rm -rf "$prefix/include/glm"
    cp -r "$1/glm" "$prefix/include/"
    find "$prefix/include/glm" -name CMakeLists.txt -delete
}

library_keys "$(declare -f static_library) ${cflags[*]} $(emcc --version | sed -n 1p)"
build_from_debian_sources "Browser" "for the browser"
