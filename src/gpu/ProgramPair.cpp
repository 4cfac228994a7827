#include <GL/glew.h>
#include <cstdio>
#include <cstring>

#include "clock/DemoContext.h"
#include "gpu/ShaderLog.h"
#include "gpu/ShaderManager.h"
#include "shell/FatalError.h"

namespace {

// Paths are built in 256 bytes: the base, ".vs" or ".fs", and the NUL.
const size_t longestBasePath = 252;

// Returns the compiled shader, or 0 when the source file can't be opened (the stage is left out).
GLhandleARB compileStage(const char* path, GLenum stage, const char* failure, bool checkErrors) {
    char* source = readFileBytes(path);
    if (!source) return 0;
    GLhandleARB shader = glCreateShaderObjectARB(stage);
    if (checkErrors) checkGLError();
    const GLcharARB* text = source;
    glShaderSourceARB(shader, 1, &text, nullptr);
    if (checkErrors) checkGLError();
    glCompileShaderARB(shader);
    if (checkErrors) checkGLError();
    GLint compiled = 0;
    glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
    if (!compiled) {
        char log[4096];
        glGetInfoLogARB(shader, sizeof log, nullptr, log);
        delete[] source;
        fatalWithLog(failure, log);
    }
    delete[] source;
    return shader;
}

} // namespace

void DemoContext::loadProgramPair(const char* basePath, const char* key) {
    size_t baseLength = strlen(basePath);
    if (baseLength > longestBasePath)
        fatalError("Shader base path is %zu bytes long, at most %zu fit: '%s'", baseLength, longestBasePath,
                   basePath);
    checkGLError();
    GLhandleARB program = glCreateProgramObjectARB();
    checkGLError();
    programs[key] = program;

    char path[256];
    snprintf(path, sizeof path, "%s.vs", basePath);
    GLhandleARB vertex = compileStage(path, GL_VERTEX_SHADER_ARB, "Error compiling vertex shader: ", true);
    if (vertex) glAttachObjectARB(program, vertex);
    snprintf(path, sizeof path, "%s.fs", basePath);
    GLhandleARB fragment =
        compileStage(path, GL_FRAGMENT_SHADER_ARB, "Error compiling fragment shader: ", false);
    if (fragment) glAttachObjectARB(program, fragment);

    glLinkProgramARB(program);
    GLint linked = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (!linked) {
        char log[4096];
        glGetInfoLogARB(program, sizeof log, nullptr, log);
        fatalWithLog("Error linking shaders: ", log);
    }
}
