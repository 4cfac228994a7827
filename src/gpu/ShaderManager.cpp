#include "gpu/ShaderManager.h"

#include <GL/glew.h>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "gpu/ShaderLog.h"
#include "resources/Resources.h"
#include "shell/FatalError.h"

namespace {

// Only the fatal messages read these.
char compileLog[1024];
char linkLog[1024];

// Reads a regular file whole; anything else (missing, a directory, a short read) counts as
// unopenable, so a caller never sees half a file.
bool readWhole(const char* path, std::string& contents) {
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    bool ok = fseek(file, 0, SEEK_END) == 0;
    long size = ok ? ftell(file) : -1;
    ok = size >= 0 && fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        contents.assign(static_cast<size_t>(size), '\0');
        ok = fread(contents.data(), 1, contents.size(), file) == contents.size();
    }
    fclose(file);
    return ok;
}

} // namespace

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

namespace rovena {

void ShaderManager::bind(const std::string& name) {
    glUseProgramObjectARB(get(name).program);
}

void ShaderManager::unbind() {
    glUseProgramObjectARB(0);
}

unsigned int ShaderManager::compileShader(unsigned int stage, const std::string& name,
                                          const std::string& source) {
    GLhandleARB shader = glCreateShaderObjectARB(stage);
    const GLcharARB* text = source.data();
    GLint length = static_cast<GLint>(source.size());
    glShaderSourceARB(shader, 1, &text, &length);
    glCompileShaderARB(shader);
    GLint compiled = 0;
    glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
    if (!compiled) {
        glGetInfoLogARB(shader, sizeof compileLog, nullptr, compileLog);
        char head[512];
        snprintf(head, sizeof head, "Error compiling %s shader '%s':\n",
                 stage == GL_VERTEX_SHADER_ARB ? "vertex" : "fragment", name.c_str());
        fatalWithLog(head, compileLog);
    }
    return shader;
}

Shader& ShaderManager::addProgram(const std::string& name, const std::string& vertexSource,
                                  const std::string& fragmentSource) {
    GLhandleARB program = glCreateProgramObjectARB();
    if (!vertexSource.empty())
        glAttachObjectARB(program, compileShader(GL_VERTEX_SHADER_ARB, name, vertexSource));
    if (!fragmentSource.empty())
        glAttachObjectARB(program, compileShader(GL_FRAGMENT_SHADER_ARB, name, fragmentSource));
    glLinkProgramARB(program);
    GLint linked = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (!linked) {
        glGetInfoLogARB(program, sizeof linkLog, nullptr, linkLog);
        char head[512];
        snprintf(head, sizeof head, "Error linking shader '%s':\n", name.c_str());
        fatalWithLog(head, linkLog);
    }
    Shader& shader = entry(name);
    shader.program = program;
    return shader;
}

Shader& ShaderManager::addProgramFiles(const std::string& name, const std::string& vertexPath,
                                       const std::string& fragmentPath) {
    std::string vertexSource = vertexPath.empty() ? std::string() : readText(vertexPath);
    std::string fragmentSource = fragmentPath.empty() ? std::string() : readText(fragmentPath);
    return addProgram(name, vertexSource, fragmentSource);
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
