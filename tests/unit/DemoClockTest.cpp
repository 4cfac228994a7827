// The beat clock on its own, frames given their times directly; seeking, pausing and the key actions
// through the music's time source on a caller-set clock, so time is exact and no sound device is
// involved.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/BeatGrid.h"
#include "clock/DemoContext.h"
#include "clock/MusicTime.h"
#include "platform/Sound.h"
#include "platform/Window.h"
#include "shell/Shell.h"

namespace {

class DemoClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        setCallerClockTime(clock, 0);
        demoContext.reset();
    }

    // One frame as a host runs it: the frame's time, then the beat tracked at the frame's end.
    static void frameAt(DemoContext& context, int positionMs) {
        context.setTime(showSecondsFromMs(positionMs));
        context.detectBeat();
    }

    // A frame's time read from the music, as the frame step reads it.
    void frameFromMusic() { demoContext.setTime(showSecondsFromMs(music.frameMs())); }

    // One for the process: the sound module keeps every stream it opens.
    static FSOUND_STREAM* callerClock() {
        static FSOUND_STREAM* const stream = openCallerClockStream();
        return stream;
    }

    FSOUND_STREAM* const clock = callerClock();
    MusicTime music{clock};
};

std::string logLine(const DemoContext& context, int i) {
    return context.messageLog[i];
}
} // namespace

TEST_F(DemoClockTest, FirstBeatCountsAtAbout0_2615Seconds) {
    DemoContext context;
    int firstBeatMs = -1;
    for (int ms = 0; ms <= 400 && firstBeatMs < 0; ++ms) {
        frameAt(context, ms);
        if (context.getBeatCount() == 1) firstBeatMs = ms;
    }
    EXPECT_EQ(firstBeatMs, 262);
    EXPECT_FLOAT_EQ(context.lastBeatTime, 0.262f);
    EXPECT_FLOAT_EQ(context.beatPulse(), 1.0f);
}

// Frames closer than 0.4 of a period catch every beat; further apart, whole beats slip by.
TEST_F(DemoClockTest, CountsOneBeatPerPeriodUnlessFramesAreTooFarApart) {
    struct Case {
        double frameSeconds;
        bool everyBeat;
    } cases[] = {{1.0 / 60, true}, {0.18, true}, {0.2, false}, {0.3, false}};
    const int expectedBeats = static_cast<int>((60 + 0.2) / beatSeconds); // beats due in the first minute
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frameSeconds);
        DemoContext context;
        float previousBeat = 0;
        int previousCount = 0;
        for (int frame = 0; frame * c.frameSeconds <= 60; ++frame) {
            frameAt(context, static_cast<int>(frame * c.frameSeconds * 1000));
            ASSERT_LE(context.getBeatCount(), previousCount + 1);
            if (context.getBeatCount() > previousCount && previousCount > 0 && c.everyBeat) {
                // Each beat lands within one frame of a period after the last.
                EXPECT_NEAR(context.lastBeatTime - previousBeat, beatSeconds, c.frameSeconds + 0.002);
            }
            if (context.getBeatCount() > previousCount) previousBeat = context.lastBeatTime;
            previousCount = context.getBeatCount();
        }
        if (c.everyBeat)
            EXPECT_EQ(context.getBeatCount(), expectedBeats);
        else
            EXPECT_LT(context.getBeatCount(), expectedBeats);
    }
}

TEST_F(DemoClockTest, ForwardSeekCountsAtMostOneBeatAndCountNeverDrops) {
    DemoContext context;
    for (int ms = 0; ms <= 10000; ms += 16) frameAt(context, ms);
    const int before = context.getBeatCount();
    for (int ms = 40000; ms <= 40100; ms += 16) frameAt(context, ms);
    EXPECT_LE(context.getBeatCount(), before + 1);
    for (int ms = 5000; ms <= 5100; ms += 16) frameAt(context, ms);
    EXPECT_GE(context.getBeatCount(), before);
}

// A backward seek leaves the last beat in the future: its pulse would read far above 1 and white
// out every frame until the next beat. The pulse is over instead, and the next beat starts a new one.
TEST_F(DemoClockTest, BackwardSeekEndsThePulseUntilTheNextBeat) {
    for (int jumpMs : {30000, 1000, 200}) {
        SCOPED_TRACE(jumpMs);
        DemoContext context;
        int ms = 0;
        for (; ms <= 40000; ms += 16) frameAt(context, ms);
        // Just after a beat, so its pulse is still running.
        while (context.beatPulse() < 0.5f) frameAt(context, ms += 16);
        const int count = context.getBeatCount();
        ms -= jumpMs;
        frameAt(context, ms);
        EXPECT_EQ(context.beatPulse(), 0.0f);
        while (context.getBeatCount() == count) {
            ASSERT_LE(context.beatPulse(), 0.0f);
            frameAt(context, ms += 16);
        }
        EXPECT_FLOAT_EQ(context.beatPulse(), 1.0f);
    }
}

TEST_F(DemoClockTest, RepeatedFrameTimeCountsNoBeatAndHoldsPulse) {
    DemoContext context;
    for (int ms = 0; ms <= 300; ms += 10) frameAt(context, ms);
    const int count = context.getBeatCount();
    const float pulse = context.beatPulse();
    for (int i = 0; i < 100; ++i) frameAt(context, 300);
    EXPECT_EQ(context.getBeatCount(), count);
    EXPECT_FLOAT_EQ(context.beatPulse(), pulse);
}

TEST_F(DemoClockTest, SeekClampsNegativeTargetsAndTruncatesToMilliseconds) {
    struct Case {
        float targetSeconds;
        int expectedMs;
    } cases[] = {{-5.0f, 0}, {-0.0001f, 0}, {0.0009f, 0}, {1.2345f, 1234}, {2.5f, 2500}, {250.0f, 250000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.targetSeconds);
        setCallerClockTime(clock, 77);
        music.seekTo(c.targetSeconds);
        EXPECT_EQ(FSOUND_Stream_GetTime(clock), c.expectedMs);
        frameFromMusic();
        EXPECT_FLOAT_EQ(demoContext.time, c.expectedMs * 0.001f);
    }
}

TEST_F(DemoClockTest, TapLogsTimeGapAndRateAndCountsABeat) {
    DemoContext context;
    frameAt(context, 1000);
    const int count = context.getBeatCount();
    context.tapBeat();
    frameAt(context, 1500);
    context.tapBeat();
    ASSERT_EQ(context.messageLog.count, 2);
    EXPECT_EQ(logLine(context, 0), "Beat 1.00 delta 1.00 bpm 60"); // the first gap runs from time 0
    EXPECT_EQ(logLine(context, 1), "Beat 1.50 delta 0.50 bpm 120");
    EXPECT_GE(context.getBeatCount(), count + 2);
    EXPECT_FLOAT_EQ(context.lastBeatTime, 1.5f);
    EXPECT_FLOAT_EQ(context.beatPulse(), 1.0f);
}

TEST_F(DemoClockTest, LogKeepsTheNewest19Lines) {
    DemoContext context;
    for (int i = 1; i <= 25; ++i) {
        context.logMessage("line %d", i);
        ASSERT_LE(context.messageLog.count, 19);
    }
    ASSERT_EQ(context.messageLog.count, 19);
    EXPECT_EQ(logLine(context, 0), "line 7");
    EXPECT_EQ(logLine(context, 18), "line 25");
}

TEST_F(DemoClockTest, LogLineIsCutToItsEightyBytes) {
    DemoContext context;
    context.logMessage("%s", std::string(200, 'x').c_str());
    EXPECT_EQ(logLine(context, 0), std::string(79, 'x'));
}

TEST_F(DemoClockTest, KeysSeekTapPauseAndAskToQuit) {
    struct Case {
        int key;
        int expectedMs; // the clock after the key, from 40 s
    } seeks[] = {{keyPageUp, 10000}, {keyPageDown, 70000}, {keyLeft, 39000},
                 {keyUp, 45000},     {keyRight, 41000},    {keyDown, 35000}};
    for (const Case& c : seeks) {
        SCOPED_TRACE(c.key);
        setCallerClockTime(clock, 40000);
        frameFromMusic();
        handleKey(c.key, music);
        EXPECT_EQ(FSOUND_Stream_GetTime(clock), c.expectedMs);
    }
    setCallerClockTime(clock, 20000);
    frameFromMusic();
    handleKey(keyPageUp, music);
    EXPECT_EQ(FSOUND_Stream_GetTime(clock), 0); // before the start is the start

    const int count = demoContext.getBeatCount();
    handleKey(keySpace, music);
    EXPECT_EQ(demoContext.getBeatCount(), count + 1);

    const bool paused = music.paused();
    handleKey(keyP, music);
    EXPECT_NE(music.paused(), paused);
    handleKey(keyP, music);
    EXPECT_EQ(music.paused(), paused);

    // Keys outside the table change nothing; only Escape asks the host to end the show.
    setCallerClockTime(clock, 5000);
    for (int key : {0, 65, 81, 13, 36, 41, 121, 123, 255, int(keyF11)})
        EXPECT_FALSE(handleKey(key, music)) << key;
    EXPECT_EQ(FSOUND_Stream_GetTime(clock), 5000);
    EXPECT_EQ(demoContext.getBeatCount(), count + 1);
    EXPECT_TRUE(handleKey(keyEscape, music));
}

// Presses quicker than the frames each go on from where the last one put the music; after a
// frame, from that frame's time. A step of 0 below is a frame drawn 0.5 s of music later.
TEST_F(DemoClockTest, SeekKeysQuickerThanTheFramesAddUp) {
    struct Case {
        const char* name;
        int startMs;
        std::vector<int> steps; // keys, and 0 for a frame
        int expectedMs;
    } cases[] = {
        {"ten Right presses", 40000, std::vector<int>(10, keyRight), 50000},
        {"mixed", 40000, {keyRight, keyUp, keyLeft, keyPageDown, keyDown}, 70000},
        {"from the frame after them", 40000, {keyPageDown, 0, keyRight}, 71500},
        {"from the start after going before it", 10000, {keyPageUp, keyRight, keyRight}, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        demoContext.reset();
        setCallerClockTime(clock, c.startMs);
        frameFromMusic();
        for (int step : c.steps) {
            if (step == 0) {
                setCallerClockTime(clock, FSOUND_Stream_GetTime(clock) + 500);
                frameFromMusic();
            } else {
                handleKey(step, music);
            }
        }
        EXPECT_EQ(FSOUND_Stream_GetTime(clock), c.expectedMs);
    }
}
