#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "base/BeatGrid.h"
#include "support/FrameCompare.h"
#include "support/Process.h"
#include "support/TempDir.h"

// The renderer whose frames are checked: the program's own, or another build of it (the GL route's).
#ifndef LUMORAKKA_RENDER_FRAMES
#define LUMORAKKA_RENDER_FRAMES LUMORAKKA_BUILD_DIR "/render_frames"
#endif

namespace {

struct GoldenFrame {
    const char* name; // tests/golden/<name>.png
    double timeSeconds;
};

// Scene 1 (marble figure), scene 2 (metaballs), scene 3 rows with every orbit scale and every
// material of the sequence, the last moment of the show, and the beat overlay on and off. In the
// order of the show: the renderer steps the beat tracking forward between them, as a viewer's frames
// would, and a time before the last one is a seek back, after which no beat has flashed yet.
const GoldenFrame goldenFrames[] = {
    {"figure-02.0", 2.0},
    {"figure-10.0", 10.0},
    {"figure-17.3", 17.3},
    // In the first scene the glow is steady, so the overlay shows on its own: beat 40 is even and
    // flashes, beat 41 is odd and doesn't, beat 39 precedes an eighth beat and flashes although odd.
    {"beat39-flash", beatTimeSeconds(39) + 0.04},
    {"beat40-flash", beatTimeSeconds(40) + 0.04},
    {"beat41-dark", beatTimeSeconds(41) + 0.04},
    {"metaballs-21.0", 21.0},
    {"metaballs-25.0", 25.0},
    {"metaballs-29.6", 29.6},
    {"row00-m1-pah-scale1.5", 32.0},
    {"row01-m6-bakteeri1-scale1", 35.5},
    {"row02-m9-ninja-scale2", 39.0},
    {"row03-m2-bakteeri1-scale1", 43.0},
    // Later scenes glow with the pulse: half way down from a beat.
    {"beat100-half-pulse", beatTimeSeconds(100) + 0.15},
    {"row05-m8-pah-scale3", 50.0},
    {"row07-m3-bakteeri1-scale1.7", 57.0},
    {"row08-m7-ninja-scale2", 61.0},
    {"row09-m5-pah-scale2", 65.0},
    {"row10-m4-ninja-scale2", 69.0},
    {"row20-m3-demoni-scale2", 105.0},
    {"row21-m7-pah-scale0.1", 109.0},
    {"row47-end-205.999", 205.999},
};

std::string goldenPath(const char* name) {
    return std::string(LUMORAKKA_SOURCE_DIR) + "/tests/golden/" + name + ".png";
}

} // namespace

// One run of the renderer for every frame: start-up costs more than the frames.
TEST(GoldenFramesTest, RendererMatchesTheCommittedFrames) {
    TempDir scratch;
    const std::string folder = scratch.path + "/frames";
    std::vector<std::string> command = {LUMORAKKA_RENDER_FRAMES, "--out", folder};
    for (const GoldenFrame& frame : goldenFrames) command.push_back(std::to_string(frame.timeSeconds));
    const CommandResult run = runCommand(command, LUMORAKKA_BUILD_DIR, {}, 240000);
    ASSERT_EQ(run.exitStatus, 0) << run.errors;

    // LUMORAKKA_UPDATE_GOLDEN=1 takes the new frames as the committed ones (look at them first).
    const bool update = std::getenv("LUMORAKKA_UPDATE_GOLDEN") != nullptr;
    const std::string mismatches = std::string(LUMORAKKA_BUILD_DIR) + "/golden-mismatches";
    int index = 0;
    for (const GoldenFrame& frame : goldenFrames) {
        SCOPED_TRACE(frame.name);
        char actual[64];
        snprintf(actual, sizeof actual, "/frame%04d.png", index++);
        const std::string actualPath = folder + actual;
        if (update) {
            std::filesystem::copy_file(actualPath, goldenPath(frame.name),
                                       std::filesystem::copy_options::overwrite_existing);
            continue;
        }
        const FrameDifference difference = compareFrames(goldenPath(frame.name), actualPath, frameTolerance);
        ASSERT_TRUE(difference.comparable) << difference.problem;
        const bool matches = difference.beyondTolerance <= difference.pixels * allowedOutlierShare;
        EXPECT_TRUE(matches) << difference.beyondTolerance << " pixels differ by more than " << frameTolerance
                             << " (largest difference " << difference.largestDifference << ")";
        if (!matches) {
            std::filesystem::create_directories(mismatches);
            std::filesystem::copy_file(actualPath, mismatches + "/" + frame.name + ".png",
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }
    if (!update) {
        // The emblem lights its ring round the picture on flashing beats only, and the fist on the
        // ring's crown at the top of the frame most: a missing flash leaves the dark sky there.
        auto crown = [&](const char* name) { return meanChannel(goldenPath(name), 0, 360, 10, 440, 70); };
        EXPECT_GT(crown("beat40-flash"), crown("beat41-dark") + 20);
        EXPECT_GT(crown("beat39-flash"), crown("beat41-dark") + 20);
    }
}
