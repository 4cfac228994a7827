#include <GL/glew.h>

#include "demo/Timeline.h"
#include "resources/Resources.h"
#include "support/GLContext.h"

namespace {

// Only the scene's render target, nothing else the show loads.
void registerSceneTarget() {
    resources.textures.upload("rt0", 1024, 512, nullptr, GL_RGBA8, GL_RGBA);
    rovena::FBO target;
    target.generate();
    target.attach(resources.textures, "rt0", GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D);
    resources.fbos.add("rt0", target);
}

} // namespace

using TimelineEndTest = GLTest;

// At 206 s the frame gets as far as clearing "rt0" and ends there: with no material, model or
// overlay registered, any drawing would end the process with a lookup failure (status 1) instead.
TEST_F(TimelineEndTest, ShowEndsWithStatusZeroBeforeDrawingAScene) {
    EXPECT_EXIT(
        {
            registerSceneTarget();
            renderTimeline(206.0f);
        },
        ::testing::ExitedWithCode(0), "");
    // A moment earlier the same frame needs the whole show's content.
    EXPECT_EXIT(
        {
            registerSceneTarget();
            renderTimeline(205.999f);
        },
        ::testing::ExitedWithCode(1), "No such");
}
