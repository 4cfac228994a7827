// The measures the show's look is held to (tools/review/ShowReview.h): a fault in them would let
// the look tests pass on any picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/BeatGrid.h"
#include "demo/Timeline.h"
#include "review/ShowReview.h"

// Between beats means the pulse is over; a time before the first beat has no pulse to wait for.
TEST(ShowReviewTest, BeatPhaseCountsFromTheLastBeat) {
    EXPECT_NEAR(secondsSinceBeat(beatTimeSeconds(10) + 0.1), 0.1, 1e-9);
    EXPECT_NEAR(secondsSinceBeat(beatTimeSeconds(10) - 0.01), beatSeconds - 0.01, 1e-9);
    EXPECT_GE(secondsSinceBeat(beatTimeSeconds(1) - 0.01), pulseOverSeconds);
    EXPECT_TRUE(isBeatPeak(beatTimeSeconds(7) + afterBeatDelay));
    EXPECT_FALSE(isBeatPeak(beatTimeSeconds(7) + betweenBeatsDelay));
}

// render_frames steps its clock forward only: out of order, a frame would see a seek's pulse.
TEST(ShowReviewTest, SampleTimesAscendOverTheShowWithEveryBeatsPeak) {
    const std::vector<double> times = showSampleTimes(0.25, true);
    ASSERT_FALSE(times.empty());
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_EQ(times.front(), 0.0);
    EXPECT_LT(times.back(), showEndSeconds);
    int peaks = 0, lastPeakBeat = 0;
    for (double t : times)
        if (isBeatPeak(t)) {
            ++peaks;
            lastPeakBeat = static_cast<int>((t - afterBeatDelay + beatOffsetSeconds) / beatSeconds + 0.5);
        }
    EXPECT_EQ(peaks, lastPeakBeat) << "a beat's peak is missing";
    EXPECT_GT(beatTimeSeconds(lastPeakBeat + 1) + afterBeatDelay, showEndSeconds - 1e-9);
    EXPECT_EQ(times.size() - peaks, static_cast<size_t>(showEndSeconds / 0.25));
}

TEST(ShowReviewTest, DarkVioletIsDarkAndBetweenBlueAndPurple) {
    struct Case {
        unsigned char rgb[3];
        bool violet;
    } cases[] = {
        {{30, 20, 60}, true},   // the old sky
        {{60, 20, 60}, true},   // purple
        {{20, 30, 60}, false},  // blue leaning to green
        {{80, 20, 60}, false},  // magenta leaning to red
        {{40, 30, 130}, false}, // too bright
        {{20, 20, 24}, false},  // a grey
        {{0, 0, 0}, false},     // black
        {{120, 60, 20}, false}, // warm
    };
    for (const Case& c : cases)
        EXPECT_EQ(isDarkViolet(c.rgb), c.violet)
            << int(c.rgb[0]) << " " << int(c.rgb[1]) << " " << int(c.rgb[2]);
}

// Each figure is taken over its own frames: beat peaks only for the bloom and the brightest frame,
// the sequence's frames for the camera inside, the frames between beats for colour and brightness.
TEST(ShowReviewTest, FiguresCountEachFrameWhereItBelongs) {
    auto sample = [](double t, int scene, int row, bool peak, bool between, double luma, double coverage,
                     double violet) {
        ShowSample s;
        s.timeSeconds = t;
        s.scene = scene;
        s.row = row;
        s.beatPeak = peak;
        s.betweenBeats = between;
        s.light.meanLuma = luma;
        s.violetShare = violet;
        s.measuredSubject = !peak;
        s.subject.coverage = coverage;
        s.subject.subjectLuma = 60;
        s.subject.skyLuma = 20;
        return s;
    };
    const std::vector<ShowSample> samples = {
        sample(1.0, 1, -1, false, true, 40, 0.95, 0.9),  // the figure close up: not "inside"
        sample(1.3, 1, -1, true, false, 200, 0, 0),      // a white beat peak
        sample(31.0, 3, 0, false, false, 160, 0.1, 0.9), // a whiteout on the glow's rise
        sample(31.5, 3, 0, false, true, 30, 0.95, 0.2),  // inside the subject
        sample(32.0, 3, 0, false, true, 50, 0.3, 0.6),
        sample(33.0, 3, 1, false, true, 20, 0.0001, 0.1), // nothing to see
    };
    const ShowFigures f = showFigures(samples);
    EXPECT_EQ(f.frames, 5);
    EXPECT_DOUBLE_EQ(f.whiteoutShare, 1.0 / 5);
    EXPECT_EQ(f.beatPeaks, 1);
    EXPECT_DOUBLE_EQ(f.beatPeakMedianLuma, 200);
    EXPECT_DOUBLE_EQ(f.brightestLuma, 200);
    EXPECT_EQ(f.sequenceFrames, 4);
    EXPECT_DOUBLE_EQ(f.insideOrEmptyShare, 2.0 / 4);
    EXPECT_EQ(f.betweenBeatFrames, 4);
    EXPECT_DOUBLE_EQ(f.violetDominatedShare, 2.0 / 4);
    EXPECT_DOUBLE_EQ(f.betweenBeatsBrightness, 35.0 / 255);
    EXPECT_DOUBLE_EQ(f.betweenBeatsContrast, 3.0);
    EXPECT_DOUBLE_EQ(f.rowCoverage[0], 0.3);
    EXPECT_DOUBLE_EQ(f.rowCoverage[1], 0.0001);
    EXPECT_EQ(f.rowCoverage[2], -1);
}
