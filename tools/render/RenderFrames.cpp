// Renders chosen frames of the show without a viewer: the same start-up and the same per-frame
// work as the program, with the music clock set from here instead of read from playback, and each
// finished frame written as a PNG through the frame capture. Run it from the build directory.
//
//   render_frames [--out DIR] TIME...           frames at these times, seconds
//   render_frames [--out DIR] --range A B FPS    frames from A up to (not including) B at FPS
//   render_frames --bench [FRAMES]               start-up time and frames per second of each scene
//
// Frames are written as DIR/frame0000.png, frame0001.png, ... in the order asked (DIR defaults to
// "frames"). Between two asked times the clock is stepped at 60 Hz through the beat tracking alone,
// so the beat count, pulse and flash are those a viewer at 60 frames per second would see. Each
// frame is listed on standard output as "TIME PATH beat flash F", F being the overlay it drew. A time
// at or past the end of the show ends the run, as it ends the show.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

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
    fprintf(stderr, "usage: render_frames [--out DIR] TIME...\n"
                    "       render_frames [--out DIR] --range START END FPS\n"
                    "       render_frames --bench [FRAMES]\n");
    exit(2);
}

bool parseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

// The program's own start-up in a hidden window, with the clock set from here.
void startOffline() {
    startShow(ShowOptions::headless("Lumorakka by Vorkasta"));
}

int renderFrames(const std::vector<double>& times, const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        fprintf(stderr, "Can't make the folder %s: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }
    startOffline();
    OfflineClock clock(beatTrackingRate);
    for (size_t i = 0; i < times.size(); ++i) {
        clock.advanceTo(times[i]);
        renderFrame();
        char name[32];
        snprintf(name, sizeof name, "/frame%04zu.png", i);
        const std::string path = folder + name;
        captureFrameTo(path.c_str());
        swapWindow();
        printf("%.3f %s beat flash %.2f\n", times[i], path.c_str(), shownFrame.beatFlash);
    }
    return 0;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int bench(int frames) {
    startOffline();
    OfflineClock clock(beatTrackingRate);
    clock.advanceTo(0);
    renderFrame();
    swapWindow();
    printf("start-up, process start to the first frame of the show: %.3f s\n", secondsSince(processStart));
    struct {
        const char* name;
        double startSeconds;
    } scenes[] = {
        {"scene 1 (marble figure)", 5.0}, {"scene 2 (metaballs)", 21.0}, {"scene 3 (sequence)", 40.0}};
    for (const auto& scene : scenes) {
        // Frames 60 Hz apart, as a viewer's would be, timed on the wall clock.
        clock.advanceTo(scene.startSeconds);
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < frames; ++i) {
            clock.advanceTo(scene.startSeconds + i / beatTrackingRate);
            renderFrame();
            swapWindow();
        }
        const double seconds = secondsSince(start);
        printf("%s: %d frames in %.2f s, %.1f frames per second\n", scene.name, frames, seconds,
               frames / seconds);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string folder = "frames";
    std::vector<double> times;
    int arg = 1;
    if (arg < argc && strcmp(argv[arg], "--bench") == 0) {
        double frames = 60;
        if (arg + 1 < argc && (!parseNumber(argv[arg + 1], frames) || frames < 1)) usage();
        return bench(static_cast<int>(frames));
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
        for (long i = 0; start + i / rate < end; ++i) times.push_back(start + i / rate);
    } else {
        for (; arg < argc; ++arg) {
            double t;
            if (!parseNumber(argv[arg], t) || t < 0) usage();
            times.push_back(t);
        }
    }
    if (times.empty()) usage();
    return renderFrames(times, folder);
}
