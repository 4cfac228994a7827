// The frame step as a host that owns its loop drives it: a show played to its end, then played again
// in the same process on the same loaded content.
#include <GL/glew.h>

#include <vector>

#include "clock/DemoContext.h"
#include "demo/Content.h"
#include "gpu/ProgramBuild.h"
#include "resources/Resources.h"
#include "shell/FrameCapture.h"
#include "shell/OfflineClock.h"
#include "shell/Shell.h"
#include "support/GLContext.h"

namespace {

struct PlayedShow {
    std::vector<std::vector<unsigned char>> frames;
    std::vector<float> flashes;
    int beatsCounted = 0;
    bool endReported = false;
};

// Frames in every scene, on and between beats, the last one before the end, then the end. Between
// them the clock steps at 60 Hz through the beat tracking, as a viewer's frames would.
PlayedShow playShow() {
    PlayedShow show;
    OfflineClock clock(60);
    for (double t : {5.0, 10.3, 21.0, 25.02, 40.0, 65.358, 109.5, 205.999}) {
        // Left on by a frame's drawing, these would change the next frame: the step turns them back.
        glColorMask(GL_FALSE, GL_TRUE, GL_TRUE, GL_TRUE);
        glEnable(GL_LIGHT3);
        clock.advanceTo(t);
        EXPECT_FALSE(renderFrame(clock)) << t;
        GLboolean mask[4];
        glGetBooleanv(GL_COLOR_WRITEMASK, mask);
        EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]);
        EXPECT_FALSE(glIsEnabled(GL_LIGHT3));
        std::vector<unsigned char> pixels(800 * 600 * 3);
        readFinishedFrame(800, 600, pixels.data());
        show.frames.push_back(pixels);
        show.flashes.push_back(shownFrame.beatFlash);
    }
    show.beatsCounted = demoContext.getBeatCount();
    clock.advanceTo(206.0);
    show.endReported = renderFrame(clock);
    return show;
}

using FrameStepTest = GLTest;

} // namespace

// Every program of the show is built during start-up, none while the music plays.
TEST_F(FrameStepTest, ShowPlayedTwiceInOneProcessDrawsTheSameFrames) {
    initDemo();
    const int programsAtStart = programsLinked();
    const PlayedShow first = playShow();
    EXPECT_EQ(programsLinked(), programsAtStart);
    EXPECT_TRUE(first.endReported);
    bool flashed = false;
    for (float flash : first.flashes) flashed = flashed || flash > 0;
    EXPECT_TRUE(flashed) << "no frame caught a beat flash: the beat state went untested";
    GLint framebuffer = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
    EXPECT_EQ(framebuffer, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    beginShow();
    const PlayedShow second = playShow();
    EXPECT_TRUE(second.endReported);
    EXPECT_EQ(second.beatsCounted, first.beatsCounted);
    EXPECT_EQ(second.flashes, first.flashes);
    ASSERT_EQ(second.frames.size(), first.frames.size());
    for (size_t i = 0; i < first.frames.size(); ++i) EXPECT_TRUE(second.frames[i] == first.frames[i]) << "frame " << i;
}

// A window resized between frames: the targets are made again for the new picture and the depth
// buffers of sizes no target has any more are let go; the window around a smaller picture is black,
// whatever the frame before left there; back at 800 x 600 the frame is the one drawn before.
TEST_F(FrameStepTest, TargetsFollowTheWindowsPictureAndItsBarsAreBlack) {
    initDemo();
    OfflineClock clock(60);
    clock.advanceTo(10.0);
    const auto frame = [&](const FrameView& view) {
        EXPECT_FALSE(renderFrame(clock, view));
        std::vector<unsigned char> pixels(800 * 600 * 3);
        readFinishedFrame(800, 600, pixels.data());
        return pixels;
    };
    const std::vector<unsigned char> whole = frame(FrameView());
    const FrameView small = centredView(800, 600, 300); // 400 x 300 in the middle
    const std::vector<unsigned char> boxed = frame(small);
    EXPECT_EQ(resources.fbos.get("rt0").width, 512);
    EXPECT_EQ(resources.fbos.get("rt0").height, 256);
    EXPECT_EQ(resources.fbos.get("rt.glow").width, 128);
    EXPECT_EQ(resources.fbos.depthBuffers.size(), 3u);
    EXPECT_EQ(resources.fbos.depthBuffers.count((512 << 16) + 256), 1u);
    long barLight = 0, pictureLight = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const bool inPicture = x >= 200 && x < 600 && y >= 150 && y < 450;
            for (int c = 0; c < 3; ++c) (inPicture ? pictureLight : barLight) += boxed[(y * 800 + x) * 3 + c];
        }
    EXPECT_EQ(barLight, 0);
    EXPECT_GT(pictureLight, 400 * 300 * 3 * 10);
    // A larger picture reads the sky's large faces; back at 800 x 600, the cube it read before.
    const unsigned int loadedSky = resources.textures.get(skyCube).id;
    frame(FrameView{1024, 768, 0, 0, 1024, 768});
    EXPECT_EQ(resources.textures.get(skyCube).width, 1024);
    EXPECT_TRUE(frame(FrameView()) == whole);
    EXPECT_EQ(resources.textures.get(skyCube).id, loadedSky);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
