#include <GL/glew.h>

#include "clock/DemoContext.h"
#include "demo/Timeline.h"
#include "resources/Resources.h"
#include "support/GLContext.h"

namespace {

// Only the scene's render target, nothing else the show loads.
void registerSceneTarget() {
    resources.textures.upload("rt0", 1024, 512, nullptr, GL_RGBA8, GL_RGBA);
    rovena::FBO target;
    target.generate();
    target.attach(resources.textures, resources.fbos.depthBuffers, "rt0", GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D);
    resources.fbos.add("rt0", target);
}

} // namespace

using TimelineEndTest = GLTest;

// At 206 s the frame gets as far as clearing "rt0", returns to the window and reports the end: with
// no material, model or overlay registered, any drawing would end the process with a lookup failure.
TEST_F(TimelineEndTest, ShowEndsBeforeDrawingASceneAndLeavesTheWindowBound) {
    registerSceneTarget();
    glViewport(0, 0, 800, 600);
    GLint attribDepth = 0;
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &attribDepth);
    DemoContext clock;
    clock.setTime(206.0f);
    float flash = -1;
    EXPECT_TRUE(renderTimeline(clock, FrameView(), flash));
    GLint framebuffer = -1, depthAfter = -1, viewport[4] = {};
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depthAfter);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(framebuffer, 0);
    EXPECT_EQ(depthAfter, attribDepth);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_TRUE(resources.fbos.current.empty());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // A moment earlier the same frame needs the whole show's content.
    clock.setTime(205.999f);
    EXPECT_EXIT(renderTimeline(clock, FrameView(), flash), ::testing::ExitedWithCode(1), "No such");
}
