// The sink in the browser: WebGL 2's own functions, under Emscripten's emscripten_gl* names (the
// gl* names are the route's entry points in this program).
#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include "platform/glroute/RouteState.h"

extern "C" {

// The engine starts GL here, once its canvas's context is current: the route starts over WebGL 2.
GLenum glewInit(void) {
    glroute::Es3 sink;
#define GLROUTE_WEBGL(result, name, parameters, arguments) sink.name = &emscripten_gl##name;
    GLROUTE_PASSED_CALLS(GLROUTE_WEBGL)
    GLROUTE_OWN_CALLS(GLROUTE_WEBGL)
#undef GLROUTE_WEBGL
    glroute::start(sink);
    return GLEW_OK;
}

} // extern "C"
