#include <vector>

#include <GL/glew.h>

#include "demo/Random.h"
#include "resources/Resources.h"
#include "shell/LoadingScreen.h"
#include "shell/Shell.h"
#include "support/GLContext.h"

namespace {

class LoadingScreenTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        loadDemoView();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    // A white texture of the given size (its allocated image rounds up to powers of two).
    void whiteTexture(const char* name, int width, int height) {
        resources.textures.upload(name, width, height, nullptr, GL_RGBA8, GL_RGBA);
        const rovena::Texture& texture = resources.textures.get(name);
        std::vector<unsigned char> white(texture.texWidth * texture.texHeight * 4, 255);
        glBindTexture(GL_TEXTURE_2D, texture.id);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, texture.texWidth, texture.texHeight, GL_RGBA,
                        GL_UNSIGNED_BYTE, white.data());
    }

    static int red(int x, int y) {
        unsigned char pixel[4];
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        return pixel[0];
    }
};

} // namespace

// At distance 1 the view spans x from -4/3 to 4/3: a square picture covers the middle three
// quarters of the width and the full height.
TEST_F(LoadingScreenTest, SquarePictureFillsTheMiddleOfTheView) {
    whiteTexture("square", 256, 256);
    glColor3f(1, 1, 1);
    drawTexturedQuad("square", 1.0f);
    EXPECT_GT(red(400, 300), 250);
    EXPECT_GT(red(105, 5), 250);
    EXPECT_GT(red(695, 595), 250);
    EXPECT_LT(red(95, 300), 5);
    EXPECT_LT(red(705, 300), 5);
}

// A picture narrower than its allocated width gives a smaller square anchored at the lower left.
TEST_F(LoadingScreenTest, NarrowPictureKeepsItsLowerLeftCorner) {
    whiteTexture("narrow", 192, 192); // allocated 256: r = 0.75, right and top edges at 0.5
    glColor3f(1, 1, 1);
    drawTexturedQuad("narrow", 1.0f);
    EXPECT_GT(red(105, 5), 250);
    EXPECT_GT(red(545, 445), 250);
    EXPECT_LT(red(555, 300), 5);
    EXPECT_LT(red(300, 455), 5);
}

TEST_F(LoadingScreenTest, QuadLeavesMatricesAndLightingAsTheyWere) {
    whiteTexture("state", 64, 64);
    glEnable(GL_LIGHTING);
    glTranslatef(1, 2, 3);
    GLfloat before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    GLint stackBefore = 0, stackAfter = 0;
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &stackBefore);
    drawTexturedQuad("state", 1.02f);
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &stackAfter);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(before[i], after[i]);
    EXPECT_EQ(stackBefore, stackAfter);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Each screen takes exactly one value of the shared sequence, so the metaballs that draw from it
// later get the same masses in every run.
TEST_F(LoadingScreenTest, EachScreenTakesOneRandomValueAndRestoresDepthTest) {
    whiteTexture("loading", 512, 512);
    glEnable(GL_DEPTH_TEST);
    restartRandom();
    showLoadingScreen();
    showLoadingScreen();
    const int afterTwoScreens = nextRandom();
    restartRandom();
    nextRandom();
    nextRandom();
    EXPECT_EQ(nextRandom(), afterTwoScreens);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(LoadingTintTest, TintsStayInRangeAndChangeFromDrawToDraw) {
    float previous[3] = {-1, -1, -1};
    for (float value : {0.0f, 1.0f, 2.0f, 41.0f, 18467.0f, 32767.0f}) {
        float rgb[3];
        loadingTint(value, rgb);
        for (float c : rgb) {
            EXPECT_GE(c, 0.0f);
            EXPECT_LE(c, 1.0f);
        }
        EXPECT_FALSE(rgb[0] == previous[0] && rgb[1] == previous[1] && rgb[2] == previous[2]) << value;
        for (int i = 0; i < 3; ++i) previous[i] = rgb[i];
    }
    float grey[3];
    loadingTint(0, grey);
    EXPECT_EQ(grey[0], 0.5f);
}
