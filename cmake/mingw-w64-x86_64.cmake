# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix thread model, which
# std::thread and std::mutex need). Libraries are searched only in MinGW's own tree and in the
# prefix named by LUMORAKKA_DEPS_PREFIX (the Windows builds of the libraries the program uses).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_AR ${MINGW_TRIPLE}-gcc-ar-posix)
set(CMAKE_RANLIB ${MINGW_TRIPLE}-gcc-ranlib-posix)

# try_compile projects re-read this file without the caller's cache: hand the prefix on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LUMORAKKA_DEPS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
if(LUMORAKKA_DEPS_PREFIX)
    list(APPEND CMAKE_FIND_ROOT_PATH ${LUMORAKKA_DEPS_PREFIX})
    # pkg-config must see the Windows .pc files and never the machine's own.
    set(ENV{PKG_CONFIG_LIBDIR} ${LUMORAKKA_DEPS_PREFIX}/lib/pkgconfig)
    set(ENV{PKG_CONFIG_PATH} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
