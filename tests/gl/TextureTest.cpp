#include <GL/glew.h>
#include <png.h>
#include <string>
#include <vector>

#include "image/Image.h"
#include "resources/Resources.h"
#include "support/GLContext.h"
#include "support/TempDir.h"
#include "support/TestPictures.h"

namespace {

// Pictures are written into data/ of a scratch working directory; the manager's parameters go
// back to their start-up values after each test.
class TextureTest : public GLTest {
protected:
    void TearDown() override {
        rovena::TextureManager& textures = resources.textures;
        textures.setFilter(GL_LINEAR, GL_LINEAR);
        textures.setWrap(GL_REPEAT, GL_REPEAT, GL_REPEAT);
        textures.setTarget(GL_TEXTURE_2D);
    }

    // A picture of one colour per row, top row `top`, other rows `other`.
    static void writePicture(const std::string& path, int width, int height, int channels,
                             const std::vector<unsigned char>& top, const std::vector<unsigned char>& other) {
        std::vector<unsigned char> bytes;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                bytes.insert(bytes.end(), (y == 0 ? top : other).begin(), (y == 0 ? top : other).end());
        write_png(path.c_str(), Image{width, height, channels, channels, width * channels, bytes.data()});
    }

    static GLint levelParameter(GLenum target, int level, GLenum parameter) {
        GLint value = -1;
        glGetTexLevelParameteriv(target, level, parameter, &value);
        return value;
    }

    static GLint textureParameter(GLenum target, GLenum parameter) {
        GLint value = -1;
        glGetTexParameteriv(target, parameter, &value);
        return value;
    }

    TempDir scratch;
};

} // namespace

TEST_F(TextureTest, EmptyTextureRoundsUpAndNeverGetsMipmaps) {
    rovena::TextureManager& textures = resources.textures;
    textures.setFilter(GL_LINEAR_MIPMAP_NEAREST, GL_NEAREST);
    textures.upload("tex.empty", 1024, 768, nullptr, GL_RGBA8, GL_RGBA);
    const rovena::Texture& t = textures.get("tex.empty");
    EXPECT_EQ(t.texWidth, 1024);
    EXPECT_EQ(t.texHeight, 1024);
    EXPECT_EQ(t.width, 1024);
    EXPECT_EQ(t.height, 768);

    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), t.id);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT), 1024);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 0);
    // The stored filter still applies to the next picture.
    EXPECT_EQ(textures.minFilter, GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTest, SecondUploadRefillsTheSameObject) {
    rovena::TextureManager& textures = resources.textures;
    textures.upload("tex.twice", 64, 64, nullptr, GL_RGBA8, GL_RGBA);
    GLuint first = textures.get("tex.twice").id;
    textures.upload("tex.twice", 32, 16, nullptr, GL_RGBA8, GL_RGBA);
    const rovena::Texture& t = textures.get("tex.twice");
    EXPECT_EQ(t.id, first);
    EXPECT_EQ(t.width, 32);
    EXPECT_EQ(t.texHeight, 16);
    glBindTexture(GL_TEXTURE_2D, first);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH), 32);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT), 16);
}

TEST_F(TextureTest, PictureFormatsFollowTheChannelCount) {
    rovena::TextureManager& textures = resources.textures;
    struct Case {
        const char* name;
        int channels;
        GLint internalFormat;
    };
    const Case cases[] = {{"fmt1", 1, GL_ALPHA8},
                          {"fmt2", 2, GL_LUMINANCE8_ALPHA8},
                          {"fmt3", 3, GL_RGB8},
                          {"fmt4", 4, GL_RGBA8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> texel(c.channels, 200);
        writePicture(std::string("data/") + c.name + ".png", 4, 4, c.channels, texel, texel);
        textures.load2D(c.name, -1, -1);
        EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), c.internalFormat);
    }
    std::vector<unsigned char> rgb(4 * 4 * 3, 90);
    ASSERT_TRUE(writeJpegFile("data/fmtjpeg.jpg", 4, 4, 3, rgb.data(), 100));
    textures.load2D("fmtjpeg", -1, -1);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB8);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTest, PictureIsFlippedAndOddSizesArePaddedNotOverread) {
    // 3 x 5 RGB: the top row red, the rest blue. GL's row 0 is the picture's bottom row.
    writePicture("data/odd.png", 3, 5, 3, {255, 0, 0}, {0, 0, 255});
    rovena::TextureManager& textures = resources.textures;
    textures.load2D("odd", -1, -1);
    const rovena::Texture& t = textures.get("odd");
    EXPECT_EQ(t.width, 3);
    EXPECT_EQ(t.height, 5);
    EXPECT_EQ(t.texWidth, 4);
    EXPECT_EQ(t.texHeight, 8);

    std::vector<unsigned char> texels(4 * 8 * 3, 77);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    auto texel = [&](int x, int y) {
        const unsigned char* p = &texels[(y * 4 + x) * 3];
        return std::vector<unsigned char>(p, p + 3);
    };
    const std::vector<unsigned char> red{255, 0, 0}, blue{0, 0, 255}, clear{0, 0, 0};
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(texel(x, 0), blue) << x;
        EXPECT_EQ(texel(x, 4), red) << x;
    }
    for (int y = 0; y < 8; ++y) EXPECT_EQ(texel(3, y), clear) << y;
    for (int y = 5; y < 8; ++y) EXPECT_EQ(texel(0, y), clear) << y;
}

TEST_F(TextureTest, NarrowRgbRowsAreReadTightlyPacked) {
    // Rows of 6 bytes: GL's default 4-byte row alignment would start the top row 2 bytes late.
    writePicture("data/narrow.png", 2, 2, 3, {255, 0, 0}, {0, 0, 255});
    resources.textures.load2D("narrow", -1, -1);
    std::vector<unsigned char> texels(2 * 2 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels, (std::vector<unsigned char>{0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 0, 0}));
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
}

TEST_F(TextureTest, MipmapFilterBuildsMipmapsForPictures) {
    writePicture("data/mip.png", 8, 8, 4, {10, 20, 30, 255}, {10, 20, 30, 255});
    rovena::TextureManager& textures = resources.textures;
    textures.setFilter(GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR);
    textures.load2D("mip", -1, -1);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 4);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 3, GL_TEXTURE_WIDTH), 1);
}

TEST_F(TextureTest, WrapOfMinusOneForRMakesNoGLError) {
    rovena::TextureManager& textures = resources.textures;
    textures.setWrap(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, -1);
    while (glGetError() != GL_NO_ERROR) {
    }
    textures.upload("tex.clamped", 16, 16, nullptr, GL_RGBA8, GL_RGBA);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_R), GL_REPEAT);
}

TEST_F(TextureTest, CubeMapTakesSixFacesAndRestoresBothTargets) {
    const unsigned char colours[6][3] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                         {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
    for (int face = 0; face < 6; ++face) {
        std::vector<unsigned char> c(colours[face], colours[face] + 3);
        writePicture("data/sky_c0" + std::to_string(face) + ".png", 8, 8, 3, c, c);
    }
    // A JPEG of the same face name loses to the PNG.
    std::vector<unsigned char> grey(8 * 8 * 3, 128);
    ASSERT_TRUE(writeJpegFile("data/sky_c00.jpg", 8, 8, 3, grey.data(), 100));

    rovena::TextureManager& textures = resources.textures;
    textures.setFilter(GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR);
    textures.loadCube("sky", -1, -1);
    EXPECT_EQ(textures.bindTarget, GL_TEXTURE_2D);
    EXPECT_EQ(textures.imageTarget, GL_TEXTURE_2D);

    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_CUBE_MAP, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), textures.get("sky").id);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int face = 0; face < 6; ++face) {
        SCOPED_TRACE(face);
        std::vector<unsigned char> texels(8 * 8 * 3);
        glGetTexImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        EXPECT_EQ(std::vector<unsigned char>(texels.begin(), texels.begin() + 3),
                  std::vector<unsigned char>(colours[face], colours[face] + 3));
        EXPECT_EQ(levelParameter(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 1, GL_TEXTURE_WIDTH), 4);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

using TextureDeathTest = TextureTest;

TEST_F(TextureDeathTest, PictureThatCannotBeReadIsFatalAndNamed) {
    scratch.write("data/broken.png", "not a picture");
    EXPECT_EXIT(resources.textures.load2D("broken", -1, -1), testing::ExitedWithCode(1),
                "Could not read picture 'data/broken.png'\\.");
}

TEST_F(TextureDeathTest, LayoutsTheUploadCannotTakeAreFatal) {
    const unsigned char deep[] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(writeTestPngRaw("data/deep.png", 2, 2, 16, PNG_COLOR_TYPE_GRAY, deep, 4));
    EXPECT_EXIT(
        resources.textures.load2D("deep", -1, -1), testing::ExitedWithCode(1),
        "Cannot use picture 'data/deep.png' \\(1 channels\\) as a texture: its samples are not 8 bits");
    writePicture("data/rgb.png", 4, 4, 3, {1, 2, 3}, {1, 2, 3});
    EXPECT_EXIT(resources.textures.load2D("rgb", GL_RGBA8, GL_RGBA), testing::ExitedWithCode(1),
                "Cannot use picture 'data/rgb.png' \\(3 channels\\) as a texture: the pixel format");
}

// GL refuses cube faces that aren't square or differ in size with a GL error alone, which left the
// sky black: the face is named.
TEST_F(TextureDeathTest, CubeFacesThatAreNotSquareOrDifferInSizeAreNamed) {
    for (int face = 0; face < 6; ++face) {
        const std::string number = std::to_string(face);
        writePicture("data/uneven_c0" + number + ".png", face == 3 ? 4 : 8, face == 3 ? 4 : 8, 3, {1, 2, 3}, {1, 2, 3});
        writePicture("data/oblong_c0" + number + ".png", 8, face == 0 ? 4 : 8, 3, {1, 2, 3}, {1, 2, 3});
    }
    EXPECT_EXIT(resources.textures.loadCube("uneven", -1, -1), testing::ExitedWithCode(1),
                "Cannot use picture 'data/uneven_c03\\.png' \\(3 channels\\) as a texture: it is 4 x 4 pixels, and a "
                "cube map's faces must all be the size of the first, 8 x 8\\.");
    EXPECT_EXIT(resources.textures.loadCube("oblong", -1, -1), testing::ExitedWithCode(1),
                "Cannot use picture 'data/oblong_c00\\.png' \\(3 channels\\) as a texture: it is 8 x 4 pixels, and a "
                "cube map's faces must be square\\.");
}

// A texture whose sides pad beyond GL's largest would only raise GL_INVALID_VALUE, reported later
// without a name; a picture header claiming a huge size must not make the loader try to read it.
TEST_F(TextureDeathTest, PicturesAndTexturesBeyondTheGLLimitAreNamedWithTheirSize) {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    ASSERT_GT(largest, 0);
    const std::string size = std::to_string(largest);
    std::vector<unsigned char> row(static_cast<size_t>(largest + 1) * 3, 128);
    write_png("data/wide.png", Image{largest + 1, 1, 3, 3, (largest + 1) * 3, row.data()});
    EXPECT_EXIT(resources.textures.load2D("wide", -1, -1), testing::ExitedWithCode(1),
                "Picture 'data/wide\\.png' is " + std::to_string(largest + 1) +
                    " x 1 pixels; padded to powers "
                    "of two it must fit the " +
                    size + " x " + size + " texels this GL takes\\.");
    ASSERT_TRUE(writeJpegClaimingSize("data/claims.jpg", 65500, 65500));
    EXPECT_EXIT(resources.textures.load2D("claims", -1, -1), testing::ExitedWithCode(1),
                "Picture 'data/claims\\.jpg' is 65500 x 65500 pixels");
    EXPECT_EXIT(resources.textures.upload("empty", 4, largest + 1, nullptr, GL_RGBA8, GL_RGBA),
                testing::ExitedWithCode(1),
                "Texture 'empty' of 4 x " + std::to_string(largest + 1) + " texels");
}
