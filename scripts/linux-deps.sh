#!/usr/bin/env bash
# Builds SDL2 for the released Linux program, into DEPS-DIR/prefix: a shared library that loads the
# desktop's own X11 extensions, PulseAudio (which PipeWire desktops answer too) and ALSA only when
# it runs (Debian's links all of them, and Wayland's libraries, by name, so a program linked with it
# needs each installed). Where neither sound system is there, the program plays on its silent
# clock, as it does without a sound device. (PipeWire's own driver comes in when its headers,
# libpipewire-0.3-dev, are installed.) It comes from Debian's source package of the version the Linux build
# uses, fetched with apt-get through a private configuration that only this script reads; nothing
# prebuilt is downloaded. It is built once and kept, and rebuilt only when its Linux version or its
# recipe below changes.
#
# Usage: scripts/linux-deps.sh DEPS-DIR
# Environment: LUMORAKKA_DEBIAN_MIRROR (default http://deb.debian.org/debian), JOBS (default 2).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/debian-sources.sh"
use_deps_dir "$@"

# Each entry: source package and the Linux -dev package whose version it must match.
libraries=(
    "libsdl2 libsdl2-dev"
)

build_libsdl2() { # source-dir build-dir
    # What the program uses (window, GL context, events, timers, threads, audio, message boxes) on
    # X11, every library beyond the C library loaded when SDL starts; Wayland desktops run it
    # through XWayland. The libraries beside it are found through its own folder. XInput2 is left
    # out: the show reads no raw mouse motion, and SDL 2.26 calls libXi to place the pointer when a
    # full-screen window closes even where libXi is missing, which ended the program with a crash.
    # XFixes goes with it (its pointer barriers need XInput2's types to compile).
    cmake -S "$1" -B "$2" -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_RPATH='$ORIGIN' -DCMAKE_SHARED_LINKER_FLAGS=-Wl,--enable-new-dtags \
        -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF -DSDL_RENDER=OFF -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF \
        -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF -DSDL_LOCALE=OFF -DSDL_MISC=OFF \
        -DSDL_X11=ON -DSDL_X11_SHARED=ON -DSDL_X11_XINPUT=OFF -DSDL_X11_XFIXES=OFF -DSDL_WAYLAND=OFF -DSDL_KMSDRM=OFF -DSDL_VULKAN=OFF \
        -DSDL_ALSA=ON -DSDL_ALSA_SHARED=ON -DSDL_PULSEAUDIO=ON -DSDL_PULSEAUDIO_SHARED=ON \
        -DSDL_PIPEWIRE=ON -DSDL_PIPEWIRE_SHARED=ON -DSDL_JACK=OFF -DSDL_SNDIO=OFF -DSDL_OSS=OFF \
        -DSDL_LIBSAMPLERATE=OFF -DSDL_RPATH=OFF
    cmake --build "$2" -j"$jobs"
    cmake --install "$2"
}

library_keys
build_from_debian_sources "Linux release" "for the Linux release"
