// Shader objects under their ARB names: each GLSL 1.10 source is rewritten to GLSL ES 3.00 when it
// is given (ShaderRewrite.h). A source that can't be rewritten is not compiled: the shader then
// reports a failed compile whose log says what it uses that the route does not feed.
#include <algorithm>
#include <cstring>

#include "platform/glroute/RouteState.h"
#include "platform/glroute/ShaderRewrite.h"

using glroute::State;
using glroute::state;

extern "C" {

void glShaderSourceARB(GLhandleARB shader, GLsizei count, const GLcharARB** strings, const GLint* lengths) {
    State& s = state();
    std::string source;
    for (GLsizei i = 0; i < count; ++i)
        source.append(strings[i],
                      lengths && lengths[i] >= 0 ? static_cast<size_t>(lengths[i]) : strlen(strings[i]));
    GLint type = 0;
    s.es3.GetShaderiv(shader, GL_SHADER_TYPE, &type);
    const glroute::ShaderStage stage =
        type == GL_VERTEX_SHADER ? glroute::ShaderStage::vertex : glroute::ShaderStage::fragment;
    std::string rewritten, error;
    if (!glroute::rewriteShader(stage, source, rewritten, error)) {
        s.shaderRewriteErrors[shader] = "The shader " + error + ".";
        return;
    }
    s.shaderRewriteErrors.erase(shader);
    const char* text = rewritten.c_str();
    s.es3.ShaderSource(shader, 1, &text, nullptr);
}

void glCompileShader(GLuint shader) {
    State& s = state();
    if (!s.shaderRewriteErrors.count(shader)) s.es3.CompileShader(shader);
}

GLuint glCreateProgram(void) {
    State& s = state();
    const GLuint program = s.es3.CreateProgram();
    s.programs.insert(program);
    return program;
}

void glLinkProgram(GLuint program) {
    State& s = state();
    s.es3.LinkProgram(program);
    s.programUniforms.erase(program);
}

void glUseProgramObjectARB(GLhandleARB program) {
    State& s = state();
    s.userProgram = program;
    if (program != s.realProgram) {
        s.es3.UseProgram(program);
        s.realProgram = program;
    }
}

void glGetObjectParameterivARB(GLhandleARB object, GLenum pname, GLint* params) {
    State& s = state();
    if (s.programs.count(object))
        s.es3.GetProgramiv(object, pname, params);
    else if (pname == GL_COMPILE_STATUS && s.shaderRewriteErrors.count(object))
        *params = GL_FALSE;
    else
        s.es3.GetShaderiv(object, pname, params);
}

void glGetInfoLogARB(GLhandleARB object, GLsizei maxLength, GLsizei* length, GLcharARB* infoLog) {
    State& s = state();
    const auto rewriteError = s.shaderRewriteErrors.find(object);
    if (rewriteError != s.shaderRewriteErrors.end() && maxLength > 0) {
        const size_t used = std::min(rewriteError->second.size(), static_cast<size_t>(maxLength - 1));
        memcpy(infoLog, rewriteError->second.data(), used);
        infoLog[used] = '\0';
        if (length) *length = static_cast<GLsizei>(used);
        return;
    }
    if (s.programs.count(object))
        s.es3.GetProgramInfoLog(object, maxLength, length, infoLog);
    else
        s.es3.GetShaderInfoLog(object, maxLength, length, infoLog);
}

} // extern "C"
