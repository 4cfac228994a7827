#include "demo/PostProcess.h"

#include <GL/glew.h>

#include <cmath>

#include "resources/Resources.h"

void (*framePhaseDone)(FramePhase phase) = nullptr;

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

} // namespace

void drawFullscreen(const std::string& name, float scale) {
    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0, 0, -1);
    glScalef(scale, scale, 1);
    glBindTexture(GL_TEXTURE_2D, resources.textures.get(name).id);
    glEnable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1.33334f, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1.33334f, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1.33334f, 1);
    glTexCoord2f(0, 1);
    glVertex2f(-1.33334f, 1);
    glEnd();
    glPopMatrix();
    glPopAttrib();
}

namespace {

// blur without its clears, leaving depth testing off.
void blurPasses(const std::string& source, const std::string& destination, int passes, float verticalOffset,
                float horizontalOffset, float strength) {
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
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, input.id);
    glEnable(GL_TEXTURE_2D);

    std::string other = source;
    glBlendColorEXT(1, 1, 1, strength * 0.25f);

    for (int pass = 0; pass < passes; ++pass) {
        if (pass % 2 == 0) {
            resources.fbos.use(destination);
            glBindTexture(GL_TEXTURE_2D, resources.textures.get(other).id);
        } else {
            resources.fbos.use(other);
            glBindTexture(GL_TEXTURE_2D, resources.textures.get(destination).id);
        }
        float dx = horizontalOffset / width;
        float dy = verticalOffset / height;

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

        verticalOffset *= 1.5f;
        horizontalOffset *= 1.5f;
        resources.fbos.unuse();
        if (pass == 0) other = "rt.blur";
    }

    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

// Adds `layers` copies of the named texture over the view with the additive blend the caller set,
// in as few quads as the texture environment's scale (1, 2 or 4) allows. Every copy adds the same
// texel value g, never negative, so the clamped sums agree: min(1, min(1, d + g) + g) =
// min(1, d + 2g), and a copy scaled by 4 is min(1, 4g) before the blend clamps d + 4g. Exact
// wherever the filtered texel is a whole 8-bit level, as Mesa's software rasteriser gives it for
// 8-bit textures; where filtering keeps finer fractions, 4g is rounded once instead of g four times.
void addLayers(const std::string& name, int layers) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_MODULATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_PRIMARY_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA, GL_PRIMARY_COLOR);
    for (int scale = 4; scale >= 1; scale /= 2) {
        glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, static_cast<float>(scale));
        glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, static_cast<float>(scale));
        for (; layers >= scale; layers -= scale) drawFullscreen(name, 1.0f);
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

} // namespace

void blur(const std::string& source, const std::string& destination, int passes, float verticalOffset,
          float horizontalOffset, float strength) {
    // Clears whatever is bound at the call; in the demo that is the window, which is redrawn later.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    resources.fbos.use(destination);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    resources.fbos.unuse();
    blurPasses(source, destination, passes, verticalOffset, horizontalOffset, strength);
    glEnable(GL_DEPTH_TEST);
}

bool blurRoundsToBlack(float strength, int passes) {
    // The blend constant strength / 4, at most one level above its value once made 8-bit.
    const double constant = std::ceil(255.0 * std::fmin(std::fmax(strength * 0.25f, 0.0f), 1.0f)) / 255.0;
    double brightest = 255; // levels of the brightest texel a pass can read
    for (int pass = 0; pass < passes && brightest > 0; ++pass)
        brightest = std::fmin(255, 4 * std::floor(brightest * constant + 0.5));
    return brightest == 0;
}

// glow issues blur's passes without blur's clears: the window it would clear is cleared by the
// timeline and covered later, and the first quad of pass 0 replaces every texel of "rt.glow".
void glow(const std::string& source, const std::string& destination, int layers, float strength) {
    glDisable(GL_DEPTH_TEST);
    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    // Layers of a black blur would add nothing: only the copy of the source is left to draw.
    const bool blackLayers = layers <= 0 || blurRoundsToBlack(strength, glowBlurPassesRead);
    if (blackLayers) {
        glBlendColorEXT(1, 1, 1, strength * 0.25f);
        glMatrixMode(GL_MODELVIEW);
    } else {
        // Runs with the caller's colour, before it turns white.
        blurPasses(source, "rt.glow", glowBlurPassesRead, glowBlurOffset, glowBlurOffset, strength);
    }
    reportFramePhase(FramePhase::blur);
    glColor3f(1, 1, 1);

    // No clear: the copy replaces every texel of the destination, and depth testing stays off for
    // these quads (they all lie at one depth, so the test never decided anything).
    resources.fbos.use(destination);
    glDisable(GL_BLEND);
    drawFullscreen(source, 1.0f);
    glBlendFunc(GL_ONE, GL_ONE);
    if (!blackLayers) {
        glEnable(GL_BLEND);
        addLayers("rt.glow", layers);
        glDisable(GL_BLEND);
    }

    // This pop takes the viewport entry fbos.use pushed, and the pop inside fbos.unuse takes the
    // lighting entry pushed above: both states come back and the attribute stack is as it was.
    glPopAttrib();
    glEnable(GL_DEPTH_TEST);
    resources.fbos.unuse();
    reportFramePhase(FramePhase::glow);
}
