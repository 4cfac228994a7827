# The engine on the GL route (platform/glroute), as the browser builds it, but on the desktop: OpenGL
# 2.1 over Mesa's GL ES 3 through EGL, with the desktop's window, sound and files. It links no GL
# library, so a GL entry point the engine calls that the route lacks fails this link. Its own
# offline renderer and test tier (tests/route and the GL tests that matter, compiled against the
# route) check on every test run what the browser draws. Built with the tests; the program and a
# minimal build don't need it.
if(WIN32 OR CMAKE_CROSSCOMPILING)
    return()
endif()
find_path(GLM_INCLUDE_DIR glm/glm.hpp)
find_path(GLES3_INCLUDE_DIR GLES3/gl3.h)
if(NOT GLM_INCLUDE_DIR OR NOT GLES3_INCLUDE_DIR)
    message(STATUS "GLM or the GL ES 3 headers not found: no GL route tier "
                   "(scripts/install-deps.sh test installs libglm-dev and libgles-dev)")
    if(LUMORAKKA_REQUIRE_TESTS)
        message(FATAL_ERROR "The GL route tier needs libglm-dev and libgles-dev")
    endif()
    return()
endif()

# The desktop's platform layer with the route in place of GL; the video export (whose read-back maps
# buffers, which the browser has not either) stays out.
engine_sources(ROUTE_ENGINE_SOURCES * */desktop platform/glroute platform/glroute/desktop)
list(REMOVE_ITEM ROUTE_ENGINE_SOURCES ${CMAKE_SOURCE_DIR}/src/shell/desktop/main.cpp)
add_library(lumorakka_engine_route STATIC EXCLUDE_FROM_ALL ${ROUTE_ENGINE_SOURCES})
target_include_directories(lumorakka_engine_route BEFORE PUBLIC ${CMAKE_SOURCE_DIR}/src/platform/glroute/include)
target_include_directories(lumorakka_engine_route PUBLIC ${CMAKE_SOURCE_DIR}/src ${GLM_INCLUDE_DIR})
target_compile_options(lumorakka_engine_route PRIVATE -fmacro-prefix-map=${CMAKE_SOURCE_DIR}/=)
target_link_libraries(lumorakka_engine_route PUBLIC
    OpenGL::EGL PNG::PNG JPEG::JPEG ZLIB::ZLIB ${SDL2_TARGET} PkgConfig::VORBIS Threads::Threads m
    PRIVATE X11::X11)
lumorakka_sanitize(lumorakka_engine_route)
# Every GL symbol must come from the route: an undefined one is an error even in a static library's
# users, and no GL library is there to quietly provide it.
target_link_options(lumorakka_engine_route INTERFACE -Wl,--no-undefined)

# render_frames on the route: the golden frames through GL ES 3 (off-screen: run it without DISPLAY).
add_executable(render_frames_route EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tools/render/RenderFrames.cpp)
target_link_libraries(render_frames_route PRIVATE lumorakka_engine_route)
set_target_properties(render_frames_route PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
