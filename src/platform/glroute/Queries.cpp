// Queries: the route's own state where it keeps it (the sink's would say what the generated
// programs and streamed arrays hold), the sink's otherwise; the route's errors come first.
#include <cstring>
#include <glm/gtc/type_ptr.hpp>

#include "platform/glroute/RouteState.h"

using glroute::State;
using glroute::state;

namespace {

bool routeInteger(State& s, GLenum pname, GLint* data) {
    switch (pname) {
    case GL_MAX_TEXTURE_COORDS:
        *data = glroute::textureUnits;
        return true;
    case GL_ATTRIB_STACK_DEPTH:
        *data = static_cast<GLint>(s.attribStack.size());
        return true;
    case GL_MODELVIEW_STACK_DEPTH:
        *data = static_cast<GLint>(s.modelView.entries.size());
        return true;
    case GL_PROJECTION_STACK_DEPTH:
        *data = static_cast<GLint>(s.projection.entries.size());
        return true;
    case GL_MATRIX_MODE:
        *data = static_cast<GLint>(s.matrixMode);
        return true;
    case GL_CURRENT_PROGRAM:
        *data = static_cast<GLint>(s.userProgram);
        return true;
    case GL_ARRAY_BUFFER_BINDING:
        *data = static_cast<GLint>(s.boundArrayBuffer);
        return true;
    case GL_VIEWPORT:
        if (!s.viewportKnown) return false;
        memcpy(data, s.viewport, sizeof s.viewport);
        return true;
    // GL 2.1's names for the RGB factors, which ES 3 names only as such.
    case GL_BLEND_SRC:
        s.es3.GetIntegerv(GL_BLEND_SRC_RGB, data);
        return true;
    case GL_BLEND_DST:
        s.es3.GetIntegerv(GL_BLEND_DST_RGB, data);
        return true;
    default:
        return glroute::arrayQuery(s, pname, data);
    }
}

} // namespace

extern "C" {

void glGetIntegerv(GLenum pname, GLint* data) {
    State& s = state();
    if (!routeInteger(s, pname, data)) s.es3.GetIntegerv(pname, data);
}

void glGetFloatv(GLenum pname, GLfloat* data) {
    State& s = state();
    const float* value = nullptr;
    size_t count = 16;
    if (pname == GL_MODELVIEW_MATRIX) {
        value = glm::value_ptr(s.modelView.top());
    } else if (pname == GL_PROJECTION_MATRIX) {
        value = glm::value_ptr(s.projection.top());
    } else if (pname == GL_TEXTURE_MATRIX) {
        value = glm::value_ptr(s.textureMatrices[s.activeUnit].top());
    } else if (pname == GL_CURRENT_COLOR) {
        value = s.currentColor;
        count = 4;
    } else if (pname == GL_BLEND_COLOR) {
        value = s.blendColor;
        count = 4;
    }
    if (value)
        memcpy(data, value, count * sizeof(float));
    else
        s.es3.GetFloatv(pname, data);
}

GLenum glGetError(void) {
    State& s = state();
    if (s.pendingError != GL_NO_ERROR) {
        const GLenum error = s.pendingError;
        s.pendingError = GL_NO_ERROR;
        return error;
    }
    return s.es3.GetError();
}

// The extension loader (glewInit starts the route, in desktop/ and web/): the route has everything
// the engine asks for.
const GLubyte* glewGetErrorString(GLenum error) {
    return reinterpret_cast<const GLubyte*>(error == GLEW_OK ? "No error" : "Unknown error");
}

} // extern "C"
