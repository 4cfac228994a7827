#include "platform/glroute/RouteState.h"

#include "base/FatalError.h"

namespace glroute {

State* startedState = nullptr;

// The state outlives everything else (it has no destructor at exit): clean-up at exit may still
// call GL.
void start(const Es3& sink) {
    delete startedState;
    startedState = new State;
    startedState->es3 = sink;
}

void notStarted() {
    fatalError("A GL call reached the GL ES 3 route before the route was started (glewInit)");
}

void raise(State& s, GLenum error) {
    if (s.pendingError == GL_NO_ERROR) s.pendingError = error;
}

GLuint boundTexture(const State& s, GLenum target) {
    const TextureUnit& unit = s.units[s.activeUnit];
    return target == GL_TEXTURE_2D ? unit.bound2D : unit.boundCube;
}

} // namespace glroute
