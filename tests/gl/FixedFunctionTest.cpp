// The fixed-function behaviour the engine relies on, as GL 2.1 defines it: the attribute stack, the
// texture environments, quads split into triangles, pixels read back as RGB rows. The desktop GL
// passes these by definition; the route tier runs the same tests through the GL route.
#include <GL/glew.h>

#include <string>
#include <vector>

#include "support/GLContext.h"

namespace {

// A 16 x 16 framebuffer object, bound with a matching viewport and plain 2D projection while the
// object lives; nothing blended, tested or textured.
class SmallTarget {
public:
    static constexpr int size = 16;
    SmallTarget() {
        glGenFramebuffersEXT(1, &framebuffer);
        glGenRenderbuffersEXT(1, &colour);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, colour);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, size, size);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, colour);
        glViewport(0, 0, size, size);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glUseProgramObjectARB(0);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    ~SmallTarget() {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glDeleteRenderbuffersEXT(1, &colour);
        glDeleteFramebuffersEXT(1, &framebuffer);
    }
    std::vector<int> pixel(int x, int y) const {
        unsigned char rgba[4];
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return {rgba[0], rgba[1], rgba[2], rgba[3]};
    }

    GLuint framebuffer = 0, colour = 0;
};

void expectNear(const std::vector<int>& actual, const std::vector<int>& expected, int tolerance) {
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "channel " << i;
}

// The whole target as one quad whose texture coordinates all read the middle of a 2 x 2 texture.
void fullQuad() {
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    glBegin(GL_QUADS);
    for (const auto& corner : corners) {
        glTexCoord2f(0.5f, 0.5f);
        glVertex2f(corner[0], corner[1]);
    }
    glEnd();
}

class FixedFunctionTest : public GLTest {};

} // namespace

TEST_F(FixedFunctionTest, AttributeStackRestoresTheViewportAndDepthRange) {
    glViewport(3, 4, 50, 60);
    glDepthRangef(0.25f, 0.75f);
    GLint depth = -1;
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
    glPushAttrib(GL_VIEWPORT_BIT | GL_LIGHTING_BIT);
    glPushAttrib(GL_VIEWPORT_BIT);
    glViewport(0, 0, 8, 8);
    glDepthRangef(0, 1);
    glPopAttrib();
    glViewport(1, 1, 2, 2);
    glPopAttrib();
    GLint viewport[4], after = -1;
    GLfloat range[2];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetFloatv(GL_DEPTH_RANGE, range);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &after);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{3, 4, 50, 60}));
    EXPECT_EQ(range[0], 0.25f);
    EXPECT_EQ(range[1], 0.75f);
    EXPECT_EQ(after, depth);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glPopAttrib(); // one too many
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_STACK_UNDERFLOW));
    glDepthRangef(0, 1);
}

// Unit 0's environment over a 2 x 2 texture of one texel colour, drawn with one vertex colour: the
// levels GL 2.1's formulas give, for each mode, the combiner with its sources and scales, and
// textures without colour or alpha.
TEST_F(FixedFunctionTest, TextureEnvironmentsCombineTexelAndColour) {
    const unsigned char texel[4] = {200, 100, 40, 128}; // 0.784, 0.392, 0.157, 0.502
    const float colour[4] = {0.5f, 1.0f, 0.25f, 0.5f};
    const struct {
        const char* what;
        GLint internalFormat;
        GLenum format;
        GLint mode, combineRgb, combineAlpha, source0, source1;
        float rgbScale;
        std::vector<int> expected;
    } cases[] = {
        {"modulate", GL_RGBA8, GL_RGBA, GL_MODULATE, 0, 0, 0, 0, 1, {100, 100, 10, 64}},
        {"replace", GL_RGBA8, GL_RGBA, GL_REPLACE, 0, 0, 0, 0, 1, {200, 100, 40, 128}},
        {"decal", GL_RGBA8, GL_RGBA, GL_DECAL, 0, 0, 0, 0, 1, {164, 177, 52, 128}},
        {"add", GL_RGBA8, GL_RGBA, GL_ADD, 0, 0, 0, 0, 1, {255, 255, 104, 64}},
        {"modulate RGB (alpha from the colour)", GL_RGB8, GL_RGB, GL_MODULATE, 0, 0, 0, 0, 1, {100, 100, 10, 128}},
        {"replace alpha (colour kept)", GL_ALPHA8, GL_ALPHA, GL_REPLACE, 0, 0, 0, 0, 1, {128, 255, 64, 128}},
        {"combine: texture times colour, scaled 2", GL_RGBA8, GL_RGBA, GL_COMBINE, GL_MODULATE, GL_MODULATE,
         GL_TEXTURE, GL_PRIMARY_COLOR, 2, {200, 200, 20, 64}},
        {"combine: colour added to texture", GL_RGBA8, GL_RGBA, GL_COMBINE, GL_ADD, GL_REPLACE, GL_PRIMARY_COLOR,
         GL_TEXTURE, 1, {255, 255, 104, 128}},
        {"combine: colour alone", GL_RGBA8, GL_RGBA, GL_COMBINE, GL_REPLACE, GL_REPLACE, GL_PRIMARY_COLOR,
         GL_TEXTURE, 1, {128, 255, 64, 128}},
    };
    SmallTarget target;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<unsigned char> pixels;
        for (int i = 0; i < 4; ++i) {
            if (c.format == GL_ALPHA) pixels.push_back(texel[3]);
            else pixels.insert(pixels.end(), texel, texel + (c.format == GL_RGB ? 3 : 4));
        }
        glTexImage2D(GL_TEXTURE_2D, 0, c.internalFormat, 2, 2, 0, c.format, GL_UNSIGNED_BYTE, pixels.data());
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, c.mode);
        if (c.mode == GL_COMBINE) {
            glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, c.combineRgb);
            glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, c.combineAlpha);
            glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, c.source0);
            glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, c.source1);
            glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, c.source0);
            glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA, c.source1);
            glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, c.rgbScale);
        }
        glColor4f(colour[0], colour[1], colour[2], colour[3]);
        fullQuad();
        expectNear(target.pixel(8, 8), c.expected, 1);
    }
    glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 1);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &texture);
    glColor4f(1, 1, 1, 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A quad a b c d is the triangles a b c and a c d: its colours blend along the diagonal a c. Two
// quads in one glBegin draw both; a vertex left over draws nothing.
TEST_F(FixedFunctionTest, QuadsAreSplitAlongTheirFirstDiagonal) {
    SmallTarget target;
    glBegin(GL_QUADS);
    const float corners[4][2] = {{-1, -1}, {0, -1}, {0, 0}, {-1, 0}}; // the lower left quarter
    const float colours[4][3] = {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 0, 1}};
    for (float shift : {0.0f, 1.0f}) // and the upper right quarter
        for (int v = 0; v < 4; ++v) {
            glColor3f(colours[v][0], colours[v][1], colours[v][2]);
            glVertex2f(corners[v][0] + shift, corners[v][1] + shift);
        }
    glVertex2f(0.5f, -1); // a fifth vertex alone
    glEnd();
    glColor3f(1, 1, 1);
    // Pixel (4, 4) lies on the diagonal a c, 9/16 of the way to c: red and green, no blue.
    for (int offset : {0, 8}) {
        SCOPED_TRACE(offset);
        expectNear(target.pixel(4 + offset, 4 + offset), {112, 143, 0, 255}, 2);
        EXPECT_GT(target.pixel(6 + offset, 1 + offset)[2], 100); // near b, off the diagonal: blue
    }
    expectNear(target.pixel(12, 4), {0, 0, 0, 0}, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// RGB rows are packed at the pack alignment: 3 pixels of 3 bytes take 12 with alignment 4, 9 with
// alignment 1; the padding is left as it was.
TEST_F(FixedFunctionTest, PixelsReadAsRgbRowsAtThePackAlignment) {
    SmallTarget target;
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    for (int alignment : {4, 1}) {
        SCOPED_TRACE(alignment);
        const int row = alignment == 4 ? 12 : 9;
        std::vector<unsigned char> bytes(row * 2, 0xEE);
        glPixelStorei(GL_PACK_ALIGNMENT, alignment);
        glReadPixels(0, 0, 3, 2, GL_RGB, GL_UNSIGNED_BYTE, bytes.data());
        for (int r = 0; r < 2; ++r) {
            for (int p = 0; p < 3; ++p) {
                EXPECT_EQ(bytes[r * row + p * 3], 51);
                EXPECT_EQ(bytes[r * row + p * 3 + 1], 102);
                EXPECT_EQ(bytes[r * row + p * 3 + 2], 153);
            }
            for (int pad = 9; pad < row; ++pad) EXPECT_EQ(bytes[r * row + pad], 0xEE);
        }
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
