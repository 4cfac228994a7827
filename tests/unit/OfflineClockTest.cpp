// The offline clock as the video export, the offline renderer and the page's still use it: the
// frame times it hands the frame step, and the beat tracking's frames passed on the way.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "demo/Timeline.h"
#include "shell/OfflineClock.h"

namespace {

// The frame times a viewer would have seen on the way to the next frame, ms; more than the whole
// show holds at 240 frames per second stops the count, which a test then reports, rather than hangs.
std::vector<int> passedFrames(OfflineClock& clock) {
    std::vector<int> passed;
    for (int ms; passed.size() <= 206 * 240 && clock.nextPassedFrameMs(ms);) passed.push_back(ms);
    return passed;
}

} // namespace

// A frame the export or render_frames draws before 206 s must be a frame of the show: a show time
// rounded up to the end would end the video a frame early or leave a still blank.
TEST(OfflineClockTest, NoFrameBeforeTheEndBecomesTheEnd) {
    for (double seconds : {205.9, 205.999, 205.9994, 205.9995, 205.99999, std::nextafter(showEndSeconds, 0.0)}) {
        SCOPED_TRACE(seconds);
        EXPECT_NE(sceneAt(showSecondsFromMs(offlineShowMs(seconds))), Scene::over);
    }
    for (double seconds : {showEndSeconds, 206.0004, 1000.0, 1e12, 1e300}) {
        SCOPED_TRACE(seconds);
        EXPECT_EQ(sceneAt(showSecondsFromMs(offlineShowMs(seconds))), Scene::over);
    }
    // Every frame of an export, at its rates, from starts that put frames just short of the end.
    for (int fps : {24, 30, 60, 240}) {
        for (double start : {0.0, 205.0 + 1e-7, 205.99}) {
            OfflineClock clock(fps);
            clock.jumpTo(start);
            for (long frame = 0; start + frame / static_cast<double>(fps) < showEndSeconds; ++frame) {
                clock.advanceTo(start + frame / static_cast<double>(fps));
                ASSERT_TRUE(passedFrames(clock).empty()) << fps << " fps, frame " << frame;
                ASSERT_NE(sceneAt(showSecondsFromMs(clock.frameMs())), Scene::over)
                    << fps << " fps from " << start << ", frame " << frame;
            }
        }
    }
}

// Between two rendered times the beat tracking sees every frame a viewer at the rate would, one
// step apart, and never the rendered frame itself.
TEST(OfflineClockTest, PassesEveryFrameOfTheRateBetweenRenderedTimes) {
    for (int fps : {24, 30, 60}) {
        SCOPED_TRACE(fps);
        OfflineClock clock(fps);
        clock.advanceTo(10.0);
        std::vector<int> passed = passedFrames(clock);
        ASSERT_EQ(passed.size(), static_cast<size_t>(10 * fps - 1));
        EXPECT_EQ(passed.front(), static_cast<int>(1000.0 / fps));
        EXPECT_EQ(clock.frameMs(), 10000);
        clock.advanceTo(11.0);
        passed = passedFrames(clock);
        ASSERT_EQ(passed.size(), static_cast<size_t>(fps - 1));
        for (size_t i = 1; i < passed.size(); ++i) {
            // Truncated to whole milliseconds: a step is the period, give or take one.
            EXPECT_NEAR(passed[i] - passed[i - 1], 1000.0 / fps, 1.0) << i;
        }
        EXPECT_GT(passed.front(), 10000);
        EXPECT_LT(passed.back(), 11000);
    }
}

// However far past the end a time is (render_frames 1e12, a range that ends there, a page's
// #t=1e300), the beat tracking is stepped no further than the end, so the frame comes at once.
TEST(OfflineClockTest, StepsStopAtTheEndOfTheShowHoweverFarTheTime) {
    for (double far : {1e7, 1e12, 1e300}) {
        SCOPED_TRACE(far);
        OfflineClock clock(60);
        clock.advanceTo(200.0);
        passedFrames(clock);
        clock.advanceTo(far);
        const std::vector<int> passed = passedFrames(clock);
        EXPECT_LE(passed.size(), 6u * 60);
        EXPECT_LT(passed.back(), 206000);
        EXPECT_EQ(clock.frameMs(), 206000);
    }
}

// A seek lands without frames in between; paused, the show stands where it was.
TEST(OfflineClockTest, SeekPassesNoFramesAndPauseHoldsTheTime) {
    OfflineClock clock(60);
    clock.advanceTo(5.0);
    clock.seekTo(50.0f);
    EXPECT_TRUE(passedFrames(clock).empty());
    EXPECT_EQ(clock.frameMs(), 50000);
    clock.togglePause();
    clock.advanceTo(51.0);
    EXPECT_TRUE(passedFrames(clock).empty());
    EXPECT_EQ(clock.frameMs(), 50000);
    clock.togglePause();
    clock.advanceTo(50.5);
    EXPECT_EQ(passedFrames(clock).size(), 29u);
    EXPECT_EQ(clock.frameMs(), 50500);
}
