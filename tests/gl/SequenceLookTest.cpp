// The sequence as a viewer sees it, on a handful of rows that cover every figure, every orbit scale
// and most materials: frames from the offline renderer, measured as the review measures them (see
// tools/common/ShowReview.h), against limits a little looser than the content was made to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/BeatGrid.h"
#include "review/ShowReview.h"
#include "demo/Content.h"
#include "image/Image.h"
#include "support/TempDir.h"

namespace {

// One beat in the middle of each row; the rows show pah at scales 1.5, 3, 2 and 0.1, the ninja at 2
// and 1, the bacterium at 1 and 2, and the demon at 2.
const int sampledRows[] = {0, 1, 2, 4, 5, 9, 10, 18, 20, 21};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

class SequenceLookTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch = std::make_unique<TempDir>();
        const std::string folder = scratch->path;
        std::string reason;
        ASSERT_TRUE(
            makeBlackedOutData(std::string(LUMORAKKA_BUILD_DIR) + "/data", folder + "/blacked-out", reason))
            << reason;
        std::vector<double> fullTimes, blackTimes;
        for (int row : sampledRows) {
            const int beat = sequenceRowBeats(row)[3];
            fullTimes.push_back(beatTimeSeconds(beat) + afterBeatDelay);
            fullTimes.push_back(beatTimeSeconds(beat) + betweenBeatsDelay);
            blackTimes.push_back(beatTimeSeconds(beat) + betweenBeatsDelay);
        }
        const std::vector<std::string> full =
            renderShowFrames(LUMORAKKA_BUILD_DIR, LUMORAKKA_BUILD_DIR, fullTimes, folder + "/full", reason);
        ASSERT_EQ(full.size(), fullTimes.size()) << reason;
        const std::vector<std::string> black = renderShowFrames(LUMORAKKA_BUILD_DIR, folder + "/blacked-out",
                                                                blackTimes, folder + "/black", reason);
        ASSERT_EQ(black.size(), blackTimes.size()) << reason;
        for (size_t i = 0; i < black.size(); ++i) {
            Image peak, between, subject;
            ASSERT_TRUE(readFrame(full[2 * i], peak) && readFrame(full[2 * i + 1], between) &&
                        readFrame(black[i], subject));
            afterBeat.push_back(measureFrameLight(peak));
            subjects.push_back(measureSubject(subject, between));
            delete[] peak.pixels;
            delete[] between.pixels;
            delete[] subject.pixels;
        }
    }
    static void TearDownTestSuite() { scratch.reset(); }
    void SetUp() override { ASSERT_EQ(subjects.size(), std::size(sampledRows)); }

    static std::unique_ptr<TempDir> scratch;
    static std::vector<FrameLight> afterBeat;
    static std::vector<SubjectFigures> subjects;
};
std::unique_ptr<TempDir> SequenceLookTest::scratch;
std::vector<FrameLight> SequenceLookTest::afterBeat;
std::vector<SubjectFigures> SequenceLookTest::subjects;

} // namespace

// A figure sized for another orbit, or a material that sinks into the dark, makes the subject small.
TEST_F(SequenceLookTest, SubjectsFillTheFrame) {
    std::vector<double> heights, coverages;
    for (size_t i = 0; i < subjects.size(); ++i) {
        const SubjectFigures& s = subjects[i];
        printf("row %2d %-3s %-10s height %5.1f %%, coverage %5.1f %%\n", sampledRows[i],
               objectSequence[sampledRows[i]].material.c_str(), objectSequence[sampledRows[i]].model.c_str(),
               100 * s.heightShare, 100 * s.coverage);
        heights.push_back(s.heightShare);
        coverages.push_back(s.coverage);
        EXPECT_GT(s.heightShare, 0.12) << "row " << sampledRows[i] << " shows a speck";
        EXPECT_LT(s.coverage, 0.97) << "row " << sampledRows[i] << ": the camera is inside the subject";
    }
    EXPECT_GE(median(heights), 0.3);
    EXPECT_GE(median(coverages), 0.04);
    // The sky's shader lights the middle of the frame behind the subject: were that light left in
    // the blacked-out frames, it would count as subject over some two fifths of every frame.
    EXPECT_LE(median(coverages), 0.25) << "the blacked-out sky still draws its light";
}

// A subject darker than the sky behind it reads as a hole; between beats every one must stand out.
TEST_F(SequenceLookTest, SubjectsOutshineTheSkyBetweenBeats) {
    for (size_t i = 0; i < subjects.size(); ++i) {
        printf("row %2d subject luma %5.1f, sky %5.1f\n", sampledRows[i], subjects[i].subjectLuma,
               subjects[i].skyLuma);
        EXPECT_GE(subjects[i].contrast(), 1.4) << "row " << sampledRows[i];
    }
}

// The beat's glow adds about four blurred copies of the frame: a bright sky turns it white.
TEST_F(SequenceLookTest, TheBeatBloomsWithoutBleachingTheFrame) {
    std::vector<double> luma, clipped;
    for (size_t i = 0; i < afterBeat.size(); ++i) {
        printf("row %2d after the beat: mean luma %5.1f, clipped %4.1f %%\n", sampledRows[i],
               afterBeat[i].meanLuma, 100 * afterBeat[i].clippedShare);
        luma.push_back(afterBeat[i].meanLuma);
        clipped.push_back(afterBeat[i].clippedShare);
    }
    EXPECT_LE(median(luma), 150.0);
    EXPECT_LE(median(clipped), 0.12);
}
