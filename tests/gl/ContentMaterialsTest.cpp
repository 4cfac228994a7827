#include <GL/glew.h>

#include <map>
#include <set>
#include <string>

#include "resources/Resources.h"
#include "support/GLContext.h"
#include "support/ShowContent.h"

namespace {

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

// Level-0 width of the texture object `id` on `target`, or 0 when it holds no image there.
GLint levelWidth(GLenum bindTarget, GLenum imageTarget, GLuint id) {
    GLint width = 0;
    glBindTexture(bindTarget, id);
    glGetTexLevelParameteriv(imageTarget, 0, GL_TEXTURE_WIDTH, &width);
    glBindTexture(bindTarget, 0);
    return width;
}

} // namespace

// The show's own start-up stages that the materials depend on, in its order: the render targets,
// the mipmapped pictures, then the seventeen material files with the wrap change after the fifth.
// Run in the build directory, where data/ is the run-time data.
class ContentMaterialsTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        resources.textures.load2D("loading", -1, -1); // the stages draw the loading screen
        loadRenderTargets();
        loadMaterials();
    }
};

// Every material of the show loads through the engine's material manager under Mesa (a compile,
// link or texture failure there ends the process with its message), every sampler a texture line
// binds is a live sampler of the right kind in the program, and every texture it binds is a GL
// texture of that kind holding a picture. A mismatch between a texture line and the shader leaves
// a sampler reading unit 0 and the material black or wrong, with no error anywhere.
TEST_F(ContentMaterialsTest, EveryShowMaterialLoadsAndItsSamplersAndTexturesResolve) {
    std::set<std::string> programs;
    for (const MaterialLoad& load : materialLoads) {
        SCOPED_TRACE(load.name);
        ASSERT_TRUE(resources.materials.has(load.name));
        const rovena::Material& material = resources.materials.get(load.name);
        ASSERT_TRUE(resources.shaders.has(material.shader));
        GLhandleARB program = resources.shaders.get(material.shader).program;
        ASSERT_NE(program, 0u);
        // A file loaded twice (marble, carpaint) still builds a program of its own per name.
        EXPECT_TRUE(programs.insert(material.shader).second) << material.shader;
        std::map<std::string, ActiveUniform> uniforms = activeUniforms(program);
        for (int i = 0; i < material.textures.count; ++i) {
            const rovena::TextureBinding& binding = material.textures[i];
            SCOPED_TRACE(binding.texture);
            bool cube = binding.target == GL_TEXTURE_CUBE_MAP;
            auto found = uniforms.find(binding.uniform);
            ASSERT_NE(found, uniforms.end())
                << "sampler " << binding.uniform << " is not used by the program";
            EXPECT_EQ(found->second.type,
                      static_cast<GLenum>(cube ? GL_SAMPLER_CUBE_ARB : GL_SAMPLER_2D_ARB));
            ASSERT_TRUE(resources.textures.has(binding.texture));
            GLuint id = resources.textures.get(binding.texture).id;
            ASSERT_TRUE(glIsTexture(id));
            if (cube) {
                GLint side = levelWidth(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_CUBE_MAP_POSITIVE_X, id);
                EXPECT_GT(side, 0);
                for (int face = 1; face < 6; ++face)
                    EXPECT_EQ(levelWidth(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, id),
                              side)
                        << "face " << face;
            } else {
                EXPECT_GT(levelWidth(GL_TEXTURE_2D, GL_TEXTURE_2D, id), 0);
            }
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The show sets uLightPos with an integer three-vector; a float declaration would silently
// ignore the set and leave the marble lit from nowhere.
TEST_F(ContentMaterialsTest, MarbleDeclaresItsLightAsAnIntegerThreeVector) {
    for (const char* name : {"marble", "m1"}) {
        SCOPED_TRACE(name);
        std::map<std::string, ActiveUniform> uniforms =
            activeUniforms(resources.shaders.get(resources.materials.get(name).shader).program);
        ASSERT_EQ(uniforms.count("uLightPos"), 1u);
        EXPECT_EQ(uniforms["uLightPos"].type, static_cast<GLenum>(GL_INT_VEC3_ARB));
    }
}

// The distortion program is built from its two files at start-up and must link as well.
TEST_F(ContentMaterialsTest, DistortionShaderFilesLink) {
    rovena::Shader& shader =
        resources.shaders.addProgramFiles("distort2", "data/shaders/distort2.vs", "data/shaders/distort2.fs");
    GLint linked = 0, attached = 0;
    glGetObjectParameterivARB(shader.program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    glGetObjectParameterivARB(shader.program, GL_OBJECT_ATTACHED_OBJECTS_ARB, &attached);
    EXPECT_EQ(linked, 1);
    EXPECT_EQ(attached, 2) << "a stage's file is missing";
}
