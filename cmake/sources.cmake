# The engine's sources, taken a folder at a time. src/<layer>/ holds what every host builds;
# src/<layer>/desktop/ and src/<layer>/export/ (the video export) only the desktop program's, and
# src/<layer>/web/ only the browser's. Whatever a folder holds joins the builds it belongs to, so
# a new file needs no line here and can't slip into the other host's build.
function(engine_sources out)
    set(sources)
    foreach(pattern ${ARGN})
        file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${pattern}/*.cpp)
        list(APPEND sources ${found})
    endforeach()
    set(${out} ${sources} PARENT_SCOPE)
endfunction()
