// review_figures [--keep DIR] [build directory]: prints how the show's sequence reads to a viewer,
// measured on frames from the offline renderer (render_frames, which needs a display: run under
// xvfb-run -a). For every sequence row and each of its beats it renders the frame 0.02 s after the
// beat (glow and emblem at their peak) and the frame 0.35 s after it (between beats), the latter
// also from a copy of the data whose sky and emblem are black, which leaves the subject alone.
//
// Per row it prints the medians over the row's beats; the summary gives the medians over the rows,
// the rows that miss, and the same figures for each single beat position, as a review that samples
// one beat per row would measure them. --keep DIR keeps the frames there (full/, black/); --beats N
// samples only the first N beats of each row (all seven by default).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "base/BeatGrid.h"
#include "review/ShowReview.h"
#include "demo/Content.h"
#include "image/Image.h"

namespace fs = std::filesystem;

namespace {

struct Sample {
    int row;
    int position; // of the beat within the row
    FrameLight afterBeat;
    SubjectFigures subject;
};

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

struct RowFigures {
    double meanLuma, clippedShare, height, coverage, subjectLuma, skyLuma, contrast;
};

RowFigures medians(const std::vector<const Sample*>& samples) {
    std::vector<double> luma, clipped, height, coverage, subject, sky, contrast;
    for (const Sample* s : samples) {
        luma.push_back(s->afterBeat.meanLuma);
        clipped.push_back(s->afterBeat.clippedShare);
        height.push_back(s->subject.heightShare);
        coverage.push_back(s->subject.coverage);
        subject.push_back(s->subject.subjectLuma);
        sky.push_back(s->subject.skyLuma);
        contrast.push_back(s->subject.contrast());
    }
    return {median(luma),    median(clipped), median(height),  median(coverage),
            median(subject), median(sky),     median(contrast)};
}

// One summary line over rows: the figures and how many rows miss each.
void printSummary(const char* label, const std::vector<RowFigures>& rows) {
    std::vector<double> luma, clipped, height, coverage;
    int lowContrast = 0, small = 0, inside = 0;
    for (const RowFigures& r : rows) {
        luma.push_back(r.meanLuma);
        clipped.push_back(r.clippedShare);
        height.push_back(r.height);
        coverage.push_back(r.coverage);
        lowContrast += r.contrast < 1.5;
        small += r.height < 0.15;
        inside += r.coverage > 0.9;
    }
    printf("%-14s %6.1f %7.1f%% %7.1f%% %7.1f%% %10d %10d %7d\n", label, median(luma), 100 * median(clipped),
           100 * median(height), 100 * median(coverage), lowContrast, small, inside);
}

std::string argumentOr(int argc, char** argv, int index, const char* fallback) {
    return index < argc ? argv[index] : fallback;
}

} // namespace

int main(int argc, char** argv) {
    int arg = 1;
    std::string keep;
    size_t beatsPerRow = 7;
    for (; arg + 1 < argc && argv[arg][0] == '-'; arg += 2) {
        if (std::string(argv[arg]) == "--keep")
            keep = argv[arg + 1];
        else if (std::string(argv[arg]) == "--beats" && atoi(argv[arg + 1]) > 0)
            beatsPerRow = static_cast<size_t>(atoi(argv[arg + 1]));
        else
            break;
    }
    const std::string buildDir = fs::absolute(argumentOr(argc, argv, arg, ".")).string();
    if (!fs::exists(buildDir + "/render_frames") || !fs::is_directory(buildDir + "/data")) {
        fprintf(stderr,
                "usage: review_figures [--keep DIR] [--beats N] [build directory with render_frames and "
                "data/]\n");
        return 2;
    }
    std::string work = keep;
    if (work.empty()) {
        char pattern[] = "/tmp/lumorakka-review-XXXXXX";
        if (!mkdtemp(pattern)) {
            perror("review_figures: mkdtemp");
            return 1;
        }
        work = pattern;
    }
    work = fs::absolute(work).string();
    std::string reason;
    if (!makeBlackedOutData(buildDir + "/data", work + "/blacked-out", reason)) {
        fprintf(stderr, "review_figures: %s\n", reason.c_str());
        return 1;
    }

    std::vector<Sample> samples;
    std::vector<double> fullTimes, blackTimes;
    for (int row = 0; row < reviewedSequenceRows; ++row) {
        const std::vector<int> beats = sequenceRowBeats(row);
        for (size_t i = 0; i < beats.size() && i < beatsPerRow; ++i) {
            samples.push_back({row, static_cast<int>(i), {}, {}});
            fullTimes.push_back(beatTimeSeconds(beats[i]) + afterBeatDelay);
            fullTimes.push_back(beatTimeSeconds(beats[i]) + betweenBeatsDelay);
            blackTimes.push_back(beatTimeSeconds(beats[i]) + betweenBeatsDelay);
        }
    }
    printf("rendering %zu frames from the show's data and %zu with the sky and emblem blacked out\n",
           fullTimes.size(), blackTimes.size());
    fflush(stdout);
    const std::vector<std::string> full =
        renderShowFrames(buildDir, buildDir, fullTimes, work + "/full", reason);
    const std::vector<std::string> black =
        full.empty() ? full
                     : renderShowFrames(buildDir, work + "/blacked-out", blackTimes, work + "/black", reason);
    if (black.empty()) {
        fprintf(stderr, "review_figures: %s\n", reason.c_str());
        return 1;
    }
    for (size_t i = 0; i < samples.size(); ++i) {
        Image peak, between, subject;
        if (!readFrame(full[2 * i], peak) || !readFrame(full[2 * i + 1], between) ||
            !readFrame(black[i], subject)) {
            fprintf(stderr, "review_figures: can't read the frames of sample %zu\n", i);
            return 1;
        }
        samples[i].afterBeat = measureFrameLight(peak);
        samples[i].subject = measureSubject(subject, between);
        delete[] peak.pixels;
        delete[] between.pixels;
        delete[] subject.pixels;
    }

    printf("\nrow  material model      scale | after a beat: luma clipped | between beats: height cover "
           "subject  sky  ratio\n");
    std::vector<RowFigures> rows;
    for (int row = 0; row < reviewedSequenceRows; ++row) {
        std::vector<const Sample*> ofRow;
        for (const Sample& s : samples)
            if (s.row == row) ofRow.push_back(&s);
        rows.push_back(medians(ofRow));
        const RowFigures& r = rows.back();
        const ContentRow& content = objectSequence[row];
        printf("%3d  %-8s %-10s %5.1f | %18.1f %6.1f%% | %21.1f%% %5.1f%% %7.1f %4.1f %6.2f%s\n", row,
               content.material.c_str(), content.model.c_str(), content.scale, r.meanLuma,
               100 * r.clippedShare, 100 * r.height, 100 * r.coverage, r.subjectLuma, r.skyLuma, r.contrast,
               r.coverage > 0.9 ? "  camera inside" : "");
    }
    printf("\nmedians over the rows (targets: luma <= 140, clipped <= 10 %%, height >= 35 %%, coverage >= 5 "
           "%%;\n"
           "rows missing: contrast < 1.5 at most 2, height < 15 %% at most 3, camera inside at most 4)\n");
    printf("%-14s %6s %8s %8s %8s %10s %10s %7s\n", "sampled", "luma", "clipped", "height", "cover",
           "contrast<1.5", "height<15%", "inside");
    printSummary("row medians", rows);
    for (int position = 0; position < static_cast<int>(std::min<size_t>(beatsPerRow, 7)); ++position) {
        std::vector<RowFigures> single;
        for (int row = 0; row < reviewedSequenceRows; ++row)
            for (const Sample& s : samples)
                if (s.row == row && s.position == position) single.push_back(medians({&s}));
        char label[32];
        snprintf(label, sizeof label, "beat %d of row", position + 1);
        printSummary(label, single);
    }
    if (keep.empty()) fs::remove_all(work);
    return 0;
}
