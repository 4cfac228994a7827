#pragma once
// How big the show's picture is and where it lies: the 4:3 area a host gives the frame step inside
// its window, canvas or video picture, the rest of which is black bars. The scene's render targets,
// the glow's and the reach of its blur follow the picture's size, so a larger picture shows the same
// frame with more detail; at 800 x 600 the targets have the sizes the content table gives them. A
// plain value, passed down with each frame; GL-free, so hosts and tests work it out without a context.
#include <string>

struct FrameView {
    int surfaceWidth = 800; // the window's drawable, the page's canvas or the off-screen surface, pixels
    int surfaceHeight = 600;
    int x = 0, y = 0;              // the picture's lower left corner on the surface, pixels
    int width = 800, height = 600; // the picture, pixels

    bool coversSurface() const {
        return x == 0 && y == 0 && width == surfaceWidth && height == surfaceHeight;
    }
};

// The largest 4:3 picture on a surface of that size, no taller than `largestHeight`, centred, with
// bars beside it (a wider surface) or above and below it (a taller one). Sides are whole pixels; a
// surface of no pixels (a window shrunk to nothing) holds a picture of one.
FrameView centredView(int surfaceWidth, int surfaceHeight, int largestHeight = 1 << 30);

struct TargetSize {
    int width = 1, height = 1; // texels
};
// A render target's size for the view's picture: its size for the 800 x 600 picture, scaled with
// the picture and rounded to whole texels, at least one.
TargetSize scaledTarget(const FrameView& view, int widthAt800, int heightAt600);

// What the GL takes: the largest side of a texture or renderbuffer, and of a viewport.
struct ViewLimits {
    int textureSide = 0;
    int viewportWidth = 0, viewportHeight = 0;
};

// Why the GL can't draw the view's picture, naming the sizes and the limit; empty when it can.
// `largestTarget` is the largest render target the view needs.
std::string viewProblem(const FrameView& view, const TargetSize& largestTarget, const ViewLimits& limits);
