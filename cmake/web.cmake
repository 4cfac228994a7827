# The browser build, configured with Emscripten's CMake toolchain (scripts/build-web.sh): the engine
# with the browser's platform layer (platform/web: canvas and keys, Web Audio) and the GL route
# (platform/glroute: OpenGL 2.1 over WebGL 2), linked with zlib, libpng and libjpeg-turbo compiled
# for WebAssembly and GLM's headers (scripts/web-deps.sh), and the data directory packed beside it.
set(LUMORAKKA_WEB_DEPS "" CACHE PATH "Prefix of the WebAssembly libraries (scripts/web-deps.sh)")
set(LUMORAKKA_WEB_DATA "" CACHE PATH "Run-time data directory to pack (a native build's data/)")
if(NOT LUMORAKKA_WEB_DEPS OR NOT LUMORAKKA_WEB_DATA)
    message(FATAL_ERROR "The browser build needs LUMORAKKA_WEB_DEPS and LUMORAKKA_WEB_DATA: "
                        "scripts/build-web.sh sets both")
endif()

# The engine with the browser's platform layer; the desktop's folders (SDL, libvorbis, FFmpeg, the
# video export, the program's command line) stay out.
engine_sources(WEB_SOURCES * */web platform/glroute platform/glroute/web)
set(PAGE_ENTRY ${CMAKE_SOURCE_DIR}/src/shell/web/WebMain.cpp)
list(REMOVE_ITEM WEB_SOURCES ${PAGE_ENTRY})
add_library(lumorakka_engine STATIC ${WEB_SOURCES})
# The route's GL/glew.h and GL/glu.h come before anything else of that name.
target_include_directories(lumorakka_engine BEFORE PUBLIC ${CMAKE_SOURCE_DIR}/src/platform/glroute/include)
target_include_directories(lumorakka_engine PUBLIC ${CMAKE_SOURCE_DIR}/src ${LUMORAKKA_WEB_DEPS}/include)
target_compile_options(lumorakka_engine PRIVATE -fmacro-prefix-map=${CMAKE_SOURCE_DIR}/=)
target_link_libraries(lumorakka_engine PUBLIC
    ${LUMORAKKA_WEB_DEPS}/lib/libpng16.a ${LUMORAKKA_WEB_DEPS}/lib/libjpeg.a ${LUMORAKKA_WEB_DEPS}/lib/libz.a)

add_executable(lumorakka ${PAGE_ENTRY})
target_link_libraries(lumorakka PRIVATE lumorakka_engine)
set_target_properties(lumorakka PROPERTIES SUFFIX ".js" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_options(lumorakka PRIVATE
    -sENVIRONMENT=web
    -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2
    -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=134217728
    # The loading screens are shown by returning to the browser at each swap.
    -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
    # The page shows the errors; the runtime lives on after main returns.
    -sEXIT_RUNTIME=0
    # Quoted: a path with spaces stays one argument.
    "SHELL:--preload-file \"${LUMORAKKA_WEB_DATA}@/data\""
    "SHELL:--exclude-file *-stamp")
# The pack is made at link time, so the link waits on what goes into it: the hand-written assets the
# native build copies, and its generators' stamps and music.
file(GLOB_RECURSE WEB_HAND_WRITTEN CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)
set_property(TARGET lumorakka APPEND PROPERTY LINK_DEPENDS ${WEB_HAND_WRITTEN}
    ${LUMORAKKA_WEB_DATA}/.models-stamp ${LUMORAKKA_WEB_DATA}/.pictures-stamp
    ${LUMORAKKA_WEB_DATA}/noisebiisi.ogg)
