#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <GL/glew.h>
#include <unistd.h>

#include "image/Image.h"
#include "shell/FrameCapture.h"
#include "support/GLContext.h"
#include "support/TempDir.h"

namespace {

// Runs each test in a fresh working directory of its own, since captures land under it.
class FrameCaptureTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        scratch = std::make_unique<TempDir>();
        captureCounter = 0;
    }
    void TearDown() override { scratch.reset(); }

    // Blue picture with a red band over its top 100 rows, in the back buffer.
    static void drawBandedFrame() {
        glViewport(0, 0, 800, 600); // the GL tests' window
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 600 - 100, 800, 100);
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        glFinish();
    }

    std::unique_ptr<TempDir> scratch;
};

} // namespace

TEST_F(FrameCaptureTest, ShotIsTheFinishedFrameTopRowFirst) {
    drawBandedFrame();
    captureFrame();
    Image shot;
    ASSERT_EQ(read_png("shots/shot0000.png", &shot, false), 0);
    EXPECT_EQ(shot.width, 800);
    EXPECT_EQ(shot.height, 600);
    EXPECT_EQ(shot.channels, 3);
    const unsigned char* top = shot.pixels;
    const unsigned char* bottom = shot.pixels + (shot.height - 1) * shot.rowBytes;
    EXPECT_EQ(top[0], 255);
    EXPECT_EQ(top[2], 0);
    EXPECT_EQ(bottom[0], 0);
    EXPECT_EQ(bottom[2], 255);
    delete[] shot.pixels;
}

TEST_F(FrameCaptureTest, ShotsAreNumberedAndTheFolderIsMadeOnce) {
    EXPECT_FALSE(std::filesystem::exists("shots"));
    drawBandedFrame();
    captureFrame();
    captureFrame();
    EXPECT_TRUE(std::filesystem::exists("shots/shot0000.png"));
    EXPECT_TRUE(std::filesystem::exists("shots/shot0001.png"));
    EXPECT_EQ(captureCounter, 2);
    EXPECT_EQ(shotPath(9999), "shots/shot9999.png");
    EXPECT_EQ(shotPath(10000), "shots/shot10000.png");
}

// A capture that can't be written is reported and the show goes on with the next number.
TEST_F(FrameCaptureTest, UnwritableFolderIsReportedAndNumberingGoesOn) {
    std::ofstream("shots") << "not a folder";
    drawBandedFrame();
    testing::internal::CaptureStderr();
    captureFrame();
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("can't open shots/shot0000.png"), std::string::npos) << errors;
    EXPECT_EQ(captureCounter, 1);
}
