#include "route/unit/RecordingSink.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/glroute/RouteState.h"

Recording recording;

namespace {

template <typename T> double number(T value) {
    if constexpr (std::is_pointer_v<T>)
        return static_cast<double>(reinterpret_cast<uintptr_t>(value));
    else
        return static_cast<double>(value);
}

// A call's answer when the script has none: zero of whatever the call returns.
struct Zero {
    template <typename T> operator T() const { return T(); }
};

struct Record {
    const char* name;
    template <typename... Arguments> Zero operator()(Arguments... arguments) const {
        recording.calls.push_back({name, {number(arguments)...}});
        return {};
    }
};

#define RECORDING_SINK_CALL(result, name, parameters, arguments)                                               \
    result GL_APIENTRY record##name parameters { return static_cast<result>(Record{#name} arguments); }
GLROUTE_PASSED_CALLS(RECORDING_SINK_CALL)
GLROUTE_OWN_CALLS(RECORDING_SINK_CALL)
#undef RECORDING_SINK_CALL

// The calls whose answers or data the tests read: recorded as every call is, then answered.
GLenum GL_APIENTRY answerGetError() {
    recordGetError();
    if (recording.errors.empty()) return GL_NO_ERROR;
    const GLenum error = recording.errors.front();
    recording.errors.pop_front();
    return error;
}

void GL_APIENTRY answerGetIntegerv(GLenum pname, GLint* data) {
    recordGetIntegerv(pname, data);
    const auto found = recording.integers.find(pname);
    if (found != recording.integers.end()) memcpy(data, found->second.data(), found->second.size() * sizeof(GLint));
}

GLuint GL_APIENTRY answerCreateShader(GLenum type) {
    recordCreateShader(type);
    recording.shaderTypes[++recording.lastName] = type;
    return recording.lastName;
}

GLuint GL_APIENTRY answerCreateProgram() {
    recordCreateProgram();
    return ++recording.lastName;
}

void GL_APIENTRY answerGenBuffers(GLsizei n, GLuint* buffers) {
    recordGenBuffers(n, buffers);
    for (GLsizei i = 0; i < n; ++i) buffers[i] = ++recording.lastName;
}

void GL_APIENTRY answerGetShaderiv(GLuint shader, GLenum pname, GLint* params) {
    recordGetShaderiv(shader, pname, params);
    *params = pname == GL_SHADER_TYPE ? static_cast<GLint>(recording.shaderTypes[shader]) : recording.compileStatus;
}

void GL_APIENTRY answerGetProgramiv(GLuint program, GLenum pname, GLint* params) {
    recordGetProgramiv(program, pname, params);
    *params = recording.linkStatus;
}

GLint GL_APIENTRY answerGetUniformLocation(GLuint program, const GLchar* name) {
    recordGetUniformLocation(program, name);
    if (recording.missingUniforms.count(name)) return -1;
    return recording.uniforms.emplace(name, static_cast<GLint>(recording.uniforms.size())).first->second;
}

void GL_APIENTRY answerBindBuffer(GLenum target, GLuint buffer) {
    recordBindBuffer(target, buffer);
    if (target == GL_ARRAY_BUFFER) recording.boundArrayBuffer = buffer;
}

void GL_APIENTRY answerBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage) {
    recordBufferData(target, size, data, usage);
    const auto* bytes = static_cast<const unsigned char*>(data);
    recording.buffers[recording.boundArrayBuffer].assign(bytes, bytes + size);
}

void GL_APIENTRY answerBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, const void* data) {
    recordBufferSubData(target, offset, size, data);
    // Past the buffer's end GL ES writes nothing (GL_INVALID_VALUE).
    std::vector<unsigned char>& bytes = recording.buffers[recording.boundArrayBuffer];
    if (offset >= 0 && size >= 0 && static_cast<size_t>(offset + size) <= bytes.size())
        memcpy(bytes.data() + offset, data, size);
}

void GL_APIENTRY answerVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized,
                                           GLsizei stride, const void* pointer) {
    recordVertexAttribPointer(index, size, type, normalized, stride, pointer);
    recording.attributes[index].pointer = recording.calls.back().arguments;
    recording.attributes[index].pointer.erase(recording.attributes[index].pointer.begin());
    recording.attributes[index].pointer.push_back(recording.boundArrayBuffer);
}

void GL_APIENTRY answerEnableVertexAttribArray(GLuint index) {
    recordEnableVertexAttribArray(index);
    recording.attributes[index].enabled = true;
}

void GL_APIENTRY answerDisableVertexAttribArray(GLuint index) {
    recordDisableVertexAttribArray(index);
    recording.attributes[index].enabled = false;
}

// A uniform's values as a draw sees them: the count of vectors or matrices and their numbers.
template <typename T> void recordValues(const char* name, GLint location, GLsizei count, int size, const T* values) {
    SinkCall call{name, {static_cast<double>(location)}};
    for (int i = 0; i < count * size; ++i) call.arguments.push_back(values[i]);
    recording.calls.push_back(call);
}

void GL_APIENTRY answerUniform1iv(GLint location, GLsizei count, const GLint* value) {
    recordValues("Uniform1iv", location, count, 1, value);
}

void GL_APIENTRY answerUniform2iv(GLint location, GLsizei count, const GLint* value) {
    recordValues("Uniform2iv", location, count, 2, value);
}

void GL_APIENTRY answerUniform2fv(GLint location, GLsizei count, const GLfloat* value) {
    recordValues("Uniform2fv", location, count, 2, value);
}

void GL_APIENTRY answerVertexAttrib4fv(GLuint index, const GLfloat* v) {
    recordValues("VertexAttrib4fv", static_cast<GLint>(index), 1, 4, v);
    recording.attributes[index].current.assign(v, v + 4);
}

} // namespace

std::vector<std::vector<double>> Recording::of(const std::string& name) const {
    std::vector<std::vector<double>> found;
    for (const SinkCall& call : calls)
        if (call.name == name) found.push_back(call.arguments);
    return found;
}

std::vector<double> Recording::vertex(GLuint location, int index) const {
    const auto found = attributes.find(location);
    if (found == attributes.end()) return {0, 0, 0, 1};
    const AttributeArray& array = found->second;
    if (!array.enabled) return array.current;
    const int size = static_cast<int>(array.pointer[0]);
    const size_t stride = array.pointer[3] != 0 ? static_cast<size_t>(array.pointer[3]) : size * sizeof(float);
    const size_t start = static_cast<size_t>(array.pointer[4]) + index * stride;
    const std::vector<unsigned char>& bytes = buffers.at(static_cast<GLuint>(array.pointer[5]));
    std::vector<double> values;
    for (int i = 0; i < size; ++i) {
        float value = std::nanf(""); // past the buffer's end
        if (start + (i + 1) * sizeof value <= bytes.size()) memcpy(&value, &bytes[start + i * sizeof value], sizeof value);
        values.push_back(value);
    }
    return values;
}

std::vector<double> Recording::uniform(const std::string& name) const {
    const auto location = uniforms.find(name);
    if (location == uniforms.end()) return {};
    for (auto call = calls.rbegin(); call != calls.rend(); ++call)
        if (call->name.rfind("Uniform", 0) == 0 && call->arguments[0] == location->second)
            return std::vector<double>(call->arguments.begin() + 1, call->arguments.end());
    return {};
}

void startRecordingRoute() {
    recording = Recording();
    glroute::Es3 sink;
#define RECORDING_SINK_ENTRY(result, name, parameters, arguments) sink.name = record##name;
    GLROUTE_PASSED_CALLS(RECORDING_SINK_ENTRY)
    GLROUTE_OWN_CALLS(RECORDING_SINK_ENTRY)
#undef RECORDING_SINK_ENTRY
    sink.GetError = answerGetError;
    sink.GetIntegerv = answerGetIntegerv;
    sink.CreateShader = answerCreateShader;
    sink.CreateProgram = answerCreateProgram;
    sink.GenBuffers = answerGenBuffers;
    sink.GetShaderiv = answerGetShaderiv;
    sink.GetProgramiv = answerGetProgramiv;
    sink.GetUniformLocation = answerGetUniformLocation;
    sink.BindBuffer = answerBindBuffer;
    sink.BufferData = answerBufferData;
    sink.BufferSubData = answerBufferSubData;
    sink.Uniform1iv = answerUniform1iv;
    sink.Uniform2iv = answerUniform2iv;
    sink.Uniform2fv = answerUniform2fv;
    sink.VertexAttrib4fv = answerVertexAttrib4fv;
    sink.VertexAttribPointer = answerVertexAttribPointer;
    sink.EnableVertexAttribArray = answerEnableVertexAttribArray;
    sink.DisableVertexAttribArray = answerDisableVertexAttribArray;
    glroute::start(sink);
}
