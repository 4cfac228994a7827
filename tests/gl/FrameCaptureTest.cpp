#include <cstdlib>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <GL/glew.h>
#include <sys/resource.h>
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

// A capture that can't be written is one line naming the file and the real reason; the shot an
// earlier run left at that name keeps its picture, nothing else is left, and the numbering goes on.
TEST_F(FrameCaptureTest, UnwritableShotKeepsTheEarlierOneAndSaysWhy) {
    const struct {
        const char* what;
        const char* folder;   // the working directory
        rlim_t fileSizeLimit; // bytes; RLIM_INFINITY for none
        const char* says;
    } cases[] = {
        {"shots is a file", ".", RLIM_INFINITY, "can't open shots/shot0000.png: Not a directory"},
        {"the folder can't be made", "/sys", RLIM_INFINITY,
         "can't open shots/shot0000.png: can't make the folder shots: Operation not permitted"},
        {"a file-size limit", ".", 64, "can't write shots/shot0000.png: File too large"},
    };
    drawBandedFrame();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto capture = [&] {
            if (std::string(c.what) == "shots is a file") {
                std::ofstream("shots") << "not a folder";
            } else if (c.fileSizeLimit != RLIM_INFINITY) {
                std::filesystem::create_directory("shots");
                std::ofstream("shots/shot0000.png") << "an earlier run's shot";
            }
            if (chdir(c.folder) != 0) exit(5);
            const rlimit limit{c.fileSizeLimit, c.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
            const bool written = captureFrame();
            std::string kept;
            std::getline(std::ifstream("shots/shot0000.png"), kept);
            const bool onlyTheEarlier = c.fileSizeLimit == RLIM_INFINITY ||
                                        (kept == "an earlier run's shot" &&
                                         std::distance(std::filesystem::directory_iterator("shots"),
                                                       std::filesystem::directory_iterator()) == 1);
            exit(!written && captureCounter == 1 && onlyTheEarlier ? 3 : 4);
        };
        EXPECT_EXIT(capture(), testing::ExitedWithCode(3), c.says);
    }
}
