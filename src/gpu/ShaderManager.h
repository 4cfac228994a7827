#pragma once
// GLSL programs by name, built through the ARB shader objects from source strings or files.
// use/unuse switch the GL program; the uniform setters address the program in use.
// Compile and link failures are fatal and carry GL's log.
#include <string>

#include "base/Manager.h"

namespace rovena {

struct Shader {
    unsigned int program = 0; // GL program object handle
};

class ShaderManager : public UseManager<Shader> {
public:
    std::string typeName() const override { return "shader"; }
    void bind(const std::string& name) override;
    void unbind() override;

    // stage is GL_VERTEX_SHADER_ARB or GL_FRAGMENT_SHADER_ARB; name, and the file the source came
    // from when given, only label the error.
    unsigned int compileShader(unsigned int stage, const std::string& name, const std::string& source,
                               const std::string& sourceFile = "");
    // An empty source leaves its stage out. The files name where each source came from in errors.
    Shader& addProgram(const std::string& name, const std::string& vertexSource,
                       const std::string& fragmentSource, const std::string& vertexFile = "",
                       const std::string& fragmentFile = "");
    // An empty path, or a file that can't be opened, leaves its stage out.
    Shader& addProgramFiles(const std::string& name, const std::string& vertexPath,
                            const std::string& fragmentPath);
    // The whole file; empty when it isn't a regular file that can be opened and read whole.
    static std::string readText(const std::string& path);

    void setUniform1i(const std::string& uniformName, int value);
    void setUniform3i(const std::string& uniformName, int x, int y, int z);
};

} // namespace rovena

// The whole file and a terminating NUL, or null when it can't be opened and read whole (a
// directory counts as unopenable). Caller frees with delete[].
char* readFileBytes(const char* path);
