#include "platform/glroute/RouteState.h"

#include <string>

#include "base/FatalError.h"

namespace glroute {

State& state() {
    static State* const loaded = [] {
        State* fresh = new State;
        std::string reason;
        if (!loadEs3(fresh->es3, reason)) fatalError("The GL ES 3 route has no GL: %s", reason.c_str());
        return fresh;
    }();
    return *loaded;
}

void raise(State& s, GLenum error) {
    if (s.pendingError == GL_NO_ERROR) s.pendingError = error;
}

GLuint boundTexture(const State& s, GLenum target) {
    const TextureUnit& unit = s.units[s.activeUnit];
    return target == GL_TEXTURE_2D ? unit.bound2D : unit.boundCube;
}

} // namespace glroute
