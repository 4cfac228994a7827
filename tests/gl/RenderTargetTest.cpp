#include <GL/glew.h>
#include <string>
#include <vector>

#include "demo/Content.h"
#include "resources/Resources.h"
#include "support/GLContext.h"

namespace {

class RenderTargetTest : public GLTest {
protected:
    // The five targets as start-up makes them: textures first, then one record reused for all.
    static void setUpTargets() { createRenderTargets(); }

    static GLint depthAttachment(const std::string& name) {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, resources.fbos.get(name).framebuffer);
        GLint object = 0;
        glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                                 GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &object);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        return object;
    }

    static std::vector<GLint> viewport() {
        std::vector<GLint> v(4);
        glGetIntegerv(GL_VIEWPORT, v.data());
        return v;
    }

    static GLint integer(GLenum name) {
        GLint value = -1;
        glGetIntegerv(name, &value);
        return value;
    }
};

} // namespace

TEST_F(RenderTargetTest, TargetsOfOneSizeShareTheirDepthBuffer) {
    resources.fbos.depthBuffers.clear(); // as at start-up; earlier tests in this process may have filled it
    setUpTargets();
    EXPECT_EQ(resources.fbos.depthBuffers.size(), 3u);
    GLint shared = depthAttachment("rt0");
    EXPECT_NE(shared, 0);
    EXPECT_EQ(depthAttachment("rt1"), shared);
    EXPECT_EQ(depthAttachment("rt2"), shared);
    EXPECT_EQ(static_cast<GLuint>(shared), resources.fbos.depthBuffers[(1024 << 16) + 512]);
    EXPECT_NE(depthAttachment("rt.glow"), shared);
    EXPECT_NE(depthAttachment("rt.blur"), shared);
    EXPECT_NE(depthAttachment("rt.glow"), depthAttachment("rt.blur"));

    const rovena::FBO& glow = resources.fbos.get("rt.glow");
    EXPECT_EQ(glow.texture, resources.textures.get("rt.glow").id);
    EXPECT_EQ(glow.width, 256);
    EXPECT_EQ(glow.height, 128);
    EXPECT_NE(resources.fbos.get("rt0").framebuffer, resources.fbos.get("rt1").framebuffer);
    EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderTargetTest, UseDrawsIntoTheTargetAndUnuseRestoresViewport) {
    setUpTargets();
    glViewport(10, 20, 300, 200);
    GLint stackDepth = integer(GL_ATTRIB_STACK_DEPTH);

    resources.fbos.use("rt.glow");
    EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 256, 128}));
    EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), resources.fbos.get("rt.glow").framebuffer);
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    resources.fbos.unuse();

    EXPECT_EQ(viewport(), (std::vector<GLint>{10, 20, 300, 200}));
    EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_EQ(integer(GL_ATTRIB_STACK_DEPTH), stackDepth);
    EXPECT_TRUE(resources.fbos.current.empty());

    std::vector<unsigned char> texels(256 * 128 * 4);
    glBindTexture(GL_TEXTURE_2D, resources.textures.get("rt.glow").id);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    for (size_t corner : {size_t(0), texels.size() - 4})
        EXPECT_EQ(std::vector<unsigned char>(texels.begin() + corner, texels.begin() + corner + 4),
                  (std::vector<unsigned char>{0, 255, 0, 255}));
    glViewport(0, 0, 800, 600);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderTargetTest, AddUnderAnExistingNameDeletesTheOldFramebuffer) {
    resources.textures.upload("rt.dup", 64, 64, nullptr, GL_RGBA8, GL_RGBA);
    rovena::FBO first;
    first.generate();
    first.attach(resources.textures, resources.fbos.depthBuffers, "rt.dup", GL_COLOR_ATTACHMENT0_EXT,
                 GL_TEXTURE_2D);
    resources.fbos.add("rt.dup", first);
    EXPECT_TRUE(glIsFramebufferEXT(first.framebuffer));

    rovena::FBO second;
    second.generate();
    resources.textures.upload("rt.dup", 32, 32, nullptr, GL_RGBA8, GL_RGBA);
    second.attach(resources.textures, resources.fbos.depthBuffers, "rt.dup", GL_COLOR_ATTACHMENT0_EXT,
                  GL_TEXTURE_2D);
    resources.fbos.add("rt.dup", second);
    EXPECT_FALSE(glIsFramebufferEXT(first.framebuffer));
    EXPECT_EQ(resources.fbos.get("rt.dup").framebuffer, second.framebuffer);
    EXPECT_EQ(resources.fbos.get("rt.dup").width, 32);
}

// A target on a 1024 x 768 render texture draws into the lowest 768 rows of its 1024 x 1024 image,
// over a depth buffer of that image's size.
// The render textures hold one cleared texel, sampled as the cleared image would be, until one
// becomes a target.
TEST_F(RenderTargetTest, TargetOnARenderTextureUsesItsRowsInUse) {
    createRenderTextures();
    const auto imageSide = [](const char* name, GLenum side) {
        glBindTexture(GL_TEXTURE_2D, resources.textures.get(name).id);
        GLint texels = -1;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, side, &texels);
        return texels;
    };
    EXPECT_EQ(imageSide("rtt2", GL_TEXTURE_WIDTH), 1);
    unsigned char texel[4] = {9, 9, 9, 9};
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    EXPECT_EQ(std::vector<int>(texel, texel + 4), std::vector<int>(4, 0));

    rovena::FBO record;
    record.generate();
    record.attach(resources.textures, resources.fbos.depthBuffers, "rtt2", GL_COLOR_ATTACHMENT0_EXT,
                  GL_TEXTURE_2D);
    EXPECT_EQ(record.height, 768);
    EXPECT_EQ(record.texHeight, 1024);
    EXPECT_EQ(imageSide("rtt2", GL_TEXTURE_WIDTH), 1024);
    EXPECT_EQ(imageSide("rtt2", GL_TEXTURE_HEIGHT), 1024);
    EXPECT_EQ(imageSide("rtt3", GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(resources.fbos.depthBuffers.count((1024 << 16) + 1024), 1u);

    // An upload settles the reservation: a later attach keeps the uploaded image.
    resources.textures.upload("rtt3", 64, 32, nullptr, GL_RGBA8, GL_RGBA);
    record.attach(resources.textures, resources.fbos.depthBuffers, "rtt3", GL_COLOR_ATTACHMENT0_EXT,
                  GL_TEXTURE_2D);
    EXPECT_EQ(imageSide("rtt3", GL_TEXTURE_WIDTH), 64);
    EXPECT_EQ(record.texHeight, 32);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

using RenderTargetDeathTest = RenderTargetTest;

TEST_F(RenderTargetDeathTest, IncompleteTargetIsFatalAndNamed) {
    resources.textures.upload("rt.empty", 0, 0, nullptr, GL_RGBA8, GL_RGBA);
    rovena::FBO record;
    record.generate();
    EXPECT_EXIT(record.attach(resources.textures, resources.fbos.depthBuffers, "rt.empty",
                              GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D),
                testing::ExitedWithCode(1),
                "Render target on texture 'rt.empty' \\(0x0\\) is incomplete: status 0x8c");
}
