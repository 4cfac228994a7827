#include "demo/FramePhase.h"

#include "base/FatalError.h"
#include "gpu/PassState.h"
#include "resources/Resources.h"

void (*framePhaseDone)(FramePhase phase) = nullptr;

#ifdef NDEBUG
bool framePhasesChecked = false;
#else
bool framePhasesChecked = true;
#endif

namespace {

bool frameOpen = false;
FrameState frameStart;

const char* const phaseNames[framePhaseCount] = {"geometry", "sky", "blur", "glow", "final"};

// The state a phase must end in: the frame's, or for the scene's subject, which ends inside the
// scene's render target, the frame's with that target bound.
FrameState expectedState(FramePhase phase) {
    FrameState expected = frameStart;
    if (phase == FramePhase::geometry && !resources.fbos.current.empty()) {
        const rovena::FBO& target = resources.fbos.get(resources.fbos.current);
        expected.framebuffer = target.framebuffer;
        expected.viewport[0] = expected.viewport[1] = 0;
        expected.viewport[2] = target.width;
        expected.viewport[3] = target.height;
        ++expected.attribDepth;
    }
    return expected;
}

void checkPhase(FramePhase phase) {
    const char* const name = phaseNames[static_cast<int>(phase)];
    const std::string& target = resources.fbos.current;
    if (phase == FramePhase::geometry && target.empty())
        fatalError("GL state after the frame's %s: no render target is in use.", name);
    if (phase != FramePhase::geometry && !target.empty())
        fatalError("GL state after the frame's %s: the render target '%s' is still in use.", name, target.c_str());
    if (!resources.materials.current.empty())
        fatalError("GL state after the frame's %s: the material '%s' is still in use.", name,
                   resources.materials.current.c_str());
    const std::string difference = frameStateDifference(expectedState(phase), FrameState::current());
    if (!difference.empty()) fatalError("GL state after the frame's %s: %s.", name, difference.c_str());
}

} // namespace

void beginFramePhases() {
    frameOpen = framePhasesChecked;
    if (frameOpen) frameStart = FrameState::current();
}

void endFramePhases() {
    frameOpen = false;
}

void reportFramePhase(FramePhase phase) {
    if (framePhaseDone) framePhaseDone(phase);
    if (frameOpen) checkPhase(phase);
    if (phase == FramePhase::final) endFramePhases();
}
