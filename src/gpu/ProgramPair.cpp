#include "gpu/ProgramPair.h"

#include <GL/glew.h>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/FatalError.h"
#include "gpu/ProgramBuild.h"
#include "gpu/ShaderManager.h"

namespace {

// Paths are built in 256 bytes: the base, ".vs" or ".fs", and the NUL.
const size_t longestBasePath = 252;
const int pairLogBytes = 4096;

// The compiled stage, or 0 when the source file can't be opened (the stage is left out). A failure
// names the file after the head.
GLhandleARB compileFile(const char* path, GLenum stage, const char* failureHead, bool checkEachCall) {
    std::unique_ptr<char[]> source(readFileBytes(path));
    if (!source) return 0;
    char head[512];
    snprintf(head, sizeof head, "%s%s: ", failureHead, path);
    // The source is read up to its first NUL, as a C string.
    return compileStage(stage, source.get(), -1, head, pairLogBytes, checkEachCall);
}

} // namespace

void loadProgramPair(ProgramTable& programs, const char* basePath, const char* key) {
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
    GLhandleARB vertex = compileFile(path, GL_VERTEX_SHADER_ARB, "Error compiling vertex shader: ", true);
    if (vertex) glAttachObjectARB(program, vertex);
    snprintf(path, sizeof path, "%s.fs", basePath);
    GLhandleARB fragment =
        compileFile(path, GL_FRAGMENT_SHADER_ARB, "Error compiling fragment shader: ", false);
    if (fragment) glAttachObjectARB(program, fragment);

    linkProgram(program, "Error linking shaders: ", pairLogBytes);
}
