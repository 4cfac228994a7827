#pragma once
// The passes that take the scene from its render target to the screen: a full-view textured quad,
// a blur, a glow and the finished picture with the beat flash. blur draws its passes with
// fixed-function GL; glow and the flashed picture draw the same passes' results in fewer quads,
// through small programs of their own ("post.*" in the shader registry, built on first use) that
// round every step as the 8-bit targets and the blender do. Names are looked up in the texture and
// render-target registries; an unknown one is fatal. blur and glow own their fbos.use /
// fbos.unuse pairs, so callers must have no target in use; both end with the window's framebuffer
// bound.
#include <string>
#include <vector>

// The steps of one frame, in the order they end, for benchmarks that time them: the scene's
// subject, its sky, the glow's blur, the rest of the glow, the picture on the window with the beat
// flash.
enum class FramePhase { geometry, sky, blur, glow, final };
constexpr int framePhaseCount = 5;
// Called as each step of a frame ends when set (benchmarks); null in the show. glow reports its
// blur and then itself; the timeline reports the rest.
extern void (*framePhaseDone)(FramePhase phase);
inline void reportFramePhase(FramePhase phase) {
    if (framePhaseDone) framePhaseDone(phase);
}

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
// (they never read the source). Leaves the colour white, the blend function (GL_ONE, GL_ONE) with
// blending off, the blend colour (1, 1, 1, strength / 4), depth testing on, the model-view matrix
// selected, no program in use. The reaches multiply the blur's offsets: for a source drawn at a
// larger scale (a larger picture), the picture's scale keeps the blur as wide over the picture.
void glow(const std::string& source, const std::string& destination, int layers, float strength,
          float horizontalReach = 1, float verticalReach = 1);

// The picture drawn over the whole view with the emblem added at the flash's brightness (0 to 1),
// in one quad: in the colour channels of an 8-bit framebuffer, what drawFullscreen (picture, 1)
// in white with blending off leaves and then drawFullscreen (emblem, 1) adds at the colour (flash,
// flash, flash) with the blend function (GL_ONE, GL_ONE). At flash 0 only the picture is drawn.
// Acts on the current matrix as drawFullscreen does. Leaves the colour white, blending off,
// GL_TEXTURE_2D enabled, no program in use and, when it flashes, the blend function (GL_ONE,
// GL_ONE).
void drawPictureWithFlash(const std::string& picture, const std::string& emblem, float flash);

// Builds the passes' programs and has the GL ready them for the show's targets and window by
// drawing each pass once: over "rt0" and the window, from "rt0" and "nyrkki". Otherwise that comes
// with the first frame of the show, whose build adds to the process's peak memory and delays it.
// Leaves what glow and drawPictureWithFlash leave, with blending off and depth testing on.
void preparePostProcess();

// The sources of the passes' own programs as they are built, by name: for checks that every shader
// the show compiles takes another GL's route too.
struct PassShaderSources {
    std::string name, vertex, fragment;
};
std::vector<PassShaderSources> passShaderSources();
