#include <GL/glew.h>

#include <map>
#include <set>
#include <string>

#include "gpu/MaterialFile.h"
#include "gpu/ShaderManager.h"
#include "support/GLContext.h"
#include "support/ShowContent.h"

using ContentMaterialsTest = GLTest;

namespace {

const unsigned int targetCube = 0x8513;

// The engine's shader manager, on its own: the programs are built exactly as the material
// manager builds them, without loading the textures.
rovena::ShaderManager& shaders() {
    static rovena::ShaderManager manager;
    return manager;
}

struct ActiveUniform {
    GLenum type;
    GLint size;
};

// The program's active uniforms by name, as GL reports them after linking.
std::map<std::string, ActiveUniform> activeUniforms(GLhandleARB program) {
    std::map<std::string, ActiveUniform> uniforms;
    GLint count = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_ACTIVE_UNIFORMS_ARB, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[256];
        GLsizei length = 0;
        ActiveUniform u{};
        glGetActiveUniformARB(program, i, sizeof name, &length, &u.size, &u.type, name);
        uniforms[std::string(name, length)] = u;
    }
    return uniforms;
}

} // namespace

// Every material of the show compiles and links under Mesa through the engine's shader manager
// (a failure there ends the process with GL's log), every sampler a texture line binds is a live
// sampler of the right kind in the program, and every texture resolves to a render texture or
// to picture files in the data directory. A mismatch between a texture line and the shader
// leaves a sampler reading unit 0 and the material black or wrong, with no error anywhere.
TEST_F(ContentMaterialsTest, EveryShowMaterialLinksAndItsSamplersAndTexturesResolve) {
    std::string dataDir = buildDataDir();
    std::set<std::string> renderTextures(renderTextureNames().begin(), renderTextureNames().end());
    for (const MaterialLoad& load : showMaterialLoads()) {
        SCOPED_TRACE(load.file);
        MaterialFile material;
        std::string error;
        ASSERT_TRUE(parseMaterialText(readWholeFile(std::string(LUMORAKKA_BUILD_DIR) + "/" + load.file),
                                      material, error))
            << error;
        EXPECT_FALSE(material.vertexSource.empty());
        EXPECT_FALSE(material.fragmentSource.empty());
        std::string programName = std::string("SHD$") + load.name;
        rovena::Shader& shader =
            shaders().addProgram(programName, material.vertexSource, material.fragmentSource);
        ASSERT_NE(shader.program, 0u);
        std::map<std::string, ActiveUniform> uniforms = activeUniforms(shader.program);
        for (int i = 0; i < material.textures.count; ++i) {
            const rovena::TextureBinding& binding = material.textures[i];
            auto found = uniforms.find(binding.uniform);
            ASSERT_NE(found, uniforms.end())
                << "sampler " << binding.uniform << " is not used by the program";
            EXPECT_EQ(
                found->second.type,
                static_cast<GLenum>(binding.target == targetCube ? GL_SAMPLER_CUBE_ARB : GL_SAMPLER_2D_ARB))
                << binding.uniform;
            if (renderTextures.count(binding.texture)) continue;
            if (binding.target == targetCube) {
                for (int face = 0; face < 6; ++face)
                    EXPECT_FALSE(
                        findPictureFile(dataDir, binding.texture + "_c0" + std::to_string(face)).empty())
                        << binding.texture << " face " << face;
            } else {
                EXPECT_FALSE(findPictureFile(dataDir, binding.texture).empty()) << binding.texture;
            }
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

// The show sets uLightPos with an integer three-vector; a float declaration would silently
// ignore the set and leave the marble lit from nowhere.
TEST_F(ContentMaterialsTest, MarbleDeclaresItsLightAsAnIntegerThreeVector) {
    MaterialFile material;
    std::string error;
    ASSERT_TRUE(parseMaterialText(
        readWholeFile(std::string(LUMORAKKA_BUILD_DIR) + "/data/materials/marble.mat"), material, error));
    rovena::Shader& shader =
        shaders().addProgram("SHD$marble-light", material.vertexSource, material.fragmentSource);
    std::map<std::string, ActiveUniform> uniforms = activeUniforms(shader.program);
    ASSERT_EQ(uniforms.count("uLightPos"), 1u);
    EXPECT_EQ(uniforms["uLightPos"].type, static_cast<GLenum>(GL_INT_VEC3_ARB));
}

// The distortion program is built from its two files at start-up and must link as well.
TEST_F(ContentMaterialsTest, DistortionShaderFilesLink) {
    std::string base = std::string(LUMORAKKA_BUILD_DIR) + "/data/shaders/distort2";
    rovena::Shader& shader = shaders().addProgramFiles("distort2", base + ".vs", base + ".fs");
    GLint linked = 0, attached = 0;
    glGetObjectParameterivARB(shader.program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    glGetObjectParameterivARB(shader.program, GL_OBJECT_ATTACHED_OBJECTS_ARB, &attached);
    EXPECT_EQ(linked, 1);
    EXPECT_EQ(attached, 2) << "a stage's file is missing";
}
