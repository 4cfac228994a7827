#include "demo/PostProcess.h"

#include <GL/glew.h>

#include <cmath>

#include "gpu/PassState.h"
#include "gpu/TexturedQuad.h"
#include "resources/Resources.h"

namespace {

// glow's blur is six passes at offsets 0.75. The sixth writes "rt.blur", which nothing reads, so
// glow stops after the fifth, whose result is in "rt.glow" either way.
constexpr int glowBlurPassesRead = 5;
constexpr float glowBlurOffset = 0.75f; // source texels

// One quad over the whole W x H ortho view, sampling the input shifted by (ox, oy) in texture space.
void shiftedQuad(float width, float height, float ox, float oy) {
    glTexCoord2f(ox, oy);
    glVertex2f(0, 0);
    glTexCoord2f(1 + ox, oy);
    glVertex2f(width, 0);
    glTexCoord2f(1 + ox, 1 + oy);
    glVertex2f(width, height);
    glTexCoord2f(ox, 1 + oy);
    glVertex2f(0, height);
}

// The one-pass forms below reproduce in a fragment program the arithmetic of the fixed-function
// passes they stand for, step by step: the fragment colour as the 8-bit target stores it, the
// blender's product of two bytes, its saturating sums. So they leave the same levels as the passes
// on a renderer whose blending is exact 8-bit arithmetic, as Mesa's software rasteriser's is; the
// GL tests compare each with the passes drawn in full.
const char* const storedSource = R"(#version 110
// A colour as an 8-bit target stores it: x 255, to nearest, halves to even. Adding 2^23 leaves no
// fraction, rounded the processor's way, halves to even; the two halves of the trick come from
// separate uniforms so the compiler cannot fold them away.
uniform float uRoundUp;   // 2^23
uniform float uRoundDown; // -2^23
vec4 stored(vec4 colour) {
    return (clamp(colour, 0.0, 1.0) * 255.0 + uRoundUp) + uRoundDown;
}
)";

// A blur pass in one quad: the four shifted quads' texture coordinates ride in four sets, each
// interpolated from the same vertex values as its quad's.
const char* const blurVertexSource = R"(#version 110
void main() {
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_TexCoord[1] = gl_MultiTexCoord1;
    gl_TexCoord[2] = gl_MultiTexCoord2;
    gl_TexCoord[3] = gl_MultiTexCoord3;
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
)";
// Each quad's sample (modulated by the colour) as stored, times the blend constant in levels,
// rounded as the blender rounds a product of two bytes (a x b / 255 to nearest; none lies
// halfway); the four add up, saturating.
const char* const blurQuadSource = R"(
uniform sampler2D uInput;
uniform float uConstant; // levels
vec4 quad(vec2 at) {
    return floor(stored(texture2D(uInput, at) * gl_Color) * uConstant / 255.0 + 0.5);
}
)";
// The same under a white colour, the show's: the sample only needs rounding to its level, which
// Mesa's software rasteriser has done already. A renderer that filters in floating point (the
// browser's) returns levels in between, and the five passes would carry each one's difference on.
const char* const whiteBlurQuadSource = R"(#version 110
uniform sampler2D uInput;
uniform float uConstant; // levels
vec4 quad(vec2 at) {
    return floor(floor(texture2D(uInput, at) * 255.0 + 0.5) * (uConstant / 255.0) + 0.5);
}
)";
const char* const blurSumSource = R"(
void main() {
    vec4 sum = quad(gl_TexCoord[0].st) + quad(gl_TexCoord[1].st) + quad(gl_TexCoord[2].st) +
               quad(gl_TexCoord[3].st);
    gl_FragColor = min(sum, 255.0) / 255.0;
}
)";

// drawFullscreen's quad with two textures read at its coordinates.
const char* const fullscreenVertexSource = R"(#version 110
void main() {
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
)";
// A picture with `uCount` copies of another added over it, each modulated by `uTint`, as additive
// quads leave them: every copy adds the same non-negative level, so the clamped sums are one clamp
// of the whole. The finished picture with the beat's emblem (tint the flash, count 1).
const char* const addFragmentSource = R"(
uniform sampler2D uPicture;
uniform sampler2D uAdded;
uniform float uCount;
uniform vec4 uTint;
void main() {
    vec2 at = gl_TexCoord[0].st;
    vec4 picture = stored(texture2D(uPicture, at) * gl_Color);
    vec4 added = stored(texture2D(uAdded, at) * uTint);
    gl_FragColor = min(picture + uCount * added, 255.0) / 255.0;
}
)";

// `uCount` copies of a picture as additive quads in white would add them to the target: each copy
// adds the same level, a sample (k / 255 within far less than half a level), so one quad adds
// their sum and the blender clamps it.
const char* const layersFragmentSource = R"(#version 110
uniform sampler2D uPicture;
uniform float uCount;
void main() {
    gl_FragColor = texture2D(uPicture, gl_TexCoord[0].st) * uCount;
}
)";

// The programs' fragment sources as they are built, put together once.
const std::string& blurFragmentSource() {
    static const std::string source = std::string(storedSource) + blurQuadSource + blurSumSource;
    return source;
}
const std::string& whiteBlurFragmentSource() {
    static const std::string source = std::string(whiteBlurQuadSource) + blurSumSource;
    return source;
}
const std::string& addProgramSource() {
    static const std::string source = std::string(storedSource) + addFragmentSource;
    return source;
}
const std::string& layersProgramSource() {
    static const std::string source = layersFragmentSource;
    return source;
}

// A pass program: its sources and the samplers that read units 0 and 1 (null: none).
struct PassProgram {
    const char* name;
    const char* vertexSource;
    const std::string& (*fragmentSource)();
    const char* firstSampler;
    const char* secondSampler;
};
const PassProgram blurProgram = {"post.blur", blurVertexSource, blurFragmentSource, "uInput", nullptr};
const PassProgram whiteBlurProgram = {"post.blur.white", blurVertexSource, whiteBlurFragmentSource, "uInput",
                                      nullptr};
const PassProgram addProgram = {"post.add", fullscreenVertexSource, addProgramSource, "uPicture", "uAdded"};
const PassProgram layersProgram = {"post.layers", fullscreenVertexSource, layersProgramSource, "uPicture",
                                   nullptr};
const PassProgram* const passPrograms[] = {&blurProgram, &whiteBlurProgram, &addProgram, &layersProgram};

// The pass program, built and registered with the shaders when it isn't yet.
unsigned int passProgram(const PassProgram& pass) {
    if (resources.shaders.has(pass.name)) return resources.shaders.get(pass.name).program;
    const unsigned int program =
        resources.shaders.addProgram(pass.name, pass.vertexSource, pass.fragmentSource()).program;
    PassScope scope;
    glUseProgramObjectARB(program);
    glUniform1fARB(glGetUniformLocationARB(program, "uRoundUp"), 8388608.0f);
    glUniform1fARB(glGetUniformLocationARB(program, "uRoundDown"), -8388608.0f);
    glUniform1iARB(glGetUniformLocationARB(program, pass.firstSampler), 0);
    if (pass.secondSampler) glUniform1iARB(glGetUniformLocationARB(program, pass.secondSampler), 1);
    return program;
}

// Uses the adding program: `count` copies at the tint (its alpha 1), clamped to 0 to 1 as GL clamps
// a colour: a pulse above 1 after a seek back must not brighten what it tints beyond the texels.
void useAddProgram(float count, float tint) {
    tint = std::fmin(std::fmax(tint, 0.0f), 1.0f);
    const unsigned int program = passProgram(addProgram);
    glUseProgramObjectARB(program);
    glUniform1fARB(glGetUniformLocationARB(program, "uCount"), count);
    glUniform4fARB(glGetUniformLocationARB(program, "uTint"), tint, tint, tint, 1);
}

// The byte an 8-bit blender makes of a blend constant: x 255, to nearest, halves to even, clamped.
float constantLevel(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return 255;
    return std::nearbyint(value * 255.0f);
}

// drawFullscreen's quad: the demo's 90-degree 4:3 view at distance 1, the whole texture on it.
constexpr QuadArea fullView = {-1.33334f, -1, 1.33334f, 1, 1, 1};

// `count` copies of the named texture in one drawFullscreen quad, through the layers' program, in
// the current blend state, within the caller's pass. Leaves the texture bound, GL_TEXTURE_2D
// enabled.
void drawLayers(const std::string& name, float count) {
    const unsigned int program = passProgram(layersProgram);
    glUseProgramObjectARB(program);
    glUniform1fARB(glGetUniformLocationARB(program, "uCount"), count);
    glBindTexture(GL_TEXTURE_2D, resources.textures.get(name).id);
    glEnable(GL_TEXTURE_2D);
    drawQuadAtUnitDistance(fullView, 1.0f);
}

// drawFullscreen's quad through the program in use, reading `first` on unit 0 and `second` on unit
// 1, within the caller's pass. Leaves unit 0 active with `first` bound and GL_TEXTURE_2D enabled,
// as drawFullscreen leaves them, and nothing bound on unit 1.
void fullscreenPair(const std::string& first, const std::string& second) {
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glBindTexture(GL_TEXTURE_2D, resources.textures.get(second).id);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, resources.textures.get(first).id);
    drawQuadAtUnitDistance(fullView, 1.0f);
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
}

} // namespace

void drawFullscreen(const std::string& name, float scale) {
    drawTexturedQuad(resources.textures.get(name).id, fullView, scale);
}

namespace {

// The blur's passes, without its clears: each pass draws through drawPass(width, height, dx, dy)
// into the destination or "rt.blur" in turn, reading the other, with the sample offsets growing by
// half each pass, within the caller's pass. Leaves depth testing off.
template <typename DrawPass>
void pingPongPasses(const std::string& source, const std::string& destination, int passes,
                    float verticalOffset, float horizontalOffset, DrawPass drawPass) {
    const rovena::Texture& input = resources.textures.get(source);
    const float width = static_cast<float>(input.texWidth);
    const float height = static_cast<float>(input.texHeight);

    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);

    std::string other = source;
    for (int pass = 0; pass < passes; ++pass) {
        {
            const bool even = pass % 2 == 0;
            rovena::UseScope<rovena::FBOManager> target(resources.fbos, even ? destination : other);
            glBindTexture(GL_TEXTURE_2D, resources.textures.get(even ? other : destination).id);
            drawPass(width, height, horizontalOffset / width, verticalOffset / height);
        }
        verticalOffset *= 1.5f;
        horizontalOffset *= 1.5f;
        if (pass == 0) other = "rt.blur";
    }

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

// The passes as the fixed pipeline draws them: four blended quads each, within the caller's pass.
void blurPasses(const std::string& source, const std::string& destination, int passes, float verticalOffset,
                float horizontalOffset, float strength) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, resources.textures.get(source).id);
    glEnable(GL_TEXTURE_2D);
    glBlendColorEXT(1, 1, 1, strength * 0.25f);
    pingPongPasses(source, destination, passes, verticalOffset, horizontalOffset,
                   [](float width, float height, float dx, float dy) {
                       // The first quad replaces the target's contents, the other three add to them.
                       glBlendFunc(GL_CONSTANT_ALPHA, GL_ZERO);
                       glBegin(GL_QUADS);
                       shiftedQuad(width, height, dx, dy);
                       glEnd();
                       glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE);
                       glBegin(GL_QUADS);
                       shiftedQuad(width, height, -dx, -dy);
                       shiftedQuad(width, height, dx, -dy);
                       shiftedQuad(width, height, -dx, dy);
                       glEnd();
                   });
}

// blurPasses with each pass's four quads drawn as one, through the blur program for the tint,
// within the caller's pass.
void blurPassesAtOnce(const std::string& source, const std::string& destination, int passes,
                      float verticalOffset, float horizontalOffset, float strength, const Tint& tint) {
    const bool inWhite = tint.red == 1 && tint.green == 1 && tint.blue == 1;
    const unsigned int program = passProgram(inWhite ? whiteBlurProgram : blurProgram);
    glDisable(GL_BLEND);
    glColor3f(tint.red, tint.green, tint.blue);
    glUseProgramObjectARB(program);
    glUniform1fARB(glGetUniformLocationARB(program, "uConstant"), constantLevel(strength * 0.25f));
    pingPongPasses(source, destination, passes, verticalOffset, horizontalOffset,
                   [](float width, float height, float dx, float dy) {
                       // The quads' shifts, in blurPasses' order; their coordinates are summed as
                       // shiftedQuad sums them.
                       const float shifts[4][2] = {{dx, dy}, {-dx, -dy}, {dx, -dy}, {-dx, dy}};
                       const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
                       glBegin(GL_QUADS);
                       for (const auto& corner : corners) {
                           for (int quad = 0; quad < 4; ++quad)
                               glMultiTexCoord2fARB(GL_TEXTURE0_ARB + quad, corner[0] + shifts[quad][0],
                                                    corner[1] + shifts[quad][1]);
                           glVertex2f(corner[0] * width, corner[1] * height);
                       }
                       glEnd();
                   });
}

} // namespace

void blur(const std::string& source, const std::string& destination, int passes, float verticalOffset,
          float horizontalOffset, float strength) {
    PassScope pass;
    glUseProgramObjectARB(0);
    // Clears whatever is bound at the call; in the demo that is the window, which is redrawn later.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    {
        rovena::UseScope<rovena::FBOManager> target(resources.fbos, destination);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    blurPasses(source, destination, passes, verticalOffset, horizontalOffset, strength);
}

bool blurRoundsToBlack(float strength, int passes) {
    // The blend constant strength / 4, at most one level above its value once made 8-bit.
    const double constant = std::ceil(255.0 * std::fmin(std::fmax(strength * 0.25f, 0.0f), 1.0f)) / 255.0;
    double brightest = 255; // levels of the brightest texel a pass can read
    for (int pass = 0; pass < passes && brightest > 0; ++pass)
        brightest = std::fmin(255, 4 * std::floor(brightest * constant + 0.5));
    return brightest == 0;
}

namespace {

// glow's blur, without blur's clears: the window it would clear is cleared by the timeline and
// covered later, and the first quad of pass 0 replaces every texel of "rt.glow".
void glowBlur(const std::string& source, float strength, const Tint& tint, float horizontalReach,
              float verticalReach) {
    PassScope pass;
    glDisable(GL_DEPTH_TEST);
    blurPassesAtOnce(source, "rt.glow", glowBlurPassesRead, glowBlurOffset * verticalReach,
                     glowBlurOffset * horizontalReach, strength, tint);
}

// The copy of the source and the blur's layers over it in the destination, in white on the
// model-view matrix, with lighting off. No clear: the copy replaces every texel of the destination,
// and depth testing stays off for these quads (they all lie at one depth, so the test never
// decided anything). A source that is its own destination already holds the copy.
void glowLayers(const std::string& source, const std::string& destination, int layers) {
    PassScope pass;
    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_MODELVIEW);
    glColor3f(1, 1, 1);
    glUseProgramObjectARB(0); // the copy is drawn by the fixed pipeline
    {
        rovena::UseScope<rovena::FBOManager> target(resources.fbos, destination);
        glDisable(GL_BLEND);
        if (destination != source) drawFullscreen(source, 1.0f);
        if (layers > 0) {
            // The layers in one additive quad, in white as they were drawn: each adds the same
            // level, so their clamped sums are the blender's one clamp of the whole.
            glBlendFunc(GL_ONE, GL_ONE);
            glEnable(GL_BLEND);
            drawLayers("rt.glow", static_cast<float>(layers));
        }
    }
    glPopAttrib();
}

} // namespace

void glow(const std::string& source, const std::string& destination, int layers, float strength,
          const Tint& tint, float horizontalReach, float verticalReach) {
    // Layers of a black blur would add nothing: only the copy of the source is left to draw.
    const bool blackLayers = layers <= 0 || blurRoundsToBlack(strength, glowBlurPassesRead);
    if (!blackLayers) glowBlur(source, strength, tint, horizontalReach, verticalReach);
    reportFramePhase(FramePhase::blur);
    glowLayers(source, destination, blackLayers ? 0 : layers);
    reportFramePhase(FramePhase::glow);
}

void drawPictureWithFlash(const std::string& picture, const std::string& emblem, float flash) {
    PassScope pass;
    glDisable(GL_BLEND);
    glColor3f(1, 1, 1);
    if (flash == 0) {
        // One copy through the layers' program: the fixed pipeline's texturing costs more.
        drawLayers(picture, 1);
        return;
    }
    useAddProgram(1, flash);
    fullscreenPair(picture, emblem);
}

void preparePostProcess() {
    for (const PassProgram* program : passPrograms) passProgram(*program);
    glow("rt0", "rt0", 4, 1.0f);
    glDisable(GL_DEPTH_TEST);
    drawPictureWithFlash("rt0", "nyrkki", 0);
    drawPictureWithFlash("rt0", "nyrkki", 0.5f);
    glEnable(GL_DEPTH_TEST);
    glFinish();
}

std::vector<PassShaderSources> passShaderSources() {
    std::vector<PassShaderSources> sources;
    for (const PassProgram* program : passPrograms)
        sources.push_back({program->name, program->vertexSource, program->fragmentSource()});
    return sources;
}
