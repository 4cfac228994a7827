#include "support/GLContext.h"

#include <GL/glew.h>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Window.h"

void ensureGLContext() {
    static bool ready = false;
    if (ready) return;
    std::string reason;
    WindowRequest request;
    request.title = "gl tests";
    request.hidden = true;
    if (!initVideo(reason) || !createWindow(request, reason)) {
        fprintf(stderr, "GL tests need a display: %s\n", reason.c_str());
        exit(2);
    }
    glewExperimental = GL_TRUE;
    GLenum status = glewInit();
    if (status != GLEW_OK) {
        fprintf(stderr, "glewInit failed: %s\n", reinterpret_cast<const char*>(glewGetErrorString(status)));
        exit(2);
    }
    glGetError(); // glewInit may leave GL_INVALID_ENUM behind
    ready = true;
}
