#include <GL/glew.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "image/Image.h"
#include "resources/Resources.h"
#include "support/GLContext.h"
#include "support/TempDir.h"
#include "support/TestPictures.h"

namespace {

const char* const threeSamplers =
    "%VERTEX_SHADER\n"
    "void main() { gl_Position = ftransform(); gl_TexCoord[0] = gl_MultiTexCoord0; }\n"
    "%FRAGMENT_SHADER\n"
    "uniform sampler2D baseMap;\n"
    "uniform sampler2D detailMap;\n"
    "uniform samplerCube envMap;\n"
    "void main() {\n"
    "  gl_FragColor = texture2D(baseMap, gl_TexCoord[0].xy)\n"
    "      + texture2D(detailMap, gl_TexCoord[0].xy)\n"
    "      + textureCube(envMap, gl_TexCoord[0].xyz);\n"
    "}\n"
    "%TEX2D baseMap = mat.base\n"
    "%TEX2D detailMap = mat.detail\n"
    "%TEXCUBE envMap = mat.sky\n";

class MaterialTest : public GLTest {
  protected:
    void TearDown() override {
        if (!resources.materials.current.empty()) resources.materials.unuse();
    }

    static void writeSolidPng(const std::string& path, int size, unsigned char value) {
        std::vector<unsigned char> bytes(size * size * 3, value);
        write_png(path.c_str(), Image{size, size, 3, 3, size * 3, bytes.data()});
    }

    // The three textures of `threeSamplers`, loaded from files by the material itself.
    void writeThreeSamplerFiles() {
        writeSolidPng("data/mat.base.png", 4, 10);
        writeSolidPng("data/mat.detail.png", 4, 20);
        for (int face = 0; face < 6; ++face)
            writeSolidPng("data/mat.sky_c0" + std::to_string(face) + ".png", 4, 30);
        scratch.write("data/materials/three.mat", threeSamplers);
    }

    static GLint boundOnUnit(int unit, GLenum binding) {
        glActiveTexture(GL_TEXTURE0 + unit);
        GLint name = 0;
        glGetIntegerv(binding, &name);
        return name;
    }

    TempDir scratch;
};

} // namespace

TEST_F(MaterialTest, UseBindsEveryTextureToItsUnitAndSampler) {
    writeThreeSamplerFiles();
    resources.materials.loadMaterialFile("three", "data/materials/three.mat");
    const rovena::Material& material = resources.materials.get("three");
    EXPECT_EQ(material.shader, "SHD$three");
    ASSERT_EQ(material.textures.count, 3);

    resources.materials.use("three");
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0);
    EXPECT_EQ(resources.shaders.current, "SHD$three");

    GLhandleARB program = resources.shaders.get("SHD$three").program;
    GLint inUse = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &inUse);
    EXPECT_EQ(static_cast<GLhandleARB>(inUse), program);
    EXPECT_EQ(static_cast<GLuint>(boundOnUnit(0, GL_TEXTURE_BINDING_2D)),
              resources.textures.get("mat.base").id);
    EXPECT_EQ(static_cast<GLuint>(boundOnUnit(1, GL_TEXTURE_BINDING_2D)),
              resources.textures.get("mat.detail").id);
    EXPECT_EQ(static_cast<GLuint>(boundOnUnit(2, GL_TEXTURE_BINDING_CUBE_MAP)),
              resources.textures.get("mat.sky").id);
    glActiveTexture(GL_TEXTURE0);
    const char* samplers[] = {"baseMap", "detailMap", "envMap"};
    for (int unit = 0; unit < 3; ++unit) {
        GLint value = -1;
        glGetUniformivARB(program, glGetUniformLocationARB(program, samplers[unit]), &value);
        EXPECT_EQ(value, unit) << samplers[unit];
    }

    resources.materials.unuse();
    glGetIntegerv(GL_CURRENT_PROGRAM, &inUse);
    EXPECT_EQ(inUse, 0);
    EXPECT_TRUE(resources.shaders.current.empty());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MaterialTest, SecondNameCompilesItsOwnProgramAndReusesTextures) {
    writeThreeSamplerFiles();
    resources.materials.loadMaterialFile("first", "data/materials/three.mat");
    GLuint base = resources.textures.get("mat.base").id;
    // Gone from disk: a second load that tried to read it again would stop.
    std::remove("data/mat.base.png");
    resources.materials.loadMaterialFile("second", "data/materials/three.mat");
    EXPECT_NE(resources.shaders.get("SHD$first").program, resources.shaders.get("SHD$second").program);
    EXPECT_EQ(resources.textures.get("mat.base").id, base);
}

TEST_F(MaterialTest, TextureLinesOnlyGiveAProgramWithoutShaders) {
    resources.textures.upload("mat.only", 4, 4, nullptr, GL_RGBA8, GL_RGBA);
    scratch.write("data/materials/only.mat", "%TEX2D a = mat.only\n%TEX2D b = mat.only\n");
    resources.materials.loadMaterialFile("only", "data/materials/only.mat");
    GLint attached = -1;
    glGetObjectParameterivARB(resources.shaders.get("SHD$only").program, GL_OBJECT_ATTACHED_OBJECTS_ARB,
                              &attached);
    EXPECT_EQ(attached, 0);
    EXPECT_EQ(resources.materials.get("only").textures.count, 2);
}

using MaterialDeathTest = MaterialTest;

TEST_F(MaterialDeathTest, FileFailuresAreFatal) {
    EXPECT_EXIT(resources.materials.loadMaterialFile("none", "data/materials/none.mat"),
                testing::ExitedWithCode(1), "Could not open material file 'data/materials/none.mat'\\.");
    scratch.write("data/materials/comment.mat", "// reads %TEX lines\n");
    EXPECT_EXIT(resources.materials.loadMaterialFile("comment", "data/materials/comment.mat"),
                testing::ExitedWithCode(1), "Read error in material file, line: '// reads %TEX lines '");
    // A directory is no file to open, like a FIFO that would never answer.
    EXPECT_EXIT(resources.materials.loadMaterialFile("dir", "data/materials"), testing::ExitedWithCode(1),
                "Could not open material file 'data/materials'\\.");
}

TEST_F(MaterialDeathTest, UnregisteredThreeDTextureNamesTheCheck) {
    // The line of the check, read from the source the message names.
    std::ifstream source(LUMORAKKA_SOURCE_DIR "/src/gpu/MaterialManager.cpp");
    std::string line;
    int lineNumber = 0, checkLine = 0;
    while (std::getline(source, line)) {
        ++lineNumber;
        if (line.find("\"Unhandled type %d in %s, line %d!\\n\"") != std::string::npos)
            checkLine = lineNumber;
    }
    ASSERT_NE(checkLine, 0);

    // Registered by an earlier load, a 3D binding loads without a look at its type.
    resources.textures.upload("mat.volume", 4, 4, nullptr, GL_RGBA8, GL_RGBA);
    scratch.write("data/materials/volume.mat", "%TEX3D v = mat.volume\n");
    resources.materials.loadMaterialFile("volume", "data/materials/volume.mat");

    scratch.write("data/materials/fresh.mat", "%TEX3D v = mat.fresh3d\n");
    EXPECT_EXIT(
        resources.materials.loadMaterialFile("fresh", "data/materials/fresh.mat"), testing::ExitedWithCode(1),
        "Unhandled type 32879 in src/gpu/MaterialManager.cpp, line " + std::to_string(checkLine) + "!");
}

TEST_F(MaterialDeathTest, MoreBindingsThanTextureUnitsIsFatal) {
    GLint combined = 0, coordinates = 0;
    glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &combined);
    glGetIntegerv(GL_MAX_TEXTURE_COORDS, &coordinates);
    int units = std::max(combined, coordinates);
    resources.textures.upload("mat.many", 4, 4, nullptr, GL_RGBA8, GL_RGBA);
    std::string lines;
    for (int i = 0; i < units; ++i) lines += "%TEX2D s" + std::to_string(i) + " = mat.many\n";
    scratch.write("data/materials/full.mat", lines);
    resources.materials.loadMaterialFile("full", "data/materials/full.mat");
    resources.materials.use("full");
    resources.materials.unuse();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    scratch.write("data/materials/over.mat", lines + "%TEX2D last = mat.many\n");
    EXPECT_EXIT(resources.materials.loadMaterialFile("over", "data/materials/over.mat"),
                testing::ExitedWithCode(1),
                "Material 'over' binds " + std::to_string(units + 1) + " textures, but the GL has only " +
                    std::to_string(units) + " texture units\\.");
}

// A material names its textures by their path inside data/: one that leads out of it, or whose NUL
// would cut the extension off and open any file as a picture, is refused before anything is read.
TEST_F(MaterialDeathTest, TextureNamesThatLeaveTheDataFolderAreRefused) {
    scratch.write("outside/secret.png", "not for the show");
    const struct {
        std::string name;
        const char* shown;
    } cases[] = {
        {"../outside/secret", "\\.\\./outside/secret"},
        {"sub/../../outside/secret", "sub/\\.\\./\\.\\./outside/secret"},
        {"/etc/hostname", "/etc/hostname"},
        {std::string("x\0.txt", 6), "x\\\\0\\.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        scratch.write("data/materials/away.mat", "%TEX2D t = " + c.name + "\n");
        EXPECT_EXIT(resources.materials.loadMaterialFile("away", "data/materials/away.mat"),
                    testing::ExitedWithCode(1),
                    std::string("data/materials/away\\.mat: the texture name '") + c.shown +
                        "' leads out of the data folder");
    }
}
