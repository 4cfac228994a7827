// The sink in the browser: WebGL 2's own functions, under Emscripten's emscripten_gl* names (the
// gl* names are the route's entry points in this program).
#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include "platform/glroute/Es3.h"

namespace glroute {

bool loadEs3(Es3& es3, std::string&) {
#define GLROUTE_WEBGL(result, name, parameters, arguments) es3.name = &emscripten_gl##name;
    GLROUTE_PASSED_CALLS(GLROUTE_WEBGL)
    GLROUTE_OWN_CALLS(GLROUTE_WEBGL)
#undef GLROUTE_WEBGL
    return true;
}

} // namespace glroute
