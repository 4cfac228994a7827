#pragma once
// The passes that take the scene from its render target to the screen: a full-view textured quad,
// a blur, a glow and the finished picture with the beat flash. blur draws its passes with
// fixed-function GL; glow and the flashed picture draw the same passes' results in fewer quads,
// through small programs of their own ("post.*" in the shader registry, built by preparePostProcess
// or else on first use) that round every step as the 8-bit targets and the blender do. Names are
// looked up in the texture and render-target registries; an unknown one is fatal. Each pass gives
// back the state it changes (gpu/PassState.h: PassScope) except where its comment says otherwise;
// blur and glow draw into their own targets, so callers must have no target in use, and end with
// the window's framebuffer and the caller's viewport.
#include <string>
#include <vector>

#include "demo/FramePhase.h"

// The colour a blur's samples are modulated by.
struct Tint {
    float red = 1, green = 1, blue = 1;
};
constexpr Tint white = {1, 1, 1};

// Draws the named texture on a quad that exactly fills the demo's 90-degree 4:3 view at distance 1,
// scaled about its centre, into whatever framebuffer is bound. Acts on the current matrix (callers
// keep the model-view selected) and restores it. Leaves GL_TEXTURE_2D enabled with the texture
// bound: the lighting bit it saves does not hold the texture enable.
void drawFullscreen(const std::string& name, float scale);

// Spreads the source into the destination target: each pass writes strength / 4 x the sum of four
// diagonal samples of its input at offsets (texels of the source) that grow by 1.5 per pass. Pass
// 0 reads the source into the destination; later passes ping-pong between the destination and
// "rt.blur", so an even pass count leaves the last result in "rt.blur" and the one before it in the
// destination. Clears whatever framebuffer is bound at the call. The samples are modulated by
// the current colour. Leaves GL_TEXTURE_2D enabled.
void blur(const std::string& source, const std::string& destination, int passes, float verticalOffset,
          float horizontalOffset, float strength);

// True when `passes` blur passes of this strength leave every 8-bit texel black, whatever the
// input. Bound on the brightest texel a pass can write, from 255 in the source: its four samples
// are at most the brightest texel read (bilinear mixes and a colour of at most 1 don't raise it),
// each quad adds sample x strength / 4 rounded to a level (a half rounding up, the constant
// taken a level high in case it is made 8-bit first), and the four add up, clamped at 255. Once a
// bound is 0 every later pass writes 0 too.
bool blurRoundsToBlack(float strength, int passes);

// The destination gets the source plus `layers` additive copies of its blur (six passes into
// "rt.glow" at offsets 0.75), clamped by the colour buffer. The blur is drawn only as far as it is
// read: its sixth pass, into "rt.blur", is left out, and when blurRoundsToBlack says the layers
// would add nothing, the blur and the layers are left out and "rt.glow" and "rt.blur" keep what
// they held. Each blur pass is one quad, the copy one more and the layers one additive quad. A
// source that is its own destination is glowed in place: no copy, only the layers added to it
// (they never read the source). The blur's samples are modulated by the tint, the copy and the
// layers drawn in white. Leaves GL_TEXTURE_2D enabled. The reaches multiply the blur's offsets: for
// a source drawn at a larger scale (a larger picture), the picture's scale keeps the blur as wide
// over the picture.
void glow(const std::string& source, const std::string& destination, int layers, float strength,
          const Tint& tint = white, float horizontalReach = 1, float verticalReach = 1);

// The picture drawn over the whole view with the emblem added at the flash's brightness (0 to 1),
// in one quad: in the colour channels of an 8-bit framebuffer, what drawFullscreen (picture, 1)
// in white with blending off leaves and then drawFullscreen (emblem, 1) adds at the colour (flash,
// flash, flash) with the blend function (GL_ONE, GL_ONE). At flash 0 only the picture is drawn.
// Acts on the current matrix as drawFullscreen does. Leaves GL_TEXTURE_2D enabled.
void drawPictureWithFlash(const std::string& picture, const std::string& emblem, float flash);

// Builds every one of the passes' programs and has the GL ready them for the show's targets and
// window by drawing each pass once as the show draws it (the glow in white): over "rt0" and the
// window, from "rt0" and "nyrkki". Otherwise that comes with the first frame of the show, whose
// build adds to the process's peak memory and delays it. Leaves GL_TEXTURE_2D enabled.
void preparePostProcess();

// The sources of the passes' own programs as they are built, by name: for checks that every shader
// the show compiles takes another GL's route too.
struct PassShaderSources {
    std::string name, vertex, fragment;
};
std::vector<PassShaderSources> passShaderSources();
