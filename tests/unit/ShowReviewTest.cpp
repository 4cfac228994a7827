// The measures the show's look is held to (tools/review/ShowReview.h): a fault in them would let
// the look tests pass on any picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/BeatGrid.h"
#include "demo/Timeline.h"
#include "image/Image.h"
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

// A white frame is one whose pixels are white in every channel, not merely bright in one; the seam
// is measured at the frame's bottom, the last rows read.
TEST(ShowReviewTest, NearWhiteAndTheBottomSeamAreReadFromTheRightPixels) {
    const int width = 4, height = 10;
    std::vector<unsigned char> pixels(width * height * 3, 20);
    auto paint = [&](int y, unsigned char r, unsigned char g, unsigned char b) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &pixels[(y * width + x) * 3];
            p[0] = r, p[1] = g, p[2] = b;
        }
    };
    paint(0, 240, 240, 240); // near white
    paint(1, 255, 255, 200); // bright yellow: one channel below the line
    paint(2, 236, 236, 236); // just above it
    for (int y = height - edgeRows; y < height; ++y) paint(y, 100, 100, 100);
    const Image frame = {width, height, 3, 3, width * 3, pixels.data()};
    const FrameLight light = measureFrameLight(frame);
    EXPECT_DOUBLE_EQ(light.nearWhiteShare, 2.0 / height);
    EXPECT_DOUBLE_EQ(light.bottomSeam, 80.0);

    // The same band of light along the top instead: no seam.
    std::fill(pixels.begin(), pixels.end(), 20);
    for (int y = 0; y < edgeRows; ++y) paint(y, 100, 100, 100);
    EXPECT_DOUBLE_EQ(measureFrameLight(frame).bottomSeam, 0.0);
}

// The beat's figures are taken over the beat frames alone, the subject's size over the sequence's.
TEST(ShowReviewTest, BeatAndSubjectFiguresCountTheirOwnFrames) {
    auto sample = [](double t, int row, bool peak, double nearWhite, double seam, double luma, double height,
                     double coverage) {
        ShowSample s;
        s.timeSeconds = t;
        s.scene = row >= 0 ? 3 : 1;
        s.row = row;
        s.beatPeak = peak;
        s.measuredSubject = !peak;
        s.light.meanLuma = luma;
        s.light.nearWhiteShare = nearWhite;
        s.light.bottomSeam = seam;
        s.subject.heightShare = height;
        s.subject.coverage = coverage;
        return s;
    };
    const std::vector<ShowSample> samples = {
        sample(1.0, -1, true, 0.5, 2, 120, 0, 0),       // white, no seam
        sample(2.0, -1, true, 0.05, 20, 160, 0, 0),     // a seam
        sample(3.0, -1, true, 0.0, 0, 90, 0, 0),        // a clean beat
        sample(3.5, -1, false, 0.9, 40, 100, 0.9, 0.9), // the figure scene: neither beat nor sequence
        sample(31.0, 0, false, 0, 0, 50, 0.4, 0.02),    // a small subject
        sample(32.0, 0, false, 0, 0, 50, 0.5, 0.08),
        sample(33.0, 1, false, 0, 0, 50, 0.2, 0.04), // another
    };
    const ShowFigures f = showFigures(samples);
    EXPECT_DOUBLE_EQ(f.beatWhiteFrameShare, 1.0 / 3);
    EXPECT_DOUBLE_EQ(f.beatSeamShare, 1.0 / 3);
    EXPECT_DOUBLE_EQ(f.beatPeakBrightestLuma, 160);
    EXPECT_DOUBLE_EQ(f.beatPeakBrightestTime, 2.0);
    EXPECT_DOUBLE_EQ(f.worstSeam, 40);
    EXPECT_DOUBLE_EQ(f.subjectHeightMedian, 0.4);
    EXPECT_DOUBLE_EQ(f.subjectCoverageMedian, 0.04);
    EXPECT_DOUBLE_EQ(f.smallSubjectShare, 2.0 / 3);
}

// Sampling every third beat keeps the first and steps by three.
TEST(ShowReviewTest, BeatStepTakesEveryFewBeatsFromTheFirst) {
    std::vector<double> peaks;
    for (double t : showSampleTimes(1000, true, 3))
        if (isBeatPeak(t)) peaks.push_back(t);
    ASSERT_GE(peaks.size(), 3u);
    EXPECT_NEAR(peaks[0], beatTimeSeconds(1) + afterBeatDelay, 1e-9);
    EXPECT_NEAR(peaks[1], beatTimeSeconds(4) + afterBeatDelay, 1e-9);
    EXPECT_NEAR(peaks[2], beatTimeSeconds(7) + afterBeatDelay, 1e-9);
}

// The fit sizes the far rows' figures by this coverage: a camera turned or stretched the wrong way,
// or a size not applied, would fit them to frames the show never draws. A square of 10 by 10 model
// units standing upright (in the model's XZ plane) seen square-on from 10 units fills 10 of the
// frame's 20 units of height and 26.7 of width.
TEST(ShowReviewTest, FigureCoverageProjectsAsTheSequenceCameraSees) {
    const std::vector<FigureTriangle> square = {{{{-5, 0, -5}, {5, 0, -5}, {5, 0, 5}}},
                                                {{{-5, 0, -5}, {5, 0, 5}, {-5, 0, 5}}}};
    const struct {
        Vec3 eye;
        float size;
        double coverage;
    } cases[] = {
        {{0, 0, 10}, 1, 100 / (20 * 20 * 4 / 3.0)},
        {{0, 0, 10}, 1.5f, 225 / (20 * 20 * 4 / 3.0)},
        {{0, 0, 20}, 2, 100 / (20 * 20 * 4 / 3.0)},
        {{0, 0, 4}, 1, 80 / (8 * 8 * 4 / 3.0)},      // taller than the frame: its middle band
        {{0, 0, -10}, 1, 100 / (20 * 20 * 4 / 3.0)}, // from behind, the same outline
        {{10, 0, 0}, 1, 0},                          // edge-on
    };
    for (const auto& c : cases)
        EXPECT_NEAR(figureCoverage(square, c.eye, c.size), c.coverage, 0.01)
            << "eye " << c.eye.x << ", " << c.eye.y << ", " << c.eye.z << ", size " << c.size;
    // Nothing behind the camera shows: a square 20 units behind it.
    const std::vector<FigureTriangle> behind = {{{{-5, -30, -5}, {5, -30, -5}, {5, -30, 5}}}};
    EXPECT_EQ(figureCoverage(behind, {0, 0, 10}, 1), 0);
}
