// The matrix stacks and GLU's transforms, as GL computes them (Transforms.h).
#include <GL/glu.h>

#include <glm/ext/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "platform/glroute/RouteState.h"
#include "platform/glroute/Transforms.h"

using glroute::State;
using glroute::state;

namespace {

glroute::MatrixStack& currentStack(State& s) {
    if (s.matrixMode == GL_PROJECTION) return s.projection;
    if (s.matrixMode == GL_TEXTURE) return s.textureMatrices[s.activeUnit];
    return s.modelView;
}

void multiplyCurrent(const glm::mat4& matrix) {
    glm::mat4& top = currentStack(state()).top();
    top = top * matrix;
}

} // namespace

extern "C" {

void glMatrixMode(GLenum mode) {
    State& s = state();
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION && mode != GL_TEXTURE)
        glroute::raise(s, GL_INVALID_ENUM);
    else
        s.matrixMode = mode;
}

void glLoadIdentity(void) {
    currentStack(state()).top() = glm::mat4(1.0f);
}

void glLoadMatrixf(const GLfloat* m) {
    currentStack(state()).top() = glm::make_mat4(m);
}

void glMultMatrixf(const GLfloat* m) {
    multiplyCurrent(glm::make_mat4(m));
}

void glPushMatrix(void) {
    State& s = state();
    glroute::MatrixStack& stack = currentStack(s);
    if (static_cast<int>(stack.entries.size()) >= glroute::matrixStackDepth)
        glroute::raise(s, GL_STACK_OVERFLOW);
    else
        stack.entries.push_back(stack.top());
}

void glPopMatrix(void) {
    State& s = state();
    glroute::MatrixStack& stack = currentStack(s);
    if (stack.entries.size() <= 1)
        glroute::raise(s, GL_STACK_UNDERFLOW);
    else
        stack.entries.pop_back();
}

// Translation and scaling change the current matrix in place, as GL's own do.
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    glm::mat4& top = currentStack(state()).top();
    top = glm::translate(top, glm::vec3(x, y, z));
}

void glScalef(GLfloat x, GLfloat y, GLfloat z) {
    glm::mat4& top = currentStack(state()).top();
    top = glm::scale(top, glm::vec3(x, y, z));
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    multiplyCurrent(glroute::rotation(angle, x, y, z));
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar) {
    multiplyCurrent(glroute::orthographic(left, right, bottom, top, zNear, zFar));
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    multiplyCurrent(glroute::perspective(fovy, aspect, zNear, zFar));
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
    multiplyCurrent(glroute::lookAtRotation(eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ));
    glTranslatef(static_cast<GLfloat>(-eyeX), static_cast<GLfloat>(-eyeY), static_cast<GLfloat>(-eyeZ));
}

} // extern "C"
