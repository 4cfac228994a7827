#include "gpu/ShaderManager.h"

#include <GL/glew.h>
#include <cstdio>
#include <cstring>

#include "base/RegularFile.h"
#include "gpu/ProgramBuild.h"

namespace {

// Both logs of the registry's failures are read into this many bytes.
const int registryLogBytes = 1024;

// Reads a shader source whole; anything else (missing, a directory, a FIFO, a short read) counts
// as unopenable, so a caller never sees half a file. One too long to be a shader is fatal.
bool readWhole(const char* path, std::string& contents) {
    return readTextAsset("Shader file", path, contents) == TextRead::whole;
}

} // namespace

namespace rovena {

void ShaderManager::bind(const std::string& name) {
    glUseProgramObjectARB(get(name).program);
}

void ShaderManager::unbind() {
    glUseProgramObjectARB(0);
}

unsigned int ShaderManager::compileShader(unsigned int stage, const std::string& name,
                                          const std::string& source, const std::string& sourceFile) {
    char head[512];
    snprintf(head, sizeof head, "Error compiling %s shader '%s':%s%s%s\n",
             stage == GL_VERTEX_SHADER_ARB ? "vertex" : "fragment", name.c_str(), sourceFile.empty() ? "" : " ",
             sourceFile.c_str(), sourceFile.empty() ? "" : ":");
    return compileStage(stage, source.data(), static_cast<int>(source.size()), head, registryLogBytes);
}

Shader& ShaderManager::addProgram(const std::string& name, const std::string& vertexSource,
                                  const std::string& fragmentSource, const std::string& vertexFile,
                                  const std::string& fragmentFile) {
    GLhandleARB program = glCreateProgramObjectARB();
    if (!vertexSource.empty())
        glAttachObjectARB(program, compileShader(GL_VERTEX_SHADER_ARB, name, vertexSource, vertexFile));
    if (!fragmentSource.empty())
        glAttachObjectARB(program, compileShader(GL_FRAGMENT_SHADER_ARB, name, fragmentSource, fragmentFile));
    char head[512];
    snprintf(head, sizeof head, "Error linking shader '%s':\n", name.c_str());
    linkProgram(program, head, registryLogBytes);
    Shader& shader = entry(name);
    shader.program = program;
    return shader;
}

Shader& ShaderManager::addProgramFiles(const std::string& name, const std::string& vertexPath,
                                       const std::string& fragmentPath) {
    std::string vertexSource = vertexPath.empty() ? std::string() : readText(vertexPath);
    std::string fragmentSource = fragmentPath.empty() ? std::string() : readText(fragmentPath);
    return addProgram(name, vertexSource, fragmentSource, vertexPath, fragmentPath);
}

std::string ShaderManager::readText(const std::string& path) {
    std::string contents;
    if (!readWhole(path.c_str(), contents)) contents.clear();
    return contents;
}

void ShaderManager::setUniform1i(const std::string& uniformName, int value) {
    GLhandleARB program = get(current).program;
    glUniform1iARB(glGetUniformLocationARB(program, uniformName.c_str()), value);
}

void ShaderManager::setUniform3i(const std::string& uniformName, int x, int y, int z) {
    GLhandleARB program = get(current).program;
    glUniform3iARB(glGetUniformLocationARB(program, uniformName.c_str()), x, y, z);
}

} // namespace rovena

char* readFileBytes(const char* path) {
    std::string contents;
    if (!readWhole(path, contents)) return nullptr;
    char* bytes = new char[contents.size() + 1];
    memcpy(bytes, contents.data(), contents.size());
    bytes[contents.size()] = '\0';
    return bytes;
}
