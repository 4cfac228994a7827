// review_show [--step S] [--keep DIR] [build directory]: the whole show as a viewer remembers it,
// measured on frames from the offline renderer (render_frames, which needs a display: run under
// xvfb-run -a). It renders the show every S seconds (0.25 by default) and the peak of every beat
// (0.02 s after it), the step frames also from a copy of the data whose sky and emblem are black,
// which leaves the subject alone, and prints:
//
//   - whiteouts: the share of frames whose mean luma is above 150 of 255, the brightest frame, and
//     the beat peaks' median luma (how much the beat blooms);
//   - the sequence's frames where the camera is inside the subject (it covers over 90 % of the
//     frame) or sees nothing of it (under 0.05 %), listed by time;
//   - per sequence row: the median coverage and, between beats, brightness and subject over sky;
//   - between beats (the pulse over): the share of frames that are more than half dark violet,
//     the median brightness and the median subject over sky luma, over the show and per section;
//   - the metaball surface at its smallest, against the sky.
//
// --keep DIR keeps the frames there (full/, black/). Measuring another build the same way: pass
// its build directory; only its render_frames and data/ are used, and nothing is written there.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "demo/Content.h"
#include "demo/Timeline.h"
#include "review/ShowReview.h"

namespace fs = std::filesystem;

namespace {

void say(const char* what) {
    printf("%s\n", what);
    fflush(stdout);
}

// The show's sections as the music has them, seconds.
struct Section {
    const char* name;
    double start, end;
};
const Section sections[] = {
    {"intro (marble figure)", 0, metaballsStartSeconds},
    {"build-up (metaballs)", metaballsStartSeconds, sequenceStartSeconds},
    {"first drop", sequenceStartSeconds, 104.0},
    {"breakdown", 104.0, 122.7},
    {"second drop", 122.7, 196.0},
    {"outro", 196.0, showEndSeconds},
};

void printTimes(const char* label, const std::vector<double>& times) {
    printf("  %s (%zu):", label, times.size());
    for (size_t i = 0; i < times.size() && i < 24; ++i) printf(" %.2f", times[i]);
    printf("%s\n", times.size() > 24 ? " ..." : "");
}

} // namespace

int main(int argc, char** argv) {
    int arg = 1;
    std::string keep;
    double step = 0.25;
    for (; arg + 1 < argc && argv[arg][0] == '-'; arg += 2) {
        if (std::string(argv[arg]) == "--keep")
            keep = argv[arg + 1];
        else if (std::string(argv[arg]) == "--step" && atof(argv[arg + 1]) > 0.01)
            step = atof(argv[arg + 1]);
        else
            break;
    }
    const std::string buildDir = fs::absolute(arg < argc ? argv[arg] : ".").string();
    if (arg + 1 < argc || !fs::exists(buildDir + "/render_frames") || !fs::is_directory(buildDir + "/data")) {
        fprintf(stderr,
                "usage: review_show [--step SECONDS] [--keep DIR] [build directory with render_frames "
                "and data/]\n");
        return 2;
    }
    std::string work = keep;
    if (work.empty()) {
        char pattern[] = "/tmp/lumorakka-review-XXXXXX";
        if (!mkdtemp(pattern)) {
            perror("review_show: mkdtemp");
            return 1;
        }
        work = pattern;
    }
    work = fs::absolute(work).string();
    fs::create_directories(work);

    const std::vector<double> times = showSampleTimes(step, true);
    printf("sampling %s every %.2f s and at every beat's peak: %zu frames\n", buildDir.c_str(), step,
           times.size());
    std::vector<ShowSample> samples;
    std::string reason;
    if (!sampleShow(buildDir, work, times, samples, reason, say)) {
        fprintf(stderr, "review_show: %s\n", reason.c_str());
        return 1;
    }
    const ShowFigures f = showFigures(samples);

    std::vector<double> whiteouts, insideOrEmpty;
    for (const ShowSample& s : samples) {
        if (!s.beatPeak && s.light.meanLuma > whiteoutLuma) whiteouts.push_back(s.timeSeconds);
        if (s.row >= 0 && s.insideOrEmpty()) insideOrEmpty.push_back(s.timeSeconds);
    }
    printf("\nwhole show, %d frames every %.2f s\n", f.frames, step);
    printf("  whiteouts (mean luma above %.0f): %.1f %%\n", whiteoutLuma, 100 * f.whiteoutShare);
    printTimes("at", whiteouts);
    printf("  brightest frame: mean luma %.1f at %.3f s\n", f.brightestLuma, f.brightestTime);
    printf("beat peaks, %d frames %.2f s after each beat\n", f.beatPeaks, afterBeatDelay);
    printf("  median mean luma %.1f, above %.0f: %.1f %%\n", f.beatPeakMedianLuma, whiteoutLuma,
           100 * f.beatPeakWhiteoutShare);
    printf("sequence, %d frames\n", f.sequenceFrames);
    printf("  camera inside the subject (over %.0f %%) or an empty frame (under %.2f %%): %.1f %%\n",
           100 * insideCoverage, 100 * emptyCoverage, 100 * f.insideOrEmptyShare);
    printTimes("at", insideOrEmpty);
    printf("between beats, %d frames (pulse over)\n", f.betweenBeatFrames);
    printf("  dominated by dark violet (over %.0f %% of the pixels): %.1f %%\n", 100 * violetDominance,
           100 * f.violetDominatedShare);
    printf("  median brightness (mean luma / 255): %.3f\n", f.betweenBeatsBrightness);
    printf("  median subject over sky luma: %.2f; frames under 1.5: %.1f %%\n", f.betweenBeatsContrast,
           100 * f.lowContrastShare);

    printf("\nbetween beats, by section          frames  violet  brightness  subject/sky\n");
    for (const Section& section : sections) {
        std::vector<ShowSample> part;
        for (const ShowSample& s : samples)
            if (s.timeSeconds >= section.start && s.timeSeconds < section.end) part.push_back(s);
        const ShowFigures p = showFigures(part);
        printf("  %-30s %6d %6.1f %% %11.3f %12.2f\n", section.name, p.betweenBeatFrames,
               100 * p.violetDominatedShare, p.betweenBeatsBrightness, p.betweenBeatsContrast);
    }

    printf("\nrow  material model      scale | coverage: median   min | inside/empty | between beats: "
           "brightness violet subject/sky\n");
    int smallRows = 0;
    for (int row = 0; row < reviewedSequenceRows; ++row) {
        std::vector<ShowSample> part;
        double smallest = 1;
        for (const ShowSample& s : samples)
            if (s.row == row) {
                part.push_back(s);
                if (s.measuredSubject) smallest = std::min(smallest, s.subject.coverage);
            }
        const ShowFigures p = showFigures(part);
        const ContentRow& content = objectSequence[row];
        const double coverage = f.rowCoverage[row];
        smallRows += coverage < 0.02;
        printf("%3d  %-8s %-10s %5.1f | %15.1f%% %5.1f%% | %5.0f of %2d | %25.3f %5.0f%% %11.2f%s\n", row,
               content.material.c_str(), content.model.c_str(), content.scale, 100 * coverage, 100 * smallest,
               p.insideOrEmptyShare * p.sequenceFrames, p.sequenceFrames, p.betweenBeatsBrightness,
               100 * p.violetDominatedShare, p.betweenBeatsContrast, coverage < 0.02 ? "  small" : "");
    }
    printf("rows with a median coverage under 2 %%: %d\n", smallRows);

    const ShowSample* smallest = nullptr;
    for (const ShowSample& s : samples)
        if (s.scene == 2 && s.measuredSubject &&
            (!smallest || s.subject.coverage < smallest->subject.coverage))
            smallest = &s;
    if (smallest)
        printf("\nmetaballs at their smallest: %.2f s, coverage %.2f %%, subject luma %.1f, sky %.1f, ratio "
               "%.2f\n",
               smallest->timeSeconds, 100 * smallest->subject.coverage, smallest->subject.subjectLuma,
               smallest->subject.skyLuma, smallest->subject.contrast());
    if (keep.empty()) fs::remove_all(work);
    return 0;
}
