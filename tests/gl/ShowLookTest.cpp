// The whole show as a viewer remembers it, in two halves that run as tests of their own: frames
// every half second and at every other beat's peak, measured as review_show measures them (see
// tools/review/ShowReview.h), against limits a little looser than the content was made to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/BeatGrid.h"
#include "demo/Content.h"
#include "demo/Timeline.h"
#include "review/ShowReview.h"
#include "support/TempDir.h"

namespace {

struct ShowPart {
    const char* name;
    double startSeconds, endSeconds;
};

void PrintTo(const ShowPart& part, std::ostream* out) {
    *out << part.name;
}

const ShowPart showParts[] = {
    {"FirstHalf", 0, 103},
    {"SecondHalf", 103, showEndSeconds},
};

std::vector<double> partTimes(const ShowPart& part) {
    std::vector<double> times;
    for (double t : showSampleTimes(0.5, false))
        if (t >= part.startSeconds && t < part.endSeconds) times.push_back(t);
    for (int k = 2; beatTimeSeconds(k) + afterBeatDelay < showEndSeconds; k += 2) {
        const double peak = beatTimeSeconds(k) + afterBeatDelay;
        if (peak >= part.startSeconds && peak < part.endSeconds) times.push_back(peak);
    }
    std::sort(times.begin(), times.end());
    return times;
}

class ShowLookTest : public testing::TestWithParam<ShowPart> {};

} // namespace

TEST_P(ShowLookTest, WorstMomentsStayWithinTheLooks) {
    const ShowPart& part = GetParam();
    TempDir scratch;
    std::vector<ShowSample> samples;
    std::string reason;
    ASSERT_TRUE(sampleShow(LUMORAKKA_BUILD_DIR, scratch.path, partTimes(part), samples, reason)) << reason;
    const ShowFigures f = showFigures(samples);
    printf("%s: %d frames, whiteouts %.1f %%, brightest %.1f at %.3f s, beat peaks median %.1f, inside or "
           "empty %.1f %%, violet %.1f %%, brightness %.3f, subject over sky %.2f\n",
           part.name, f.frames, 100 * f.whiteoutShare, f.brightestLuma, f.brightestTime, f.beatPeakMedianLuma,
           100 * f.insideOrEmptyShare, 100 * f.violetDominatedShare, f.betweenBeatsBrightness,
           f.betweenBeatsContrast);

    // A white flash of the whole screen: the glow multiplies a frame that is bright all over.
    EXPECT_LE(f.whiteoutShare, 0.015);
    EXPECT_LE(f.brightestLuma, 195.0) << "at " << f.brightestTime << " s";
    // The beat still blooms, without bleaching the frame right after it.
    std::vector<double> between;
    for (const ShowSample& s : samples)
        if (s.betweenBeats) between.push_back(s.light.meanLuma);
    EXPECT_GE(f.beatPeakMedianLuma, 1.8 * medianOf(between));
    EXPECT_LE(f.beatPeakMedianLuma, 140.0);
    // The camera inside a model, or a frame with nothing but sky.
    if (f.sequenceFrames > 0) {
        EXPECT_LE(f.insideOrEmptyShare, 0.015);
    }
    for (int row = 0; row < reviewedSequenceRows; ++row) {
        if (f.rowCoverage[row] < 0) continue;
        EXPECT_GE(f.rowCoverage[row], 0.018) << "row " << row << " (" << objectSequence[row].model << " x"
                                             << objectSequence[row].scale << ") reads as a speck";
    }
    // One dark violet for the whole show, or a show too dark to see between the beats.
    EXPECT_LE(f.violetDominatedShare, 0.65);
    EXPECT_GE(f.betweenBeatsBrightness, 0.11);
    EXPECT_GE(f.betweenBeatsContrast, 1.4) << "the subject sinks into the sky";

    // The metaball surface at its smallest still stands out from the sky behind it.
    const ShowSample* smallest = nullptr;
    for (const ShowSample& s : samples)
        if (s.scene == 2 && s.measuredSubject &&
            (!smallest || s.subject.coverage < smallest->subject.coverage))
            smallest = &s;
    if (smallest) {
        EXPECT_GT(smallest->subject.coverage, 0.0) << "at " << smallest->timeSeconds << " s";
        EXPECT_GE(smallest->subject.contrast(), 1.4) << "at " << smallest->timeSeconds << " s";
    }
}

INSTANTIATE_TEST_SUITE_P(ShowParts, ShowLookTest, testing::ValuesIn(showParts),
                         [](const testing::TestParamInfo<ShowPart>& info) { return info.param.name; });
