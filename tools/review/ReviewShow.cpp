// review_show [--fit-sizes] [--step S] [--beats K] [--close 0|1] [--keep DIR] [build directory]: the
// whole show as a viewer remembers it, measured on frames from the offline renderer (render_frames, which
// needs a display: run under xvfb-run -a). It renders the show every S seconds (0.25 by default)
// and the peak of every beat (0.02 s after it), the step frames also from a copy of the data whose
// sky and emblem are black, which leaves the subject alone, and prints:
//
//   - whiteouts: the share of frames whose mean luma is above 150 of 255, the brightest frame, and
//     the beat peaks' median luma (how much the beat blooms);
//   - the sequence's frames where the camera is inside the subject (it covers over 90 % of the
//     frame) or sees nothing of it (under 0.05 %), listed by time;
//   - per sequence row: the median coverage and, between beats, brightness and subject over sky;
//   - between beats (the pulse over): the share of frames that are more than half dark violet,
//     the median brightness and the median subject over sky luma, over the show and per section;
//   - the metaball surface at its smallest, against the sky;
//   - on the beat (the frames 0.02 s after each): the share of white frames (over a tenth of the
//     pixels near white), by material too, the median and brightest mean luma, and the share with
//     a seam along the bottom edge (its 3 rows over 8 levels brighter than the 3 above);
//   - the sequence's subject: median height and coverage, and the share of frames under 5 %;
//   - where the light falls (see LightReview.h): the sky outside the central ellipse, the ellipse
//     against the rest, the share of a beat's added light and of the emblem's inside it, the sun
//     and moon discs against their rings, and the middle of the frame over the last rows;
//   - the materials between beats: the marble's subject luma and median saturation, the chrome's,
//     hologram's and x-ray's luma spread (std / mean), the cel's near-white pixels in its beat
//     frames and its isolated speckles a frame; the share of frames whose subject covers under 3 %
//     and the sequence's rows under 5 % (see LookReview.h);
//   - close passes at 60 frames a second: every frame of the figure scene and the sequence whose
//     eye comes within a unit of its figure is rendered blacked out, and those in which the
//     figure covers over 90 % of the frame are listed.
//
// --fit-sizes prints, instead, the sizes the sequence's rows draw their figures at (sequenceFigureSize)
// fitted to the build's models, as the program's table; run it after a model changes.
// --beats K samples every K-th beat only, --close 0 leaves out the close passes (quicker looks while
// working). --keep DIR keeps the frames there (full/, black/, close/). Measuring another build the
// same way: pass its build directory; only its render_frames and data/ are used, and nothing is
// written there.
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
#include "image/Image.h"
#include "review/LightReview.h"
#include "review/LookReview.h"
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

// White beat frames by the material the subject wears, as the file that defines it names it.
void printBeatWhiteByMaterial(const std::vector<ShowSample>& samples) {
    printf("  white frames by material:");
    for (const MaterialLoad& load : materialLoads) {
        int peaks = 0, white = 0;
        for (const ShowSample& s : samples)
            if (s.beatPeak && s.material == load.name) {
                ++peaks;
                white += s.light.nearWhiteShare > beatWhiteShare;
            }
        if (peaks > 0)
            printf(" %s (%s) %.0f %% of %d;", load.name, fs::path(load.file).stem().c_str(),
                   100.0 * white / peaks, peaks);
    }
    printf("\n");
}

void printTimes(const char* label, const std::vector<double>& times) {
    printf("  %s (%zu):", label, times.size());
    for (size_t i = 0; i < times.size() && i < 24; ++i) printf(" %.2f", times[i]);
    printf("%s\n", times.size() > 24 ? " ..." : "");
}

// Every frame at 60 a second whose eye comes near its figure, rendered with the sky and emblem black.
bool reviewClosePasses(const std::string& buildDir, const std::string& work, std::string& reason) {
    const std::vector<double> near = closePassTimes(buildDir, 60, 1.0f, reason);
    if (near.empty()) {
        if (!reason.empty()) return false;
        printf("\nclose passes at 60 fps: the eye never comes within a unit of a figure\n");
        return true;
    }
    const std::vector<std::string> frames =
        renderShowFrames(buildDir, work + "/blacked-out", near, work + "/close", reason);
    if (frames.empty()) return false;
    std::vector<double> inside;
    double most = 0, mostTime = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        Image mask;
        if (!readFrame(frames[i], mask)) {
            reason = "can't read " + frames[i];
            return false;
        }
        const double coverage = measureSubject(mask, mask).coverage;
        delete[] mask.pixels;
        if (coverage > insideCoverage) inside.push_back(near[i]);
        if (coverage > most) {
            most = coverage;
            mostTime = near[i];
        }
    }
    printf("\nclose passes at 60 fps: %zu frames within a unit of the figure, most covered %.1f %% at "
           "%.3f s\n",
           near.size(), 100 * most, mostTime);
    // Frames 1/60 s apart make one pass.
    printf("  inside the figure (over %.0f %% covered): %zu frames", 100 * insideCoverage, inside.size());
    for (size_t i = 0; i < inside.size();) {
        size_t end = i;
        while (end + 1 < inside.size() && inside[end + 1] - inside[end] < 1.5 / 60) ++end;
        printf("%s %.2f-%.2f s (%zu)", i == 0 ? ":" : ",", inside[i], inside[end], end - i + 1);
        i = end + 1;
    }
    printf("\n");
    return true;
}

// The sequence's figure sizes fitted to the build's models, as the table in the program's source.
int printFigureSizes(const std::string& buildDir) {
    std::string reason;
    const std::vector<float> sizes = fitFigureSizes(buildDir, 60, 1.0f, reason);
    if (sizes.empty()) {
        fprintf(stderr, "review_show: %s\n", reason.c_str());
        return 1;
    }
    int differing = 0;
    for (int row = 0; row < objectSequenceRows; ++row) {
        differing += sizes[row] != sequenceFigureSize[row];
        printf("%s%.2ff,", row % 5 == 0 ? "    " : " ", sizes[row]);
        if (row % 5 == 4) printf(" // rows %d-%d\n", row - 4, row);
    }
    printf("%d rows differ from the program's\n", differing);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int arg = 1;
    std::string keep;
    double step = 0.25;
    int beatStep = 1;
    bool closePasses = true;
    bool fitSizes = false;
    if (arg < argc && std::string(argv[arg]) == "--fit-sizes") {
        fitSizes = true;
        ++arg;
    }
    for (; arg + 1 < argc && argv[arg][0] == '-'; arg += 2) {
        if (std::string(argv[arg]) == "--keep")
            keep = argv[arg + 1];
        else if (std::string(argv[arg]) == "--step" && atof(argv[arg + 1]) > 0.01)
            step = atof(argv[arg + 1]);
        else if (std::string(argv[arg]) == "--beats" && atoi(argv[arg + 1]) >= 1)
            beatStep = atoi(argv[arg + 1]);
        else if (std::string(argv[arg]) == "--close")
            closePasses = std::string(argv[arg + 1]) != "0";
        else
            break;
    }
    const std::string buildDir = fs::absolute(arg < argc ? argv[arg] : ".").string();
    if (arg + 1 < argc || !fs::exists(buildDir + "/render_frames") || !fs::is_directory(buildDir + "/data")) {
        fprintf(stderr,
                "usage: review_show [--fit-sizes] [--step SECONDS] [--beats K] [--close 0|1] [--keep DIR] "
                "[build directory with render_frames and data/]\n");
        return 2;
    }
    if (fitSizes) return printFigureSizes(buildDir);
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

    const std::vector<double> times = showSampleTimes(step, true, beatStep);
    printf("sampling %s every %.2f s and at every beat's peak: %zu frames\n", buildDir.c_str(), step,
           times.size());
    std::vector<ShowSample> samples;
    std::string reason;
    if (!sampleShow(buildDir, work, times, samples, reason, say)) {
        fprintf(stderr, "review_show: %s\n", reason.c_str());
        return 1;
    }
    const ShowFigures f = showFigures(samples);

    std::vector<double> whiteouts, insideOrEmpty, whiteBeats;
    for (const ShowSample& s : samples) {
        if (s.beatPeak && s.light.nearWhiteShare > beatWhiteShare) whiteBeats.push_back(s.timeSeconds);
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
    printf("  brightest %.1f at %.3f s\n", f.beatPeakBrightestLuma, f.beatPeakBrightestTime);
    printf("  white frames (over %.0f %% of the pixels above %d in every channel): %.1f %%\n",
           100 * beatWhiteShare, nearWhiteLevel, 100 * f.beatWhiteFrameShare);
    printf("  bottom edge seam (its %d rows over %.0f levels above the %d over them): %.1f %%, worst %.1f at "
           "%.3f s\n",
           edgeRows, seamLevels, edgeRows, 100 * f.beatSeamShare, f.worstSeam, f.worstSeamTime);
    printTimes("white at", whiteBeats);
    printBeatWhiteByMaterial(samples);
    printf("sequence, %d frames\n", f.sequenceFrames);
    printf(
        "  subject: median height %.1f %%, median coverage %.2f %%, under %.0f %%: %.1f %% of the frames\n",
        100 * f.subjectHeightMedian, 100 * f.subjectCoverageMedian, 100 * smallSubjectCoverage,
        100 * f.smallSubjectShare);
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

    LightFigures light;
    if (!reviewLight(buildDir, work, beatStep, light, reason, say)) {
        fprintf(stderr, "review_show: %s\n", reason.c_str());
        return 1;
    }
    printLightFigures(light);
    LookFigures looks;
    if (!reviewLooks(samples, work, looks, reason)) {
        fprintf(stderr, "review_show: %s\n", reason.c_str());
        return 1;
    }
    printLooks(looks);

    if (closePasses && !reviewClosePasses(buildDir, work, reason)) {
        fprintf(stderr, "review_show: %s\n", reason.c_str());
        return 1;
    }
    if (keep.empty()) fs::remove_all(work);
    return 0;
}
