// Renders chosen frames of the show without a viewer: the same start-up and the same per-frame
// work as the program, with the music clock set from here instead of read from playback, and each
// finished frame written as a PNG through the frame capture. Run it from the build directory.
//
//   render_frames [--size WxH] [--out DIR] TIME...           frames at these times, seconds
//   render_frames [--size WxH] [--out DIR] --range A B FPS    frames from A up to (not including) B
//                                                             at FPS, at most 206000 of them (the
//                                                             show at 1000 fps)
//   render_frames [--size WxH] --bench [--phases] [--rows] [FRAMES]
//                                                start-up time, then frame times (wall clock, and
//                                                the process's CPU time) of each scene and of the
//                                                slowest sequence row (every row: --rows); --phases
//                                                adds each step's share, glFinish-bounded
//
// Frames are written as DIR/frame0000.png, frame0001.png, ... in the order asked (DIR defaults to
// "frames"), W x H pixels (800 x 600 unless given): the show drawn at that size, its 4:3 picture in
// the middle with black bars beside it or above and below it, as the program's window shows it. Between two
// asked times the clock is stepped at 60 Hz through the beat tracking alone, so the beat count, pulse and
// flash are those a viewer at 60 frames per second would see. Each frame is listed on standard output as
// "TIME PATH beat flash F", F being the overlay it drew. A time at or past the end of the show ends the run,
// as it ends the show.
#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <time.h>

#include "base/TimeText.h"
#include "demo/Content.h"
#include "demo/PostProcess.h"
#include "demo/Timeline.h"
#include "platform/Window.h"
#include "shell/FrameCapture.h"
#include "shell/OfflineClock.h"
#include "shell/Shell.h"

namespace {

using Clock = std::chrono::steady_clock;
// Taken during static construction, as close to the process start as this program gets.
const Clock::time_point processStart = Clock::now();

constexpr double beatTrackingRate = 60.0; // Hz

void usage() {
    fprintf(stderr, "usage: render_frames [--size WxH] [--out DIR] TIME...\n"
                    "       render_frames [--size WxH] [--out DIR] --range START END FPS\n"
                    "       render_frames [--size WxH] --bench [--phases] [--rows] [FRAMES]\n");
    exit(2);
}

bool parseNumber(const char* text, double& value) {
    return parseSeconds(text, value) && std::isfinite(value);
}

// The most frames one run draws: the whole show at 1000 frames a second. A range asking for more
// is refused before anything is drawn rather than running for days.
constexpr double mostFrames = 206000;

// The times to draw: those given, or frame i of a range at start + i / rate, worked out as they
// are needed, so that no list of them is ever built.
struct Times {
    std::vector<double> given;
    bool range = false;
    double start = 0, rate = 1;
    size_t count = 0;

    double at(size_t i) const { return range ? start + i / rate : given[i]; }
    size_t size() const { return range ? count : given.size(); }
};

// The size of the frames drawn, pixels.
struct FrameSize {
    int width = 800, height = 600;
};

// The program's own start-up in a hidden window of the frames' size, with the clock set from here;
// the view every frame is drawn at.
FrameView startOffline(FrameSize size) {
    ShowOptions options = ShowOptions::headless("Lumorakka by Vorkasta");
    options.width = size.width;
    options.height = size.height;
    return startShow(options);
}

int renderFrames(const Times& times, const std::string& folder, FrameSize size) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        fprintf(stderr, "Can't make the folder %s: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }
    const FrameView view = startOffline(size);
    OfflineClock clock(beatTrackingRate);
    for (size_t i = 0; i < times.size(); ++i) {
        clock.advanceTo(times.at(i));
        if (renderFrame(clock, view)) return 0; // the show is over
        char name[32];
        snprintf(name, sizeof name, "/frame%04zu.png", i);
        const std::string path = folder + name;
        if (!captureFrameTo(path.c_str())) return 1;
        swapWindow();
        printf("%.3f %s beat flash %.2f\n", times.at(i), path.c_str(), shownFrame.beatFlash);
    }
    return 0;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// Per-frame timing: the whole frame, and with --phases each step of it ended by glFinish.
struct FrameTimes {
    double frameMs = 0;
    double cpuMs = 0; // the process's CPU time over the frame, every renderer thread together
    double phaseMs[framePhaseCount] = {};
    double phaseCpuMs[framePhaseCount] = {};
};

Clock::time_point phaseStart;
double phaseCpuStart = 0;
FrameTimes* timedFrame = nullptr;

void finishPhase(FramePhase phase) {
    glFinish();
    const Clock::time_point now = Clock::now();
    const double cpuNow = processCpuSeconds();
    timedFrame->phaseMs[static_cast<int>(phase)] =
        1000 * std::chrono::duration<double>(now - phaseStart).count();
    timedFrame->phaseCpuMs[static_cast<int>(phase)] = 1000 * (cpuNow - phaseCpuStart);
    phaseStart = now;
    phaseCpuStart = cpuNow;
}

const char* const phaseNames[framePhaseCount] = {"geometry", "sky", "blur", "glow", "final"};

double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(std::ceil(share * values.size()));
    return values[std::min(values.size() - 1, at == 0 ? 0 : at - 1)];
}

struct Figures {
    double medianMs = 0, p95Ms = 0, cpuMs = 0;
};

Figures figuresOf(const std::vector<FrameTimes>& frames) {
    std::vector<double> ms;
    double cpuMs = 0;
    for (const FrameTimes& frame : frames) {
        ms.push_back(frame.frameMs);
        cpuMs += frame.cpuMs;
    }
    return {percentile(ms, 0.5), percentile(ms, 0.95), cpuMs / frames.size()};
}

void printPhaseMeans(const char* label, const std::vector<FrameTimes>& frames,
                     double (FrameTimes::*phaseMs)[framePhaseCount], double FrameTimes::*frameMs) {
    printf("%34s", label);
    double total = 0;
    for (int p = 0; p < framePhaseCount; ++p) {
        double sum = 0;
        for (const FrameTimes& frame : frames) sum += (frame.*phaseMs)[p];
        printf("  %s %.1f", phaseNames[p], sum / frames.size());
        total += sum / frames.size();
    }
    double frameSum = 0;
    for (const FrameTimes& frame : frames) frameSum += frame.*frameMs;
    printf("  rest %.1f\n", frameSum / frames.size() - total);
}

void printFigures(const char* label, const std::vector<FrameTimes>& frames, bool phases) {
    const Figures f = figuresOf(frames);
    printf("%-34s %4zu frames  median %6.1f ms (%5.1f fps)  95th percentile %6.1f ms  cpu %6.1f ms\n", label,
           frames.size(), f.medianMs, 1000 / f.medianMs, f.p95Ms, f.cpuMs);
    if (!phases) return;
    // Means, so that steps some frames skip show their share of the scene's time.
    printPhaseMeans("mean ms per step:", frames, &FrameTimes::phaseMs, &FrameTimes::frameMs);
    printPhaseMeans("mean cpu ms per step:", frames, &FrameTimes::phaseCpuMs, &FrameTimes::cpuMs);
}

// Frames at evenly spread times of [start, end), each drawn and swapped as the program does and
// timed on the wall clock up to glFinish after the swap. The clock steps between them at 60 Hz
// through the beat tracking, so the pulse and the flash go through every phase of the beat.
std::vector<FrameTimes> timeFrames(OfflineClock& clock, const FrameView& view, double start, double end,
                                   int count, bool phases) {
    std::vector<FrameTimes> frames(count);
    framePhaseDone = phases ? finishPhase : nullptr;
    for (int i = 0; i < count; ++i) {
        clock.advanceTo(start + (i + 0.5) * (end - start) / count);
        glFinish();
        timedFrame = &frames[i];
        const double cpuBegin = processCpuSeconds();
        const Clock::time_point begin = Clock::now();
        phaseStart = begin;
        phaseCpuStart = cpuBegin;
        renderFrame(clock, view);
        swapWindow();
        glFinish();
        frames[i].frameMs = 1000 * secondsSince(begin);
        frames[i].cpuMs = 1000 * (processCpuSeconds() - cpuBegin);
    }
    framePhaseDone = nullptr;
    return frames;
}

// Every scene over its whole length, and every row of the sequence; frames per scene for the
// first two, an eighth of that (at least four) per sequence row.
int bench(int frames, bool phases, bool everyRow, FrameSize size) {
    const FrameView view = startOffline(size);
    OfflineClock clock(beatTrackingRate);
    renderFrame(clock, view);
    swapWindow();
    printf("start-up, process start to the first frame of the show: %.3f s\n", secondsSince(processStart));

    printFigures("scene 1 (marble figure)", timeFrames(clock, view, 0, metaballsStartSeconds, frames, phases),
                 phases);
    printFigures("scene 2 (metaballs)",
                 timeFrames(clock, view, metaballsStartSeconds, sequenceStartSeconds, frames, phases),
                 phases);

    const int rowFrames = std::max(4, frames / 8);
    const int rows = sequenceRow(std::nextafter(static_cast<float>(showEndSeconds), 0.0f)) + 1;
    std::vector<FrameTimes> sequence;
    std::vector<std::vector<FrameTimes>> byRow;
    for (int row = 0; row < rows; ++row) {
        const double start = sequenceStartSeconds + row * sequenceRowSeconds;
        byRow.push_back(timeFrames(clock, view, start, std::min(start + sequenceRowSeconds, showEndSeconds),
                                   rowFrames, phases));
        sequence.insert(sequence.end(), byRow.back().begin(), byRow.back().end());
    }
    printFigures("scene 3 (sequence)", sequence, phases);

    int slowest = 0;
    for (int row = 1; row < rows; ++row)
        if (figuresOf(byRow[row]).medianMs > figuresOf(byRow[slowest]).medianMs) slowest = row;
    for (int row = 0; row < rows; ++row) {
        if (!everyRow && row != slowest) continue;
        const ContentRow& content = objectSequence[row];
        char label[80];
        snprintf(label, sizeof label, "%s %d (%s %s %g)", row == slowest ? "slowest row" : "row", row,
                 content.material.c_str(), content.model.c_str(), content.scale);
        printFigures(label, byRow[row], phases);
    }
    return 0;
}

// "WxH", each side a whole number of pixels from 1 to 16384.
bool parseSize(const char* text, FrameSize& size) {
    int consumed = 0;
    return sscanf(text, "%5dx%5d%n", &size.width, &size.height, &consumed) == 2 && text[consumed] == '\0' &&
           text[0] >= '0' && text[0] <= '9' && size.width >= 1 && size.height >= 1 && size.width <= 16384 &&
           size.height <= 16384;
}

} // namespace

int main(int argc, char** argv) {
    std::string folder = "frames";
    Times times;
    int arg = 1;
    FrameSize size;
    if (arg + 1 < argc && strcmp(argv[arg], "--size") == 0) {
        if (!parseSize(argv[arg + 1], size)) usage();
        arg += 2;
    }
    if (arg < argc && strcmp(argv[arg], "--bench") == 0) {
        bool phases = false, everyRow = false;
        double frames = 120;
        for (++arg; arg < argc; ++arg) {
            if (strcmp(argv[arg], "--phases") == 0)
                phases = true;
            else if (strcmp(argv[arg], "--rows") == 0)
                everyRow = true;
            else if (arg + 1 != argc || !parseNumber(argv[arg], frames) || frames < 1 || frames > 100000)
                usage();
        }
        return bench(static_cast<int>(frames), phases, everyRow, size);
    }
    if (arg + 1 < argc && strcmp(argv[arg], "--out") == 0) {
        folder = argv[arg + 1];
        arg += 2;
    }
    if (arg < argc && strcmp(argv[arg], "--range") == 0) {
        double start, end, rate;
        if (argc - arg != 4 || !parseNumber(argv[arg + 1], start) || !parseNumber(argv[arg + 2], end) ||
            !parseNumber(argv[arg + 3], rate) || rate <= 0 || start < 0 || end < start)
            usage();
        // The first time at or past the end of the show ends the run: none after it is needed.
        const double last = std::min(end, std::max(start, showEndSeconds) + 1 / rate);
        double frames = std::ceil((last - start) * rate);
        // The product may round either way: frame i is drawn when start + i / rate < last.
        if (frames >= 1 && frames <= mostFrames && start + (frames - 1) / rate >= last) frames -= 1;
        if (frames > mostFrames) {
            char count[32];
            snprintf(count, sizeof count, frames < 1e15 ? "%.0f" : "%.3g", frames);
            fprintf(stderr, "render_frames: --range %s %s %s asks for %s frames; one run draws at most %.0f\n",
                    argv[arg + 1], argv[arg + 2], argv[arg + 3], count, mostFrames);
            return 2;
        }
        times.range = true;
        times.start = start;
        times.rate = rate;
        times.count = frames > 0 ? static_cast<size_t>(frames) : 0;
    } else {
        for (; arg < argc; ++arg) {
            double t;
            if (!parseNumber(argv[arg], t) || t < 0) usage();
            times.given.push_back(t);
        }
    }
    if (times.size() == 0) usage();
    return renderFrames(times, folder, size);
}
