// The check after each phase of a frame: a phase that leaves GL otherwise than the frame began
// ends the program, naming the phase and the state.
#include <GL/glew.h>

#include <functional>

#include "demo/Content.h"
#include "demo/FramePhase.h"
#include "resources/Resources.h"
#include "support/FatalText.h"
#include "support/GLContext.h"

using FramePhaseTest = GLTest;

TEST_F(FramePhaseTest, PhaseLeavingStateBehindIsFatal) {
    createRenderTargets();
    const struct {
        FramePhase phase;
        std::function<void()> leave;
        const char* message;
    } cases[] = {
        {FramePhase::sky, [] { glEnable(GL_BLEND); }, "the frame's sky: blending is on, was off."},
        {FramePhase::glow, [] { glPushAttrib(GL_VIEWPORT_BIT); }, "the frame's glow: the attribute stack depth is 1"},
        {FramePhase::final, [] { glMatrixMode(GL_PROJECTION); }, "the frame's final: the matrix mode is 5889"},
        {FramePhase::blur, [] { resources.fbos.use("rt.glow"); },
         "the frame's blur: the render target 'rt.glow' is still in use."},
        {FramePhase::geometry, [] {}, "the frame's geometry: no render target is in use."},
        {FramePhase::geometry, [] { resources.fbos.use("rt0"), glViewport(0, 0, 8, 8); },
         "the frame's geometry: the viewport's width is 8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EXIT(
            {
                beginFramePhases();
                c.leave();
                reportFramePhase(c.phase);
            },
            ::testing::ExitedWithCode(1), literally(c.message));
    }
    // The scene's subject inside its target, then the window as the frame began: nothing to report.
    beginFramePhases();
    resources.fbos.use("rt0");
    reportFramePhase(FramePhase::geometry);
    resources.fbos.unuse();
    reportFramePhase(FramePhase::sky);
    reportFramePhase(FramePhase::final);
}
