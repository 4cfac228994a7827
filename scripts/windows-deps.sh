#!/usr/bin/env bash
# Builds the Windows (MinGW-w64) libraries the program links, as DLLs, into DEPS-DIR/prefix: SDL2,
# zlib, libpng, libjpeg-turbo, libogg, libvorbis and GLEW (OpenGL and GLU are MinGW's own import
# libraries). Each comes from Debian's source package of the version the Linux build uses (read from
# the installed -dev package), fetched with apt-get through a private configuration that only this
# script reads; nothing prebuilt is downloaded. A library is built once and kept: it is rebuilt only
# when its Linux version, its recipe below, the toolchain file or a library it depends on changes, so
# a warm run touches neither the network nor the compiler.
#
# Usage: scripts/windows-deps.sh DEPS-DIR
# Environment: LUMORAKKA_DEBIAN_MIRROR (default http://deb.debian.org/debian), JOBS (default 2).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/debian-sources.sh"
use_deps_dir "$@"
toolchain=$here/cmake/mingw-w64-x86_64.cmake
triple=x86_64-w64-mingw32

# Build order. Each entry: source package, the Linux -dev package whose version it must match, and
# the entries it links against.
libraries=(
    "zlib zlib1g-dev"
    "libpng1.6 libpng-dev zlib"
    "libjpeg-turbo libjpeg62-turbo-dev"
    "libogg libogg-dev"
    "libvorbis libvorbis-dev libogg"
    "libsdl2 libsdl2-dev"
    "glew libglew-dev"
)

cmake_library() { # source-dir build-dir [cmake options...]
    local source=$1 build=$2
    shift 2
    cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLUMORAKKA_DEPS_PREFIX="$prefix" \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release "$@"
    cmake --build "$build" -j"$jobs"
    cmake --install "$build"
}

build_zlib() { # source-dir build-dir
    # Debian's zlib source leaves out win32/ (the MinGW makefile and the DLL's resource file), which
    # zlib's CMake project needs on Windows; the library is fifteen C files, compiled here directly.
    local file sources=()
    for file in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
                inftrees trees uncompr zutil; do
        sources+=("$1/$file.c")
    done
    mkdir -p "$2" "$prefix/bin" "$prefix/lib" "$prefix/include"
    $triple-gcc-posix -O2 -shared "${sources[@]}" -o "$2/zlib1.dll" -Wl,--out-implib,"$2/libz.dll.a"
    cp "$2/zlib1.dll" "$prefix/bin/"
    cp "$2/libz.dll.a" "$prefix/lib/"
    cp "$1/zlib.h" "$1/zconf.h" "$prefix/include/"
}

build_libpng1.6() {
    cmake_library "$1" "$2" -DPNG_SHARED=ON -DPNG_STATIC=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
        -DZLIB_ROOT="$prefix"
}

build_libjpeg-turbo() {
    # Without SIMD the build needs no assembler; the decoder's results are the same.
    cmake_library "$1" "$2" -DENABLE_STATIC=OFF -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
}

# A .def file's LIBRARY line names the DLL its import library points at: libogg's says "ogg" while
# its CMake project writes libogg.dll, and libvorbis's are bare, which GNU ld rejects. Without the
# line the name comes from the output file.
drop_def_library_names() { # def files...
    sed -i '/^LIBRARY\b/d' "$@"
}

build_libogg() {
    drop_def_library_names "$1"/win32/*.def
    cmake_library "$1" "$2" -DBUILD_SHARED_LIBS=ON -DINSTALL_DOCS=OFF -DBUILD_TESTING=OFF
}

build_libvorbis() {
    drop_def_library_names "$1"/win32/*.def
    cmake_library "$1" "$2" -DBUILD_SHARED_LIBS=ON -DBUILD_TESTING=OFF
}

build_libsdl2() {
    # The program uses the window, GL context, events, timers, threads, audio and message boxes;
    # the subsystems it never initialises are left out, which halves the build.
    cmake_library "$1" "$2" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF -DSDL_RENDER=OFF \
        -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF \
        -DSDL_LOCALE=OFF -DSDL_MISC=OFF
}

build_glew() {
    # GLEW's DLL brings its own entry point and no C library (its CMake project says so with
    # -nostdlib); the library is one C file, compiled here directly as its WGL build.
    mkdir -p "$2" "$prefix/bin" "$prefix/lib" "$prefix/include/GL"
    $triple-gcc-posix -O2 -fno-builtin -fno-stack-protector -DGLEW_BUILD -I"$1/include" -shared -nostdlib \
        "$1/src/glew.c" -o "$2/glew32.dll" -Wl,--out-implib,"$2/glew32.lib" -lopengl32 -lkernel32
    cp "$2/glew32.dll" "$prefix/bin/"
    # CMake's FindGLEW looks for a Windows GLEW's import library under the MSVC name only; MinGW's
    # linker reads the same file under any name.
    cp "$2/glew32.lib" "$prefix/lib/"
    cp "$1/include/GL/glew.h" "$1/include/GL/wglew.h" "$prefix/include/GL/"
}

library_keys "$(declare -f cmake_library drop_def_library_names) $(cat "$toolchain")"
build_from_debian_sources "Windows" "for Windows"
