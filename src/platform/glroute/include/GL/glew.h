#pragma once
// OpenGL as the GL route gives it: the engine's sources include <GL/glew.h> and <GL/glu.h> and call
// the OpenGL 2.1 entry points they always call. With this header first on the include path, those
// reach GL ES 3.0 (WebGL 2 in the browser, Mesa's GL ES 3 on the desktop) through the route in
// platform/glroute, which covers the subset this engine uses: immediate-mode drawing, the matrix
// stacks, client arrays in buffer objects, the texture environment, attribute push and pop, and
// shader objects whose GLSL 1.10 sources are rewritten to GLSL ES 3.00 when they are given. Calls
// with the same meaning in ES 3.0 are handed on unchanged. Every entry point is the route's own,
// so a program built on it links no GL library.
#include <GLES3/gl3.h>
#include <stddef.h>

// Code that must know which GL it has (tests of the route's own limits) asks for this.
#define LUMORAKKA_GL_ROUTE 1

#ifdef __cplusplus
extern "C" {
#endif

typedef double GLdouble;
typedef double GLclampd;
typedef unsigned int GLhandleARB;
typedef char GLcharARB;
typedef ptrdiff_t GLsizeiptrARB;
typedef ptrdiff_t GLintptrARB;

// Desktop enumerants the engine passes; the values are OpenGL's.
#define GL_QUADS 0x0007
#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701
#define GL_TEXTURE 0x1702
#define GL_MATRIX_MODE 0x0BA0
#define GL_MODELVIEW_STACK_DEPTH 0x0BA3
#define GL_PROJECTION_STACK_DEPTH 0x0BA4
#define GL_MODELVIEW_MATRIX 0x0BA6
#define GL_PROJECTION_MATRIX 0x0BA7
#define GL_ATTRIB_STACK_DEPTH 0x0BB0
#define GL_STACK_OVERFLOW 0x0503
#define GL_STACK_UNDERFLOW 0x0504
#define GL_LIGHTING 0x0B50
#define GL_LIGHT0 0x4000
#define GL_NORMALIZE 0x0BA1
#define GL_COLOR_MATERIAL 0x0B57
#define GL_LIGHTING_BIT 0x00000040
#define GL_VIEWPORT_BIT 0x00000800
#define GL_SMOOTH 0x1D01
#define GL_FLAT 0x1D00
#define GL_PERSPECTIVE_CORRECTION_HINT 0x0C50
#define GL_CLAMP 0x2900
#define GL_TEXTURE_CUBE_MAP_SEAMLESS 0x884F
#define GL_BGR 0x80E0
#define GL_BGRA 0x80E1
#define GL_ALPHA8 0x803C
#define GL_LUMINANCE8 0x8040
#define GL_LUMINANCE8_ALPHA8 0x8045
#define GL_MAX_TEXTURE_COORDS 0x8871
#define GL_VERTEX_ARRAY 0x8074
#define GL_NORMAL_ARRAY 0x8075
#define GL_COLOR_ARRAY 0x8076
#define GL_TEXTURE_COORD_ARRAY 0x8078
#define GL_SECONDARY_COLOR_ARRAY 0x845E
#define GL_TEXTURE_ENV 0x2300
#define GL_TEXTURE_ENV_MODE 0x2200
#define GL_MODULATE 0x2100
#define GL_DECAL 0x2101
#define GL_ADD 0x0104
#define GL_COMBINE 0x8570
#define GL_COMBINE_RGB 0x8571
#define GL_COMBINE_ALPHA 0x8572
#define GL_RGB_SCALE 0x8573
#define GL_ALPHA_SCALE 0x0D1C
#define GL_CONSTANT 0x8576
#define GL_PRIMARY_COLOR 0x8577
#define GL_PREVIOUS 0x8578
#define GL_SOURCE0_RGB 0x8580
#define GL_SOURCE1_RGB 0x8581
#define GL_SOURCE0_ALPHA 0x8588
#define GL_SOURCE1_ALPHA 0x8589

// Desktop enumerants of the queries the route answers from its own state.
#define GL_CURRENT_COLOR 0x0B00
#define GL_TEXTURE_MATRIX 0x0BA8
#define GL_BLEND_DST 0x0BE0
#define GL_BLEND_SRC 0x0BE1
#define GL_TEXTURE_WIDTH 0x1000
#define GL_TEXTURE_HEIGHT 0x1001
#define GL_TEXTURE_INTERNAL_FORMAT 0x1003
#define GL_CLIENT_ACTIVE_TEXTURE 0x84E1
#define GL_VERTEX_ARRAY_SIZE 0x807A
#define GL_VERTEX_ARRAY_TYPE 0x807B
#define GL_VERTEX_ARRAY_STRIDE 0x807C
#define GL_NORMAL_ARRAY_TYPE 0x807E
#define GL_NORMAL_ARRAY_STRIDE 0x807F
#define GL_COLOR_ARRAY_SIZE 0x8081
#define GL_COLOR_ARRAY_TYPE 0x8082
#define GL_COLOR_ARRAY_STRIDE 0x8083
#define GL_TEXTURE_COORD_ARRAY_SIZE 0x8088
#define GL_TEXTURE_COORD_ARRAY_TYPE 0x8089
#define GL_TEXTURE_COORD_ARRAY_STRIDE 0x808A
#define GL_SECONDARY_COLOR_ARRAY_SIZE 0x845A
#define GL_SECONDARY_COLOR_ARRAY_TYPE 0x845B
#define GL_SECONDARY_COLOR_ARRAY_STRIDE 0x845C
#define GL_VERTEX_ARRAY_BUFFER_BINDING 0x8896
#define GL_NORMAL_ARRAY_BUFFER_BINDING 0x8897
#define GL_COLOR_ARRAY_BUFFER_BINDING 0x8898
#define GL_TEXTURE_COORD_ARRAY_BUFFER_BINDING 0x889A
#define GL_SECONDARY_COLOR_ARRAY_BUFFER_BINDING 0x889C
#define GL_VERTEX_ARRAY_POINTER 0x808E
#define GL_NORMAL_ARRAY_POINTER 0x808F
#define GL_COLOR_ARRAY_POINTER 0x8090
#define GL_TEXTURE_COORD_ARRAY_POINTER 0x8092
#define GL_SECONDARY_COLOR_ARRAY_POINTER 0x845D

#define GL_ARRAY_BUFFER_ARB GL_ARRAY_BUFFER
#define GL_ELEMENT_ARRAY_BUFFER_ARB GL_ELEMENT_ARRAY_BUFFER
#define GL_STATIC_DRAW_ARB GL_STATIC_DRAW
#define GL_VERTEX_SHADER_ARB GL_VERTEX_SHADER
#define GL_FRAGMENT_SHADER_ARB GL_FRAGMENT_SHADER
#define GL_OBJECT_COMPILE_STATUS_ARB GL_COMPILE_STATUS
#define GL_OBJECT_LINK_STATUS_ARB GL_LINK_STATUS
#define GL_FRAMEBUFFER_EXT GL_FRAMEBUFFER
#define GL_RENDERBUFFER_EXT GL_RENDERBUFFER
#define GL_COLOR_ATTACHMENT0_EXT GL_COLOR_ATTACHMENT0
#define GL_DEPTH_ATTACHMENT_EXT GL_DEPTH_ATTACHMENT
#define GL_FRAMEBUFFER_COMPLETE_EXT GL_FRAMEBUFFER_COMPLETE
#define GL_FRAMEBUFFER_BINDING_EXT GL_FRAMEBUFFER_BINDING
#define GL_MAX_RENDERBUFFER_SIZE_EXT GL_MAX_RENDERBUFFER_SIZE
#define GL_BUFFER_SIZE_ARB GL_BUFFER_SIZE
#define GL_OBJECT_ATTACHED_OBJECTS_ARB GL_ATTACHED_SHADERS

// Entry points the ES 3.0 names carry unchanged.
#define glGenBuffersARB glGenBuffers
#define glBufferDataARB glBufferData
#define glCreateProgramObjectARB glCreateProgram
#define glCreateShaderObjectARB glCreateShader
#define glAttachObjectARB glAttachShader
#define glCompileShaderARB glCompileShader
#define glLinkProgramARB glLinkProgram
#define glGetUniformLocationARB glGetUniformLocation
#define glUniform1iARB glUniform1i
#define glUniform1fARB glUniform1f
#define glUniform4fARB glUniform4f
#define glActiveTextureARB glActiveTexture
#define GL_TEXTURE0_ARB GL_TEXTURE0
#define GL_TEXTURE1_ARB GL_TEXTURE1
#define glUniform3iARB glUniform3i
#define glBlendColorEXT glBlendColor
#define glGenFramebuffersEXT glGenFramebuffers
#define glDeleteFramebuffersEXT glDeleteFramebuffers
#define glBindFramebufferEXT glBindFramebuffer
#define glFramebufferTexture2DEXT glFramebufferTexture2D
#define glGenRenderbuffersEXT glGenRenderbuffers
#define glBindRenderbufferEXT glBindRenderbuffer
#define glRenderbufferStorageEXT glRenderbufferStorage
#define glFramebufferRenderbufferEXT glFramebufferRenderbuffer
#define glCheckFramebufferStatusEXT glCheckFramebufferStatus
#define glDeleteRenderbuffersEXT glDeleteRenderbuffers
#define glIsFramebufferEXT glIsFramebuffer
#define glGetFramebufferAttachmentParameterivEXT glGetFramebufferAttachmentParameteriv
#define glDeleteBuffersARB glDeleteBuffers
#define glIsBufferARB glIsBuffer
#define glGetBufferParameterivARB glGetBufferParameteriv
#define glGetUniformivARB glGetUniformiv
#define glGetActiveUniformARB glGetActiveUniform

// Emulated: immediate mode.
void glBegin(GLenum mode);
void glEnd(void);
void glVertex2f(GLfloat x, GLfloat y);
void glVertex3f(GLfloat x, GLfloat y, GLfloat z);
void glVertex3fv(const GLfloat* v);
void glNormal3f(GLfloat x, GLfloat y, GLfloat z);
void glNormal3fv(const GLfloat* v);
void glColor3f(GLfloat r, GLfloat g, GLfloat b);
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void glTexCoord2f(GLfloat s, GLfloat t);
void glMultiTexCoord2fARB(GLenum texture, GLfloat s, GLfloat t);

// Emulated: the matrix stacks.
void glMatrixMode(GLenum mode);
void glLoadIdentity(void);
void glLoadMatrixf(const GLfloat* m);
void glMultMatrixf(const GLfloat* m);
void glPushMatrix(void);
void glPopMatrix(void);
void glTranslatef(GLfloat x, GLfloat y, GLfloat z);
void glScalef(GLfloat x, GLfloat y, GLfloat z);
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar);

// Emulated: state of the fixed-function pipeline, and reading it back.
void glPushAttrib(GLbitfield mask);
void glPopAttrib(void);
void glTexEnvi(GLenum target, GLenum pname, GLint param);
void glTexEnvf(GLenum target, GLenum pname, GLfloat param);
void glShadeModel(GLenum mode);
void glClearDepth(GLclampd depth);
void glGetTexEnviv(GLenum target, GLenum pname, GLint* params);
void glGetPointerv(GLenum pname, void** params);
// Level 0 of a 2D texture: its size and internal format as given.
void glGetTexLevelParameteriv(GLenum target, GLint level, GLenum pname, GLint* params);
// A 2D texture's level as RGBA bytes.
void glGetTexImage(GLenum target, GLint level, GLenum format, GLenum type, void* pixels);

// Emulated: client arrays (in buffer objects only; WebGL has no client-side arrays).
void glEnableClientState(GLenum array);
void glDisableClientState(GLenum array);
void glClientActiveTexture(GLenum texture);
void glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void glNormalPointer(GLenum type, GLsizei stride, const void* pointer);
void glColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void glSecondaryColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void glBindBufferARB(GLenum target, GLuint buffer);

// Shader objects under their ARB names, where ES 3.0 splits or changes them.
void glShaderSourceARB(GLhandleARB shader, GLsizei count, const GLcharARB** strings, const GLint* lengths);
void glUseProgramObjectARB(GLhandleARB program);
void glGetObjectParameterivARB(GLhandleARB object, GLenum pname, GLint* params);
void glGetInfoLogARB(GLhandleARB object, GLsizei maxLength, GLsizei* length, GLcharARB* infoLog);

// The extension loader: everything the engine asks for is there.
#define GLEW_OK 0
#define GLEW_ARB_shading_language_100 1
#define GLEW_ARB_seamless_cube_map 1 // always on in ES 3
GLenum glewInit(void);
const GLubyte* glewGetErrorString(GLenum error);

#ifdef __cplusplus
}
#endif
