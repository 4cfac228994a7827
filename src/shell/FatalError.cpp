#include "shell/FatalError.h"

#include <GL/glew.h>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/MessageBox.h"

void fatalError(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    showErrorBox(text);
    exit(1);
}

void checkGLError() {
    GLenum code = glGetError();
    if (code != GL_NO_ERROR) fatalError("GL error 0x%04x!", code);
}
