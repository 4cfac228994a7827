#include "support/GLContext.h"

#include <GL/glew.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/Window.h"

void ensureGLContext() {
    static bool ready = false;
    if (ready) return;
    std::string reason;
    WindowRequest request;
    request.title = "gl tests";
    request.hidden = true;
    // A display that was just started can refuse the first connection; give it a few tries.
    bool video = false;
    for (int attempt = 0; attempt < 5 && !(video = initVideo(reason)); ++attempt) usleep(200 * 1000);
    if (!video || !createWindow(request, reason)) {
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
