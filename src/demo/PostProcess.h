#pragma once
// The passes that take the scene from its render target to the screen: a full-view textured quad,
// a blur and a glow. Fixed-function GL between render targets, no program. Names are looked up in
// the texture and render-target registries; an unknown one is fatal. blur and glow own their
// fbos.use / fbos.unuse pairs, so callers must have no target in use; both end with the window's
// framebuffer bound.
#include <string>

// Draws the named texture on a quad that exactly fills the demo's 90-degree 4:3 view at distance 1,
// scaled about its centre, into whatever framebuffer is bound. Acts on the current matrix (callers
// keep the model-view selected) and restores it. Leaves GL_TEXTURE_2D enabled with the texture
// bound: the lighting bit it saves does not hold the texture enable.
void drawFullscreen(const std::string& name, float scale);

// Spreads the source into the destination target: each pass writes strength / 4 x the sum of four
// diagonal samples of its input at offsets (texels of the source) that grow by 1.5 per pass. Pass
// 0 reads the source into the destination; later passes ping-pong between the destination and
// "rt.blur", so an even pass count leaves the last result in "rt.blur" and the one before it in the
// destination. Clears whatever framebuffer is bound at the call. Leaves the blend colour
// (1, 1, 1, strength / 4), depth testing on, blending off.
void blur(const std::string& source, const std::string& destination, int passes, float verticalOffset,
          float horizontalOffset, float strength);

// The destination gets the source plus `layers` additive copies of its blur (six passes into
// "rt.glow" at offsets 0.75), clamped by the colour buffer. Leaves the colour white, the blend
// function (GL_ONE, GL_ONE) with blending off, depth testing on.
void glow(const std::string& source, const std::string& destination, int layers, float strength);
