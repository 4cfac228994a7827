#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "demo/Timeline.h"
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

// A floating-point colour target with depth, so a shader's NaN or infinity reaches the read-back
// instead of being clamped into a colour. Binds it; the destructor returns to the window.
class FloatTarget {
public:
    static constexpr int width = 96, height = 72;
    FloatTarget() {
        glGenTextures(1, &colour);
        glBindTexture(GL_TEXTURE_2D, colour);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F_ARB, width, height, 0, GL_RGBA, GL_FLOAT, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        glGenRenderbuffersEXT(1, &depth);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, width, height);
        glGenFramebuffersEXT(1, &frame);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, frame);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colour, 0);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
        complete = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    }
    ~FloatTarget() {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glDeleteFramebuffersEXT(1, &frame);
        glDeleteRenderbuffersEXT(1, &depth);
        glDeleteTextures(1, &colour);
    }
    bool complete = false;

private:
    GLuint colour = 0, depth = 0, frame = 0;
};

// Clears the target and looks at the origin from `eye` through a 45-degree, 4:3 view.
void lookAtOrigin(double eyeX, double eyeY, double eyeZ) {
    glViewport(0, 0, FloatTarget::width, FloatTarget::height);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45, 4.0 / 3.0, 0.1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eyeX, eyeY, eyeZ, 0, 0, 0, 0, 1, 0);
    glColor3f(1, 1, 1);
}

// The target's RGBA floats, bottom row first.
std::vector<float> readTarget() {
    std::vector<float> pixels(4 * FloatTarget::width * FloatTarget::height);
    glReadPixels(0, 0, FloatTarget::width, FloatTarget::height, GL_RGBA, GL_FLOAT, pixels.data());
    return pixels;
}

// The sky sphere seen from outside, filling the middle of the target, under one material that gets
// no uniform but its samplers (or the marble's light, when given).
std::vector<float> drawSphere(const std::string& material, bool showLight = false) {
    lookAtOrigin(0.3, 0.6, 3.2);
    resources.materials.use(material);
    if (showLight) resources.shaders.setUniform3i("uLightPos", 0, 1, 0);
    resources.models.get("pallo").draw();
    resources.materials.unuse();
    return readTarget();
}

float luma(const float* rgba) {
    return 0.299f * rgba[0] + 0.587f * rgba[1] + 0.114f * rgba[2];
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
        resources.models.load("pallo");
        resources.models.get("pallo").computeNormals();
        resources.models.get("pallo").createBuffers();
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

// The show sets uLightPos and uSubjectHue with integer three-vectors; a float declaration would
// silently ignore the set and leave the marble lit from nowhere, the sky's light on the figure's hue.
TEST_F(ContentMaterialsTest, ShowSetUniformsAreIntegerThreeVectors) {
    const std::pair<const char*, const char*> sets[] = {
        {"marble", "uLightPos"}, {"m1", "uLightPos"}, {"kivikko skybox", "uSubjectHue"}};
    for (const auto& [name, uniform] : sets) {
        SCOPED_TRACE(name);
        std::map<std::string, ActiveUniform> uniforms =
            activeUniforms(resources.shaders.get(resources.materials.get(name).shader).program);
        ASSERT_EQ(uniforms.count(uniform), 1u);
        EXPECT_EQ(uniforms[uniform].type, static_cast<GLenum>(GL_INT_VEC3_ARB));
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

// The show gives a light to "marble" alone; every other material, and the same file built as other
// programs ("m1"), draws with its uniforms at zero. A shader that normalises such a light divides by
// zero: black or NaN on some drivers, flat on others.
TEST_F(ContentMaterialsTest, EveryMaterialDrawsAFiniteNonBlackPictureWithNoLightSet) {
    FloatTarget target;
    ASSERT_TRUE(target.complete);
    for (const MaterialLoad& load : materialLoads) {
        SCOPED_TRACE(load.name);
        const std::vector<float> pixels = drawSphere(load.name);
        int nonFinite = 0, lit = 0;
        for (float v : pixels) nonFinite += !std::isfinite(v);
        for (size_t i = 0; i < pixels.size(); i += 4) lit += luma(&pixels[i]) > 0.02f;
        EXPECT_EQ(nonFinite, 0);
        // The sphere covers about a third of the target; a spark mapped onto it, a small part of that.
        EXPECT_GT(lit, static_cast<int>(pixels.size() / 4 / 100)) << "black";
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// "m1" is the marble file built as a program nobody gives a light: it must be lit as the show lights
// "marble", not flat.
TEST_F(ContentMaterialsTest, MarbleNobodyLightsLooksLikeTheLitMarble) {
    FloatTarget target;
    ASSERT_TRUE(target.complete);
    const std::vector<float> lit = drawSphere("marble", true);
    const std::vector<float> unlit = drawSphere("m1");
    float largest = 0;
    for (size_t i = 0; i < lit.size(); ++i) largest = std::max(largest, std::fabs(lit[i] - unlit[i]));
    EXPECT_LT(largest, 0.02f);
    // And it is shaded: the sphere's lit top is brighter than its underside.
    const auto rowMean = [&](int y) {
        double sum = 0;
        int count = 0;
        for (int x = 0; x < FloatTarget::width; ++x) {
            const float* p = &unlit[4 * (y * FloatTarget::width + x)];
            if (p[3] > 0) sum += luma(p), ++count;
        }
        return count ? sum / count : 0.0;
    };
    EXPECT_GT(rowMean(FloatTarget::height * 3 / 4), 1.3 * rowMean(FloatTarget::height / 4));
}

// The metaball surface is drawn several times its size under the marble: its veins must be as dense as
// on a model drawn as it is, or the surface reads as plain white plastic. The same square, once as
// a small square scaled up and once at full size, must give the same picture.
TEST_F(ContentMaterialsTest, MarbleVeinsKeepTheirDensityOnAScaledModel) {
    FloatTarget target;
    ASSERT_TRUE(target.complete);
    auto drawSquare = [](float half, float scale) {
        lookAtOrigin(0.4, 0.3, 6);
        glScalef(scale, scale, scale);
        resources.materials.use("marble");
        resources.shaders.setUniform3i("uLightPos", 0, 1, 0);
        glBegin(GL_QUADS);
        glNormal3f(0, 0, 1);
        glVertex3f(-half, -half, 0);
        glVertex3f(half, -half, 0);
        glVertex3f(half, half, 0);
        glVertex3f(-half, half, 0);
        glEnd();
        resources.materials.unuse();
        return readTarget();
    };
    const std::vector<float> scaled = drawSquare(0.5f, 5.0f), plain = drawSquare(2.5f, 1.0f);
    float largest = 0;
    for (size_t i = 0; i < scaled.size(); ++i) largest = std::max(largest, std::fabs(scaled[i] - plain[i]));
    EXPECT_LT(largest, 0.02f);
}

// The show clears only the depth of the scene's target: the sky must cover every texel, from every
// orbit (the first scene's, and the sequence's nearest and farthest), or texels of an earlier frame
// would show through. Each view starts from magenta.
TEST_F(ContentMaterialsTest, TheSkyCoversEveryTexelOfTheScene) {
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    std::vector<unsigned char> magenta(1024 * 512 * 4, 255);
    for (size_t i = 1; i < magenta.size(); i += 4) magenta[i] = 0;
    const struct {
        Scene scene;
        float scale;
    } orbits[] = {{Scene::figure, 1}, {Scene::sequence, 0.1f}, {Scene::sequence, 3}};
    for (const auto& orbit : orbits)
        for (float t = 0; t < 40; t += 2.5f) {
            SCOPED_TRACE("scale " + std::to_string(orbit.scale) + " at " + std::to_string(t) + " s");
            glBindTexture(GL_TEXTURE_2D, resources.textures.get("rt0").id);
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1024, 512, GL_RGBA, GL_UNSIGNED_BYTE, magenta.data());
            resources.fbos.use("rt0");
            glClear(GL_DEPTH_BUFFER_BIT);
            glColor3f(1, 1, 1);
            placeCamera(sceneEye(orbit.scene, t, 0, orbit.scale));
            drawSkyBox();
            std::vector<unsigned char> pixels(1024 * 512 * 4);
            glReadPixels(0, 0, 1024, 512, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
            resources.fbos.unuse();
            int uncovered = 0;
            for (size_t i = 0; i < pixels.size(); i += 4)
                uncovered += pixels[i] == 255 && pixels[i + 1] == 0 && pixels[i + 2] == 255;
            EXPECT_EQ(uncovered, 0);
        }
}
