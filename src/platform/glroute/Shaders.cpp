// Shader objects under their ARB names: each GLSL 1.10 source is rewritten to GLSL ES 3.00 when it
// is given (ShaderRewrite.h). A source that can't be rewritten is not compiled: the shader then
// reports a failed compile whose log says what it uses that the route does not feed. Programs link
// as GL 2.1 links them: one of a single stage gets the other from the route (ES links only pairs),
// and one of none links and draws as no program does.
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
    glroute::ShaderRecord& record = s.shaders[shader];
    record = glroute::ShaderRecord();
    record.vertex = stage == glroute::ShaderStage::vertex;
    if (!glroute::rewriteShader(stage, source, rewritten, error, &record.interface)) {
        s.shaderRewriteErrors[shader] = "The shader " + error + ".";
        return;
    }
    record.rewritten = true;
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

void glAttachShader(GLuint program, GLuint shader) {
    State& s = state();
    s.es3.AttachShader(program, shader);
    s.attachedShaders[program].push_back(shader);
}

void glLinkProgram(GLuint program) {
    State& s = state();
    s.programUniforms.erase(program);
    s.programsWithoutShaders.erase(program);
    const auto standIn = s.standInShaders.find(program);
    if (standIn != s.standInShaders.end()) {
        s.es3.DetachShader(program, standIn->second);
        s.es3.DeleteShader(standIn->second);
        s.standInShaders.erase(standIn);
    }
    // The stages the engine gave, and what the one it gave passes on.
    const glroute::ShaderRecord* vertex = nullptr;
    const glroute::ShaderRecord* fragment = nullptr;
    static const glroute::ShaderRecord unknown;
    for (GLuint shader : s.attachedShaders[program]) {
        const auto found = s.shaders.find(shader);
        const glroute::ShaderRecord& record = found == s.shaders.end() ? unknown : found->second;
        GLint type = 0;
        s.es3.GetShaderiv(shader, GL_SHADER_TYPE, &type);
        (type == GL_VERTEX_SHADER ? vertex : fragment) = &record;
    }
    if (!vertex && !fragment) {
        s.programsWithoutShaders.insert(program);
        return;
    }
    if (!vertex || !fragment) {
        const glroute::ShaderStage missing = vertex ? glroute::ShaderStage::fragment : glroute::ShaderStage::vertex;
        const std::string source = glroute::companionShader(missing, (vertex ? vertex : fragment)->interface);
        const GLuint shader =
            s.es3.CreateShader(missing == glroute::ShaderStage::vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
        const char* text = source.c_str();
        s.es3.ShaderSource(shader, 1, &text, nullptr);
        s.es3.CompileShader(shader);
        s.es3.AttachShader(program, shader);
        s.standInShaders[program] = shader;
    }
    s.es3.LinkProgram(program);
}

GLint glGetUniformLocation(GLuint program, const GLchar* name) {
    State& s = state();
    return s.programsWithoutShaders.count(program) ? -1 : s.es3.GetUniformLocation(program, name);
}

void glUseProgramObjectARB(GLhandleARB program) {
    State& s = state();
    s.userProgram = program;
    // A program without shaders is GL's fixed function, which the route draws itself.
    if (program != s.realProgram && !s.programsWithoutShaders.count(program)) {
        s.es3.UseProgram(program);
        s.realProgram = program;
    }
}

void glGetObjectParameterivARB(GLhandleARB object, GLenum pname, GLint* params) {
    State& s = state();
    if (s.programsWithoutShaders.count(object) && pname == GL_LINK_STATUS)
        *params = GL_TRUE;
    else if (s.programs.count(object))
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
