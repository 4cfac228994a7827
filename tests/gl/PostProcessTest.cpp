#include <GL/glew.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "demo/Content.h"
#include "demo/PostProcess.h"
#include "demo/Timeline.h"
#include "resources/Resources.h"
#include "shell/Shell.h"
#include "support/GLContext.h"

namespace {

struct Rgba {
    int r, g, b, a;
};

class PostProcessTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        static bool targetsReady = false;
        if (!targetsReady) {
            createRenderTargets(); // the demo's render targets, as start-up makes them
            targetsReady = true;
        }
        // The demo's frame state: window viewport, 90-degree 4:3 perspective, model-view selected.
        loadDemoView();
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glColor4f(1, 1, 1, 1);
        glClearColor(0, 0, 0, 0);
        glGetError();
    }

    static int sizeOf(const char* name, int& height) {
        const rovena::Texture& texture = resources.textures.get(name);
        height = texture.texHeight;
        return texture.texWidth;
    }
    void fill(const char* name, const std::function<Rgba(int, int)>& colour) {
        int height = 0, width = sizeOf(name, height);
        std::vector<unsigned char> pixels(width * height * 4);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                Rgba c = colour(x, y);
                unsigned char* p = &pixels[(y * width + x) * 4];
                p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = c.a;
            }
        glBindTexture(GL_TEXTURE_2D, resources.textures.get(name).id);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    }
    std::vector<unsigned char> read(const char* name) {
        int height = 0, width = sizeOf(name, height);
        std::vector<unsigned char> pixels(width * height * 4);
        glBindTexture(GL_TEXTURE_2D, resources.textures.get(name).id);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
    // Largest difference over the first `channels` channels of every texel of two targets.
    int worstDifferenceBetween(const char* name, const char* other, int channels = 4) {
        auto a = read(name), b = read(other);
        int worst = 0;
        for (size_t i = 0; i < a.size(); ++i)
            if (static_cast<int>(i % 4) < channels) worst = std::max(worst, std::abs(a[i] - b[i]));
        return worst;
    }
    // Largest difference over all texels and channels between a target and an expected picture.
    int worstDifference(const char* name, const std::function<Rgba(int, int)>& expected) {
        int height = 0, width = sizeOf(name, height);
        auto pixels = read(name);
        int worst = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                Rgba e = expected(x, y);
                const unsigned char* p = &pixels[(y * width + x) * 4];
                int channels[4] = {e.r, e.g, e.b, e.a};
                for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(p[c] - channels[c]));
            }
        return worst;
    }
};

Rgba pattern(int x, int y) {
    return {(x * 37 + y * 11) % 256, (x * 5 + y * 29) % 256, (x ^ y) % 256, 255};
}
Rgba flat(int value) {
    return {value, value, value, value};
}
// White in the middle quarter, black around it: the brightest texels a blur can be given, and dark
// texels beside them where any glow would show.
Rgba whiteSquare(int x, int y) {
    return x >= 256 && x < 768 && y >= 128 && y < 384 ? flat(255) : Rgba{0, 0, 0, 255};
}

// glow as the passes were first issued, into "rt2" (the size of "rt1"): all six blur passes, a
// cleared target, the copy and one additive quad per layer, depth-tested as the blur leaves it.
void glowOneLayerAtATime(int layers, float strength) {
    glDisable(GL_DEPTH_TEST);
    blur("rt0", "rt.glow", 6, 0.75f, 0.75f, strength);
    glColor3f(1, 1, 1);
    resources.fbos.use("rt2");
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_BLEND);
    drawFullscreen("rt0", 1.0f);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    for (int layer = 0; layer < layers; ++layer) drawFullscreen("rt.glow", 1.0f);
    glDisable(GL_BLEND);
    resources.fbos.unuse();
}

// The largest strength whose glow blur the bound calls black, to 1/4096.
float blackBlurThreshold() {
    float threshold = 0;
    for (int step = 0; step <= 4096; ++step)
        if (blurRoundsToBlack(step / 4096.0f, 5)) threshold = step / 4096.0f;
    return threshold;
}

} // namespace

// With half-texel offsets every sample of the first pass lands on a texel centre of "rt0": a texel
// (x, y) of "rt.glow" averages the 2 x 2 source texels around (4x + 2, 4y + 2).
TEST_F(PostProcessTest, OneBlurPassAveragesFourDiagonalSamplesAndLeavesTheSpareBuffer) {
    fill("rt0", pattern);
    fill("rt.blur", [](int, int) { return Rgba{10, 20, 30, 40}; });
    const float strength = 0.8f;
    blur("rt0", "rt.glow", 1, 0.5f, 0.5f, strength);
    auto expected = [&](int x, int y) {
        Rgba s[4] = {pattern(4 * x + 2, 4 * y + 2), pattern(4 * x + 1, 4 * y + 1),
                     pattern(4 * x + 2, 4 * y + 1), pattern(4 * x + 1, 4 * y + 2)};
        auto mix = [&](int Rgba::*channel) {
            return static_cast<int>(
                strength * 0.25f * (s[0].*channel + s[1].*channel + s[2].*channel + s[3].*channel) + 0.5f);
        };
        return Rgba{mix(&Rgba::r), mix(&Rgba::g), mix(&Rgba::b), mix(&Rgba::a)};
    };
    // Four rounded blend steps in an 8-bit buffer.
    EXPECT_LE(worstDifference("rt.glow", expected), 3);
    EXPECT_EQ(worstDifference("rt.blur", [](int, int) { return Rgba{10, 20, 30, 40}; }), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A flat source stays flat through every pass, so each buffer shows which pass wrote it last:
// the first pass gives 0.8 x 200 = 160, the second 0.8 x 160 = 128.
TEST_F(PostProcessTest, TwoBlurPassesLeaveTheFirstInTheDestinationAndTheSecondInTheSpare) {
    fill("rt0", [](int, int) { return flat(200); });
    fill("rt.blur", [](int, int) { return flat(7); });
    blur("rt0", "rt.glow", 2, 0.75f, 0.75f, 0.8f);
    EXPECT_LE(worstDifference("rt.glow", [](int, int) { return flat(160); }), 2);
    EXPECT_LE(worstDifference("rt.blur", [](int, int) { return flat(128); }), 3);
}

TEST_F(PostProcessTest, ZeroBlurPassesLeaveTheDestinationCleared) {
    fill("rt0", pattern);
    fill("rt.glow", [](int, int) { return flat(99); });
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    blur("rt0", "rt.glow", 0, 0.75f, 0.75f, 1.0f);
    EXPECT_EQ(worstDifference("rt.glow", [](int, int) { return Rgba{51, 102, 153, 255}; }), 0);
}

// No layers, or a blur of strength 0 added any number of times, must leave "rt1" a copy of "rt0".
// The quad's half-width of 1.33334 overshoots 4/3 by a few millionths, so a texel can take up to
// 1/256 of its neighbour: a smooth picture copies exactly, a sharp one to within one level.
TEST_F(PostProcessTest, GlowWithoutLayersOrStrengthCopiesTheSource) {
    auto smooth = [](int x, int y) { return Rgba{x / 4, y / 2, (x + y) / 6, 255}; };
    const struct {
        int layers;
        float strength;
    } cases[] = {{0, 1.0f}, {4, 0.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.layers) + " layers, strength " + std::to_string(c.strength));
        fill("rt0", smooth);
        fill("rt1", [](int, int) { return flat(3); });
        glow("rt0", "rt1", c.layers, c.strength);
        EXPECT_EQ(worstDifference("rt1", smooth), 0);
        fill("rt0", pattern);
        glow("rt0", "rt1", c.layers, c.strength);
        EXPECT_LE(worstDifference("rt1", pattern), 1);
    }
}

// The blur reaches about ten texels past an edge. Sampled past the top, the render textures must
// give the top row again, not the bottom one: a bright sky along the top of a frame would light
// its bottom edge on every beat. The same holds across the left and right edges.
TEST_F(PostProcessTest, GlowStaysOnItsSideOfTheFrame) {
    const struct {
        const char* edge;
        std::function<bool(int, int)> lit, farSide;
    } cases[] = {
        {"top", [](int, int y) { return y >= 508; }, [](int, int y) { return y < 16; }},
        {"bottom", [](int, int y) { return y < 4; }, [](int, int y) { return y >= 496; }},
        {"left", [](int x, int) { return x < 4; }, [](int x, int) { return x >= 1008; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edge);
        fill("rt0", [&](int x, int y) { return c.lit(x, y) ? flat(255) : Rgba{0, 0, 0, 255}; });
        glow("rt0", "rt1", 4, 1.0f);
        const auto pixels = read("rt1");
        int nearSide = 0, farSide = 0;
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 1024; ++x) {
                const int red = pixels[(y * 1024 + x) * 4];
                if (c.farSide(x, y)) farSide = std::max(farSide, red);
                // Just inside the lit band's reach, where the glow must still show.
                if (!c.lit(x, y) && (c.lit(x, y + 4) || c.lit(x, y - 4) || c.lit(x - 4, y)))
                    nearSide = std::max(nearSide, red);
            }
        EXPECT_GT(nearSide, 40);
        EXPECT_EQ(farSide, 0);
    }
}

TEST_F(PostProcessTest, GlowAddsTheBlurLayersToTheSource) {
    fill("rt0", [](int, int) { return Rgba{40, 60, 80, 255}; });
    glow("rt0", "rt1", 4, 0.5f);
    // A flat picture blurs flat. Each of the four quads of a pass rounds on its own in the 8-bit
    // target, so the halving stalls at a few levels instead of reaching 40 x 0.5^5.
    auto blurred = read("rt.glow");
    Rgba layer = {blurred[0], blurred[1], blurred[2], blurred[3]};
    EXPECT_GT(layer.r, 0);
    EXPECT_LT(layer.r, 10);
    EXPECT_EQ(worstDifference("rt.glow", [&](int, int) { return layer; }), 0);
    EXPECT_EQ(worstDifference("rt1",
                              [&](int, int) {
                                  return Rgba{40 + 4 * layer.r, 60 + 4 * layer.g, 80 + 4 * layer.b, 255};
                              }),
              0);
}

// Scale 2 doubles the quad about the view's centre: "rt1" then shows texels 256 to 767 across and
// 128 to 383 up of "rt0", whose 32-texel blocks are numbered in red and green.
TEST_F(PostProcessTest, FullscreenAtScaleTwoShowsTheMiddleHalf) {
    auto blocks = [](int x, int y) { return Rgba{(x / 32) * 8, (y / 32) * 16, 0, 255}; };
    fill("rt0", blocks);
    resources.fbos.use("rt1");
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawFullscreen("rt0", 2.0f);
    resources.fbos.unuse();
    auto shown = read("rt1");
    for (int y = 32; y < 512; y += 64)
        for (int x = 32; x < 1024; x += 64) {
            Rgba e = blocks(256 + x / 2, 128 + y / 2);
            const unsigned char* p = &shown[(y * 1024 + x) * 4];
            EXPECT_EQ(p[0], e.r) << x << "," << y;
            EXPECT_EQ(p[1], e.g) << x << "," << y;
        }
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

// Each pass gives back what it changes, whatever the caller had set: a viewport, a colour, the
// projection selected, blending on with its own function and constant, depth testing off, a
// program in use. Both ways through glow (with its blur, and with a blur too faint to show left
// out) and both ways to the picture (with and without the emblem).
TEST_F(PostProcessTest, PassesGiveBackTheStateTheyFound) {
    fill("rt0", pattern);
    resources.textures.upload("nyrkki", 64, 64, nullptr, GL_RGB8, GL_RGB);
    const PassShaderSources caller = passShaderSources().back();
    const unsigned int program =
        resources.shaders.addProgram("test.caller", caller.vertex, caller.fragment).program;
    const struct {
        const char* pass;
        std::function<void()> draw;
    } cases[] = {
        {"blur", [] { blur("rt0", "rt.glow", 3, 0.75f, 0.75f, 0.7f); }},
        {"glow", [] { glow("rt0", "rt1", 4, 0.6f); }},
        {"faint glow", [] { glow("rt0", "rt1", 4, 0.0f); }},
        {"picture", [] { drawPictureWithFlash("rt0", "nyrkki", 0); }},
        {"picture with flash", [] { drawPictureWithFlash("rt0", "nyrkki", 0.5f); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pass);
        glViewport(10, 20, 300, 200);
        glColor4f(0.5f, 0.25f, 0.75f, 0.5f);
        glBlendColorEXT(0.1f, 0.2f, 0.3f, 0.4f);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glEnable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
        glUseProgramObjectARB(program);
        glMatrixMode(GL_PROJECTION);
        GLint stackBefore = 0;
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &stackBefore);
        c.draw();

        GLint viewport[4], framebuffer = -1, stackAfter = -1, blendSource = 0, blendDestination = 0,
                           matrixMode = 0, programAfter = -1, activeUnit = 0;
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &stackAfter);
        glGetIntegerv(GL_BLEND_SRC, &blendSource);
        glGetIntegerv(GL_BLEND_DST, &blendDestination);
        glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
        glGetIntegerv(GL_CURRENT_PROGRAM, &programAfter);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &activeUnit);
        GLfloat colour[4], blendColour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        glGetFloatv(GL_BLEND_COLOR, blendColour);
        const bool blendOn = glIsEnabled(GL_BLEND), depthOn = glIsEnabled(GL_DEPTH_TEST);
        glUseProgramObjectARB(0);
        glMatrixMode(GL_MODELVIEW);
        glDisable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
        EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{10, 20, 300, 200}));
        EXPECT_EQ(framebuffer, 0);
        EXPECT_EQ(stackAfter, stackBefore);
        EXPECT_EQ(blendSource, GL_SRC_ALPHA);
        EXPECT_EQ(blendDestination, GL_ONE);
        EXPECT_EQ(matrixMode, GL_PROJECTION);
        EXPECT_EQ(programAfter, static_cast<GLint>(program));
        EXPECT_EQ(activeUnit, GL_TEXTURE0);
        EXPECT_EQ(std::vector<GLfloat>(colour, colour + 4), (std::vector<GLfloat>{0.5f, 0.25f, 0.75f, 0.5f}));
        EXPECT_EQ(std::vector<GLfloat>(blendColour, blendColour + 4),
                  (std::vector<GLfloat>{0.1f, 0.2f, 0.3f, 0.4f}));
        EXPECT_TRUE(blendOn);
        EXPECT_FALSE(depthOn);
        EXPECT_TRUE(resources.fbos.current.empty());
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    // The copy was drawn on the model-view matrix, not the projection the caller had selected.
    EXPECT_LE(worstDifference("rt1", pattern), 1);
}

// glow draws each blur pass as one quad, stops its blur after the fifth pass and adds its layers
// in one quad; the picture must be the one the six passes, the copy and one quad per layer give,
// level for level: where the sum clamps (strength 1 glows the white square beyond 255 / 4), for
// blend constants that lie halfway between two levels (strength 0.3843 gives 24.5, 0.4471 gives
// 28.5: stored as the even one), and with a tint that halves the samples (the 8-bit target
// rounds those halves to even), handed to glow while another colour is current. Glowed in place,
// the source keeps its own texels where the copy would take up to 1/256 of a neighbour's: within
// one level of the passes drawn in full.
TEST_F(PostProcessTest, GlowMatchesTheBlurAndLayersDrawnOneAtATime) {
    const struct {
        int layers;
        float strength;
        float red, green; // the caller's colour, blue as red
    } cases[] = {{4, 0.5f, 1, 1},      {4, 1.0f, 1, 1},         {3, 0.8f, 1, 1},
                 {7, 0.6f, 1, 1},      {4, 0.384313732f, 1, 1}, {4, 0.447058827f, 0.6f, 0.54f},
                 {4, 1.3f, 0.5f, 0.5f}};
    auto picture = [](int x, int y) {
        Rgba square = whiteSquare(x, y), p = pattern(x, y);
        return Rgba{std::max(square.r, p.r / 2), std::max(square.g, p.g / 3), square.b, 255};
    };
    for (const auto& c : cases)
        for (const char* destination : {"rt1", "rt0"}) {
            SCOPED_TRACE(std::to_string(c.layers) + " layers, strength " + std::to_string(c.strength) +
                         ", colour " + std::to_string(c.red) + " " + std::to_string(c.green) + " into " +
                         destination);
            fill("rt0", picture);
            glColor3f(c.red, c.green, c.red);
            glowOneLayerAtATime(c.layers, c.strength);
            const auto blurred = read("rt.glow");
            fill("rt.glow", [](int, int) { return flat(77); }); // so the check sees glow's own blur
            // The tint is glow's argument: the current colour, another one, must not count.
            glColor3f(c.green, c.red, 0.25f);
            glow("rt0", destination, c.layers, c.strength, {c.red, c.green, c.red});
            EXPECT_TRUE(read("rt.glow") == blurred);
            EXPECT_LE(worstDifferenceBetween(destination, "rt2"), destination == std::string("rt0") ? 1 : 0);
        }
}

// glow leaves out the blur and its layers below the bound: at the largest strength it does so for,
// the glow blur of the brightest source must still be black in every texel, and the glowing
// picture the one drawn in full. A blur a little stronger does show, so the check can fail.
TEST_F(PostProcessTest, GlowLeavesOutOnlyBlursThatRoundToBlack) {
    const float threshold = blackBlurThreshold();
    ASSERT_GT(threshold, 0.0f);
    EXPECT_FALSE(blurRoundsToBlack(0.5f, 5)); // the first scene's steady glow
    fill("rt0", whiteSquare);
    const struct {
        float strength;
        bool black;
    } cases[] = {{threshold, true}, {threshold + 0.08f, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("strength " + std::to_string(c.strength));
        EXPECT_EQ(blurRoundsToBlack(c.strength, 5), c.black);
        glowOneLayerAtATime(4, c.strength);
        const int brightest = worstDifference("rt.glow", [](int, int) { return flat(0); });
        EXPECT_EQ(brightest == 0, c.black) << "brightest blurred level " << brightest;
        glow("rt0", "rt1", 4, c.strength);
        EXPECT_EQ(worstDifferenceBetween("rt1", "rt2"), 0);
    }
}

// The picture with the beat's emblem in one quad: its colour channels must be the picture drawn and
// the emblem added over it at every flash, down to the faintest (one level of a white emblem
// texel), at flashes whose products fall halfway between two levels (0.5 and 0.9 of odd levels:
// stored as the even one), and above 1 (a pulse after a seek back), which GL clamps as a colour.
// At flash 0 the emblem is left out.
TEST_F(PostProcessTest, PictureWithFlashMatchesThePictureAndTheEmblemDrawnInTurn) {
    std::vector<unsigned char> emblem(512 * 512 * 3);
    for (size_t i = 0; i < emblem.size(); ++i)
        emblem[i] = (i / 3) % 512 < 256 ? 255 : static_cast<unsigned char>(i);
    resources.textures.upload("nyrkki", 512, 512, emblem.data(), GL_RGB8, GL_RGB);
    fill("rt0", pattern);
    glDisable(GL_DEPTH_TEST); // as the timeline draws it
    for (float flash : {0.0f, 1.0f / 255, 0.5f, 0.9f, 1.0f, 1.6f}) {
        SCOPED_TRACE("flash " + std::to_string(flash));
        fill("rt1", [](int, int) { return flat(3); });
        resources.fbos.use("rt1");
        drawPictureWithFlash("rt0", "nyrkki", flash);
        resources.fbos.unuse();
        resources.fbos.use("rt2");
        glDisable(GL_BLEND);
        drawFullscreen("rt0", 1.0f);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        glColor3f(flash, flash, flash);
        drawFullscreen("nyrkki", 1.0f);
        glColor3f(1, 1, 1);
        glDisable(GL_BLEND);
        resources.fbos.unuse();
        EXPECT_EQ(worstDifferenceBetween("rt1", "rt2", 3), 0);
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        GLint program = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        EXPECT_EQ(program, 0);
    }
    EXPECT_GT(worstDifference("rt2", pattern), 0); // the emblem did show at the last flash
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
