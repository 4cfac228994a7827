#pragma once
// The look-at camera the timeline places every frame, and the letterbox viewport that fits an
// aspect ratio into the 800 x 600 window. The letterbox maths is GL-free; the GL calls wrap it.

class Camera {
public:
    void setPosition(float x, float y, float z);
    void setTarget(float x, float y, float z);
    void setFov(float degrees);
    // Loads the look-at model-view matrix (up is +Y) and a perspective projection with a fixed
    // 4:3 aspect, near 0.1 and far 10000. Leaves the model-view matrix selected.
    void apply();
    // How far from the eye the corners of the near plane lie: geometry nearer than this can be
    // clipped away in front of the eye.
    float nearReach() const;

    float fov = 0;        // vertical field of view, degrees
    float target[3] = {}; // the point looked at
    float eye[3] = {};    // camera position
};

extern Camera sceneCamera;

struct Viewport {
    int x = 0, y = 0, width = 0, height = 0; // window pixels, origin at the bottom left
};

// The largest viewport of aspectWidth:aspectHeight that keeps the 800-pixel width (ratios >= 1) or
// the 600-pixel height (ratios < 1), centred. Ratios between 1 and 4:3 overhang the window at the
// top and bottom (5:4 gives y = -20, height 640).
Viewport letterboxViewport(float aspectWidth, float aspectHeight);
// Sets the GL viewport to that letterbox.
void setLetterboxViewport(float aspectWidth, float aspectHeight);
