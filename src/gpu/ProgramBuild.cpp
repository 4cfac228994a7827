#include "gpu/ProgramBuild.h"

#include <GL/glew.h>
#include <cstring>
#include <vector>

#include "base/FatalError.h"

void checkGLError() {
    const GLenum code = glGetError();
    if (code != GL_NO_ERROR) fatalError("GL error 0x%04x!", code);
}

void fatalWithLog(const char* head, const char* log) {
    char text[512];
    size_t used = strlen(head);
    if (used > sizeof text - 1) used = sizeof text - 1;
    memcpy(text, head, used);
    size_t logLength = strlen(log);
    size_t room = sizeof text - 1 - used;
    if (logLength <= room) {
        memcpy(text + used, log, logLength);
        text[used + logLength] = '\0';
    } else {
        // The start of a compiler log names the first error; keep that and mark the cut.
        memcpy(text + used, log, room);
        text[sizeof text - 1] = '\0';
        if (room >= 3) memcpy(text + sizeof text - 4, "...", 3);
    }
    fatalError("%s", text);
}

unsigned int compileStage(unsigned int stage, const char* source, int length, const char* failureHead,
                          int logBytes, bool checkEachCall) {
    GLhandleARB shader = glCreateShaderObjectARB(stage);
    if (checkEachCall) checkGLError();
    const GLcharARB* text = source;
    const GLint sourceLength = length;
    glShaderSourceARB(shader, 1, &text, length < 0 ? nullptr : &sourceLength);
    if (checkEachCall) checkGLError();
    glCompileShaderARB(shader);
    if (checkEachCall) checkGLError();
    GLint compiled = 0;
    glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
    if (!compiled) {
        std::vector<char> log(logBytes);
        glGetInfoLogARB(shader, logBytes, nullptr, log.data());
        fatalWithLog(failureHead, log.data());
    }
    return shader;
}

namespace {
int linkedPrograms = 0;
} // namespace

int programsLinked() {
    return linkedPrograms;
}

void linkProgram(unsigned int program, const char* failureHead, int logBytes) {
    ++linkedPrograms;
    glLinkProgramARB(program);
    GLint linked = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (!linked) {
        std::vector<char> log(logBytes);
        glGetInfoLogARB(program, logBytes, nullptr, log.data());
        fatalWithLog(failureHead, log.data());
    }
}
