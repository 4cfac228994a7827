#pragma once
// The GL state a drawing pass sets for itself and gives back, and the frame's state that the show's
// phases return to.
//
// A pass opens a PassScope, sets what its quads need and draws; leaving the scope puts back the
// program in use, blending (on or off, its function and constant colour), depth testing, the
// current colour and the selected matrix as the pass found them. Its render target and that
// target's viewport come back through the target's own scope (rovena::UseScope over the render
// targets), and a state push the pass makes is popped in the function that pushed it. Texture
// bindings and enables are the pass's to document.
#include <string>

class PassScope {
public:
    PassScope();
    ~PassScope();
    PassScope(const PassScope&) = delete;
    PassScope& operator=(const PassScope&) = delete;

private:
    int program = 0, matrixMode = 0, blendSource = 0, blendDestination = 0;
    float blendColour[4] = {}, colour[4] = {};
    bool blend = false, depthTest = false;
};

// What a frame's phase must leave as the frame began: the bound framebuffer and viewport, the
// program, blending, depth testing, the selected matrix and the matrix and attribute stacks'
// depths, the active texture unit. Cheap to read: no pixel or matrix is read back.
struct FrameState {
    int framebuffer = 0;
    int viewport[4] = {};
    int program = 0, activeTexture = 0, matrixMode = 0;
    int modelViewDepth = 0, projectionDepth = 0, attribDepth = 0;
    bool blend = false, depthTest = false;

    static FrameState current();
};

// The first field in which `found` differs from `expected`, as "the depth test is on, was off";
// empty when they agree.
std::string frameStateDifference(const FrameState& expected, const FrameState& found);
