// The engine's calls that mean the same in GL 2.1 and ES 3.0, handed on unchanged.
#include "platform/glroute/RouteState.h"

extern "C" {

#define GLROUTE_PASS(result, name, parameters, arguments)                                                   \
    result GL_APIENTRY gl##name parameters {                                                                 \
        return glroute::state().es3.name arguments;                                                          \
    }
GLROUTE_PASSED_CALLS(GLROUTE_PASS)
#undef GLROUTE_PASS

} // extern "C"
