#pragma once
// The three GLU calls the engine makes, on the route's matrix stacks (see GL/glew.h).
#include <GL/glew.h>

#ifdef __cplusplus
extern "C" {
#endif

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar);
void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY, GLdouble centerZ,
               GLdouble upX, GLdouble upY, GLdouble upZ);
// The base level as given (pictures are already padded to powers of two), then every smaller level
// averaged from it as GLU averages them. Unsigned bytes only.
GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format,
                        GLenum type, const void* data);

#ifdef __cplusplus
}
#endif
