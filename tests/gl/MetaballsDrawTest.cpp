#include <GL/glew.h>
#include <GL/glu.h>

#include <string>
#include <vector>

#include "demo/Metaballs.h"
#include "support/GLContext.h"

namespace {

class MetaballsDrawTest : public GLTest {
  protected:
    // A head-on view of the surface with one white light, into the back buffer.
    void drawFrame(float demoSeconds) {
        glViewport(0, 0, 800, 600);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(90, 4.0 / 3.0, 0.1, 1000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(0, 0, 4, 0, 0, 0, 0, 1, 0);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glEnable(GL_NORMALIZE);
        glEnable(GL_COLOR_MATERIAL);
        glEnable(GL_TEXTURE_2D);
        drawMetaballs(demoSeconds);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glFinish();
    }
    std::vector<unsigned char> readBack() {
        std::vector<unsigned char> pixels(800 * 600 * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
};

} // namespace

// The first frame creates the balls (six mass lines before any drawing) and every frame draws a lit
// blob in the middle of the view while leaving the matrices as they were.
TEST_F(MetaballsDrawTest, DrawsALitBlobAndRestoresTheModelView) {
    GLint depthBefore = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    testing::internal::CaptureStdout();
    drawFrame(21.0f);
    std::string printed = testing::internal::GetCapturedStdout();
    int massLines = 0;
    for (size_t at = printed.find("mass: "); at != std::string::npos; at = printed.find("mass: ", at + 1))
        ++massLines;
    EXPECT_EQ(massLines, 6);
    EXPECT_EQ(balls.count, 6);

    GLint depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(depthAfter, depthBefore);
    GLfloat modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    EXPECT_FLOAT_EQ(modelView[14], -4.0f) << "the scale of 5 stayed inside the push";
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(colour[1], 1.0f);
    EXPECT_EQ(colour[2], 1.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    auto pixels = readBack();
    int lit = 0;
    for (int y = 200; y < 400; ++y)
        for (int x = 300; x < 500; ++x) lit += pixels[(y * 800 + x) * 3] > 40;
    EXPECT_GT(lit, 200 * 200 / 4) << "the blob covers the middle of the view";
    for (int corner : {0, 799, 599 * 800, 599 * 800 + 799}) EXPECT_EQ(pixels[corner * 3], 0) << corner;

    // Later frames print nothing and keep the same six balls.
    testing::internal::CaptureStdout();
    drawFrame(25.0f);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(balls.count, 6);
}
