#include "base/FatalError.h"

#include <GL/glew.h>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
ErrorBox gBox = nullptr;
} // namespace

void setErrorBox(ErrorBox box) {
    gBox = box;
}

void reportError(const char* text) {
    std::string line(text);
    while (!line.empty() && line.back() == '\n') line.pop_back();
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    fprintf(stderr, "%s\n", line.c_str());
    fflush(stderr);
    if (gBox) gBox(text);
}

void fatalError(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    reportError(text);
    exit(1);
}

void checkGLError() {
    GLenum code = glGetError();
    if (code != GL_NO_ERROR) fatalError("GL error 0x%04x!", code);
}
