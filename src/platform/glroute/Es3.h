#pragma once
// The route's sink: the GL ES 3.0 calls it makes, as one table of function pointers. In the browser
// the table holds WebGL 2's functions (Es3Web.cpp); on the desktop it holds Mesa's GL ES 3 (through
// EGL, Es3Desktop.cpp), handed to the route when the engine starts GL (glewInit, in the same files);
// in the tests, functions that record. Nothing else in the route calls GL: every call goes through
// this table.
#include <GL/glew.h>

// Each entry: return type, name without the gl prefix, parameters, arguments.
//
// Calls the engine makes that mean the same in GL 2.1 and ES 3.0: the route defines each of them
// as an entry point that hands it on unchanged (PassThrough.cpp). The engine's tests make some of
// these too (the Is* and Get* ones).
#define GLROUTE_PASSED_CALLS(X)                                                                           \
    X(void, BindFramebuffer, (GLenum target, GLuint framebuffer), (target, framebuffer))                 \
    X(void, BindRenderbuffer, (GLenum target, GLuint renderbuffer), (target, renderbuffer))              \
    X(void, BlendFunc, (GLenum sfactor, GLenum dfactor), (sfactor, dfactor))                             \
    X(void, BufferData, (GLenum target, GLsizeiptr size, const void* data, GLenum usage),                \
      (target, size, data, usage))                                                                        \
    X(GLenum, CheckFramebufferStatus, (GLenum target), (target))                                          \
    X(void, Clear, (GLbitfield mask), (mask))                                                             \
    X(void, ClearColor, (GLfloat r, GLfloat g, GLfloat b, GLfloat a), (r, g, b, a))                       \
    X(void, ColorMask, (GLboolean r, GLboolean g, GLboolean b, GLboolean a), (r, g, b, a))                \
    X(GLuint, CreateShader, (GLenum type), (type))                                                        \
    X(void, CullFace, (GLenum mode), (mode))                                                              \
    X(void, DeleteBuffers, (GLsizei n, const GLuint* buffers), (n, buffers))                              \
    X(void, DeleteFramebuffers, (GLsizei n, const GLuint* framebuffers), (n, framebuffers))               \
    X(void, DeleteProgram, (GLuint program), (program))                                                   \
    X(void, DeleteRenderbuffers, (GLsizei n, const GLuint* renderbuffers), (n, renderbuffers))            \
    X(void, DeleteShader, (GLuint shader), (shader))                                                      \
    X(void, DeleteTextures, (GLsizei n, const GLuint* textures), (n, textures))                           \
    X(void, DepthFunc, (GLenum func), (func))                                                             \
    X(void, DepthMask, (GLboolean flag), (flag))                                                          \
    X(void, Finish, (void), ())                                                                           \
    X(void, Flush, (void), ())                                                                            \
    X(void, FramebufferRenderbuffer, (GLenum target, GLenum attachment, GLenum rbtarget, GLuint rb),      \
      (target, attachment, rbtarget, rb))                                                                 \
    X(void, FramebufferTexture2D,                                                                         \
      (GLenum target, GLenum attachment, GLenum textarget, GLuint texture, GLint level),                  \
      (target, attachment, textarget, texture, level))                                                    \
    X(void, FrontFace, (GLenum mode), (mode))                                                             \
    X(void, GenBuffers, (GLsizei n, GLuint * buffers), (n, buffers))                                      \
    X(void, GenFramebuffers, (GLsizei n, GLuint * framebuffers), (n, framebuffers))                       \
    X(void, GenRenderbuffers, (GLsizei n, GLuint * renderbuffers), (n, renderbuffers))                    \
    X(void, GenTextures, (GLsizei n, GLuint * textures), (n, textures))                                   \
    X(void, GetActiveUniform,                                                                             \
      (GLuint program, GLuint index, GLsizei bufSize, GLsizei* length, GLint* size, GLenum* type,         \
       GLchar* name),                                                                                     \
      (program, index, bufSize, length, size, type, name))                                                \
    X(GLint, GetAttribLocation, (GLuint program, const GLchar* name), (program, name))                    \
    X(void, GetBooleanv, (GLenum pname, GLboolean * data), (pname, data))                                 \
    X(void, GetBufferParameteriv, (GLenum target, GLenum pname, GLint * params), (target, pname, params)) \
    X(void, GetFramebufferAttachmentParameteriv,                                                          \
      (GLenum target, GLenum attachment, GLenum pname, GLint * params), (target, attachment, pname, params)) \
    X(void, GetTexParameteriv, (GLenum target, GLenum pname, GLint * params), (target, pname, params))    \
    X(void, GetUniformiv, (GLuint program, GLint location, GLint * params), (program, location, params))  \
    X(GLboolean, IsBuffer, (GLuint buffer), (buffer))                                                     \
    X(GLboolean, IsFramebuffer, (GLuint framebuffer), (framebuffer))                                      \
    X(GLboolean, IsTexture, (GLuint texture), (texture))                                                  \
    X(void, LineWidth, (GLfloat width), (width))                                                          \
    X(void, PixelStorei, (GLenum pname, GLint param), (pname, param))                                     \
    X(void, ReadBuffer, (GLenum src), (src))                                                              \
    X(void, RenderbufferStorage, (GLenum target, GLenum format, GLsizei width, GLsizei height),           \
      (target, format, width, height))                                                                    \
    X(void, Scissor, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))            \
    X(void, TexParameteri, (GLenum target, GLenum pname, GLint param), (target, pname, param))            \
    X(void, TexSubImage2D,                                                                                \
      (GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,        \
       GLenum type, const void* pixels),                                                                  \
      (target, level, x, y, width, height, format, type, pixels))                                         \
    X(void, Uniform1f, (GLint location, GLfloat v0), (location, v0))                                      \
    X(void, Uniform1i, (GLint location, GLint v0), (location, v0))                                        \
    X(void, Uniform3i, (GLint location, GLint v0, GLint v1, GLint v2), (location, v0, v1, v2))            \
    X(void, Uniform4f, (GLint location, GLfloat v0, GLfloat v1, GLfloat v2, GLfloat v3),                  \
      (location, v0, v1, v2, v3))

// Calls only the route itself makes: the engine's entry points of these names (where it has them)
// are the route's own, with the fixed-function pipeline's meaning.
#define GLROUTE_OWN_CALLS(X)                                                                              \
    X(void, ActiveTexture, (GLenum texture), (texture))                                                   \
    X(void, AttachShader, (GLuint program, GLuint shader), (program, shader))                            \
    X(void, BindBuffer, (GLenum target, GLuint buffer), (target, buffer))                                 \
    X(void, BindTexture, (GLenum target, GLuint texture), (target, texture))                              \
    X(void, BlendColor, (GLfloat r, GLfloat g, GLfloat b, GLfloat a), (r, g, b, a))                       \
    X(void, BufferSubData, (GLenum target, GLintptr offset, GLsizeiptr size, const void* data),           \
      (target, offset, size, data))                                                                       \
    X(void, ClearDepthf, (GLfloat depth), (depth))                                                        \
    X(void, CompileShader, (GLuint shader), (shader))                                                     \
    X(GLuint, CreateProgram, (void), ())                                                                  \
    X(void, DepthRangef, (GLfloat n, GLfloat f), (n, f))                                                  \
    X(void, Disable, (GLenum cap), (cap))                                                                 \
    X(void, DisableVertexAttribArray, (GLuint index), (index))                                            \
    X(void, DrawArrays, (GLenum mode, GLint first, GLsizei count), (mode, first, count))                  \
    X(void, DrawElements, (GLenum mode, GLsizei count, GLenum type, const void* indices),                 \
      (mode, count, type, indices))                                                                       \
    X(void, DetachShader, (GLuint program, GLuint shader), (program, shader))                            \
    X(void, Enable, (GLenum cap), (cap))                                                                  \
    X(void, EnableVertexAttribArray, (GLuint index), (index))                                             \
    X(GLenum, GetError, (void), ())                                                                       \
    X(void, GetFloatv, (GLenum pname, GLfloat * data), (pname, data))                                     \
    X(void, GetIntegerv, (GLenum pname, GLint * data), (pname, data))                                     \
    X(void, GetProgramInfoLog, (GLuint program, GLsizei bufSize, GLsizei* length, GLchar* log),           \
      (program, bufSize, length, log))                                                                    \
    X(void, GetProgramiv, (GLuint program, GLenum pname, GLint * params), (program, pname, params))       \
    X(void, GetShaderInfoLog, (GLuint shader, GLsizei bufSize, GLsizei* length, GLchar* log),             \
      (shader, bufSize, length, log))                                                                     \
    X(void, GetShaderiv, (GLuint shader, GLenum pname, GLint * params), (shader, pname, params))          \
    X(GLint, GetUniformLocation, (GLuint program, const GLchar* name), (program, name))                   \
    X(void, Hint, (GLenum target, GLenum mode), (target, mode))                                           \
    X(GLboolean, IsEnabled, (GLenum cap), (cap))                                                          \
    X(void, LinkProgram, (GLuint program), (program))                                                     \
    X(void, ReadPixels,                                                                                   \
      (GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels),        \
      (x, y, width, height, format, type, pixels))                                                        \
    X(void, ShaderSource, (GLuint shader, GLsizei count, const GLchar* const* string, const GLint* length), \
      (shader, count, string, length))                                                                    \
    X(void, TexImage2D,                                                                                   \
      (GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,     \
       GLenum format, GLenum type, const void* pixels),                                                   \
      (target, level, internalformat, width, height, border, format, type, pixels))                       \
    X(void, Uniform1iv, (GLint location, GLsizei count, const GLint* value), (location, count, value))    \
    X(void, Uniform2fv, (GLint location, GLsizei count, const GLfloat* value), (location, count, value))  \
    X(void, Uniform2iv, (GLint location, GLsizei count, const GLint* value), (location, count, value))    \
    X(void, UniformMatrix3fv, (GLint location, GLsizei count, GLboolean transpose, const GLfloat* value), \
      (location, count, transpose, value))                                                                \
    X(void, UniformMatrix4fv, (GLint location, GLsizei count, GLboolean transpose, const GLfloat* value), \
      (location, count, transpose, value))                                                                \
    X(void, UseProgram, (GLuint program), (program))                                                      \
    X(void, VertexAttrib4fv, (GLuint index, const GLfloat* v), (index, v))                                \
    X(void, VertexAttribPointer,                                                                          \
      (GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride, const void* pointer), \
      (index, size, type, normalized, stride, pointer))                                                   \
    X(void, Viewport, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))

namespace glroute {

struct Es3 {
#define GLROUTE_ES3_MEMBER(result, name, parameters, arguments) result(GL_APIENTRY* name) parameters = nullptr;
    GLROUTE_PASSED_CALLS(GLROUTE_ES3_MEMBER)
    GLROUTE_OWN_CALLS(GLROUTE_ES3_MEMBER)
#undef GLROUTE_ES3_MEMBER
};

} // namespace glroute
