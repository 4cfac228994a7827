// The GL route's transforms against the desktop GL and GLU they stand in for: each matrix, and the
// matrices composed as the show composes them, must be GL's to the bit, or frames drawn through the
// route drift a level from the desktop's along every edge.
#include <GL/glew.h>
#include <GL/glu.h>

#include <cstring>
#include <glm/ext/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "platform/glroute/Transforms.h"
#include "support/GLContext.h"

namespace {

class RouteTransformsTest : public GLTest {};

void expectModelViewIs(const glm::mat4& route, const char* what) {
    GLfloat desktop[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, desktop);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(glm::value_ptr(route)[i], desktop[i]) << what << " [" << i << "]";
}

} // namespace

TEST_F(RouteTransformsTest, MatricesAreGLsToTheBit) {
    struct Step {
        const char* what;
        void (*desktop)();
        glm::mat4 (*route)(const glm::mat4& current);
    };
    const Step steps[] = {
        {"gluPerspective", [] { gluPerspective(90, 4.0f / 3.0f, 0.1, 1000.0); },
         [](const glm::mat4& m) { return m * glroute::perspective(90, 4.0f / 3.0f, 0.1, 1000.0); }},
        {"gluLookAt", [] { gluLookAt(7.3, 9.1, -4.2, 0.5, 0.2, 0, 0, 1, 0); },
         [](const glm::mat4& m) {
             return glm::translate(m * glroute::lookAtRotation(7.3, 9.1, -4.2, 0.5, 0.2, 0, 0, 1, 0),
                                   glm::vec3(-7.3f, -9.1f, 4.2f));
         }},
        {"glRotatef about -x", [] { glRotatef(-90, 1, 0, 0); },
         [](const glm::mat4& m) { return m * glroute::rotation(-90, 1, 0, 0); }},
        {"glRotatef about -y", [] { glRotatef(33, 0, -2, 0); },
         [](const glm::mat4& m) { return m * glroute::rotation(33, 0, -2, 0); }},
        {"glRotatef about z", [] { glRotatef(12.5f, 0, 0, 3); },
         [](const glm::mat4& m) { return m * glroute::rotation(12.5f, 0, 0, 3); }},
        {"glRotatef about a slanted axis", [] { glRotatef(37, 1, 2, 3); },
         [](const glm::mat4& m) { return m * glroute::rotation(37, 1, 2, 3); }},
        {"glOrtho", [] { glOrtho(0, 1024, 0, 512, -2, 2); },
         [](const glm::mat4& m) { return m * glroute::orthographic(0, 1024, 0, 512, -2, 2); }},
        {"glTranslatef", [] { glTranslatef(0.1f, 0.2f, -1); },
         [](const glm::mat4& m) { return glm::translate(m, glm::vec3(0.1f, 0.2f, -1)); }},
        {"glScalef", [] { glScalef(400, 0.3f, 400); },
         [](const glm::mat4& m) { return glm::scale(m, glm::vec3(400, 0.3f, 400)); }},
    };
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glm::mat4 composed(1.0f);
    for (const Step& step : steps) {
        glPushMatrix();
        glLoadIdentity();
        step.desktop();
        expectModelViewIs(step.route(glm::mat4(1.0f)), step.what);
        glPopMatrix();
        // In sequence, as the show composes them.
        step.desktop();
        composed = step.route(composed);
        expectModelViewIs(composed, step.what);
    }
    glPopMatrix();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
