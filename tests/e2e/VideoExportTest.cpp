// The video export as a user runs it: the real program under Xvfb, its file read back through
// FFmpeg's decoders.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "base/BeatGrid.h"
#include "image/Image.h"
#include "support/OggWriter.h"
#include "support/Process.h"
#include "support/ShowRun.h"
#include "support/TempDir.h"
#include "support/VideoProbe.h"
#include "support/XWindows.h"

namespace fs = std::filesystem;

namespace {

const std::string program = LUMORAKKA_BUILD_DIR "/lumorakka";
// Start-up plus a few seconds of show on llvmpipe, on a machine shared with other work.
constexpr int exportTimeoutMs = 280000;

// A stretch of the picture sequence between two row changes, with a kick on every beat.
constexpr double startSeconds = 30.5, endSeconds = 34.0;
constexpr int fps = 30;

CommandResult runExport(const std::string& display, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runCommand(argv, LUMORAKKA_BUILD_DIR, {{"DISPLAY", display}}, exportTimeoutMs);
}

std::string seconds(double value) {
    char text[32];
    snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// The start of the kick near `aroundSeconds` in the sound. The low band (below about 150 Hz,
// filtered both ways so the filter adds no delay) is rectified and held for 12 ms, which bridges
// the zero crossings of a bass wave; the onset is where that envelope first climbs a quarter of the
// way from its lowest point in the 120 ms before the kick's peak to the peak. -1 when no kick is
// there.
double kickOnsetSeconds(const std::vector<float>& sound, int rate, double aroundSeconds) {
    const auto at = [&](double t) { return static_cast<long>(std::lround(t * rate)); };
    // The filters settle within a few milliseconds: a slice around the kick is enough.
    const long first = std::max(0L, at(aroundSeconds - 0.3));
    const long last = std::min(static_cast<long>(sound.size()), at(aroundSeconds + 0.15));
    if (last - first < at(0.3)) return -1;
    std::vector<float> low(sound.begin() + first, sound.begin() + last);
    const float a = static_cast<float>(1.0 - std::exp(-2.0 * M_PI * 150.0 / rate));
    for (int pass = 0; pass < 2; ++pass) {
        float s = 0.0f;
        for (float& v : low) v = s += a * (v - s);
        s = 0.0f;
        for (size_t n = low.size(); n-- > 0;) low[n] = s += a * (low[n] - s);
    }
    std::vector<float> envelope(low.size());
    for (long n = 0; n < static_cast<long>(low.size()); ++n) {
        float held = 0;
        for (long m = std::max(0L, n - at(0.012)); m <= n; ++m) held = std::max(held, std::fabs(low[m]));
        envelope[n] = held;
    }
    const long from = at(aroundSeconds - 0.06) - first;
    const long to = at(aroundSeconds + 0.1) - first;
    const long peak = std::max_element(envelope.begin() + from, envelope.begin() + to) - envelope.begin();
    const long quiet =
        std::min_element(envelope.begin() + std::max(0L, peak - at(0.12)), envelope.begin() + peak) -
        envelope.begin();
    if (envelope[peak] < 2 * envelope[quiet] + 0.01f) return -1;
    const float threshold = envelope[quiet] + 0.25f * (envelope[peak] - envelope[quiet]);
    long onset = quiet;
    while (envelope[onset] < threshold) ++onset;
    return static_cast<double>(first + onset) / rate;
}

class VideoExport : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(server.display().empty()); }
    XvfbServer server{800, 600};
    TempDir scratch;
};

TEST_F(VideoExport, FewSecondsGiveOneH264AndOneAacStreamWithEveryFrameAndFlashesOnTheKicks) {
    const std::string path = scratch.path + "/few seconds.mp4";
    const CommandResult run =
        runExport(server.display(), {"--export", path, "--fps", std::to_string(fps), "--size", "640x360",
                                     "--start", seconds(startSeconds), "--end", seconds(endSeconds)});
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_NE(run.errors.find("Exported " + path + ": 105 frames"), std::string::npos) << run.errors;
    EXPECT_FALSE(fs::exists(path + ".partial"));

    const ProbedVideo video = probeVideo(path);
    ASSERT_TRUE(video.error.empty()) << video.error;
    EXPECT_EQ(video.videoStreams, 1);
    EXPECT_EQ(video.soundStreams, 1);
    EXPECT_EQ(video.videoCodec, "h264");
    EXPECT_EQ(video.soundCodec, "aac");
    EXPECT_EQ(video.pixelFormat, "yuv420p");
    EXPECT_EQ(video.width, 640);
    EXPECT_EQ(video.height, 360);
    EXPECT_EQ(video.soundRate, 44100);
    EXPECT_EQ(video.soundChannels, 2);
    EXPECT_TRUE(video.indexAtFront) << "players must read the whole file before they can start";
    ASSERT_EQ(video.frameSeconds.size(), 105u);
    for (size_t k = 0; k < video.frameSeconds.size(); ++k)
        ASSERT_NEAR(video.frameSeconds[k], static_cast<double>(k) / fps, 0.001) << "frame " << k;
    // The sound covers the pictures: 3.5 s, give or take one encoder block.
    EXPECT_NEAR(static_cast<double>(video.sound.size()) / video.soundRate, endSeconds - startSeconds, 0.03);

    // 640x360 is wider than 4:3: the picture is 480 wide in the middle, black bars beside it.
    const auto luma = [&](int x, int y) { return static_cast<int>(video.firstFrameLuma[y * 640 + x]); };
    for (int y = 0; y < 360; y += 7) {
        for (int x : {0, 40, 78, 562, 600, 639}) ASSERT_LE(luma(x, y), 20) << "bar at " << x << "," << y;
    }
    double middle = 0;
    for (int y = 0; y < 360; ++y)
        for (int x = 80; x < 560; ++x) middle += luma(x, y);
    EXPECT_GT(middle / (480 * 360), 30.0) << "no picture between the bars";

    // Each kick in the decoded sound brightens the picture. The beat is counted in the first frame
    // that reaches the kick, after that frame is drawn, so it shows in the next one: the flash frame
    // is the kick's frame or the one after it, never before, never later.
    int kicks = 0;
    for (int beat = 1; beatTimeSeconds(beat) < endSeconds - 0.2; ++beat) {
        const double beatInVideo = beatTimeSeconds(beat) - startSeconds;
        if (beatInVideo < 0.2) continue;
        const double onset = kickOnsetSeconds(video.sound, video.soundRate, beatInVideo);
        ASSERT_GE(onset, 0) << "no kick near " << beatTimeSeconds(beat) << " s in the exported sound";
        const long kickFrame = static_cast<long>(std::ceil(onset * fps - 1e-9));
        long flashFrame = -1;
        double largestRise = 0;
        for (long f = std::max(1L, kickFrame - 4); f <= kickFrame + 4; ++f) {
            const double rise = video.frameLuma[f] - video.frameLuma[f - 1];
            if (rise > largestRise) {
                largestRise = rise;
                flashFrame = f;
            }
        }
        printf("beat %d at %.4f s: kick at %.4f s (frame %ld), flash in frame %ld (+%.1f luma)\n", beat,
               beatTimeSeconds(beat), onset + startSeconds, kickFrame, flashFrame, largestRise);
        EXPECT_GT(largestRise, 2.0) << "no flash near the kick at " << onset + startSeconds << " s";
        EXPECT_GE(flashFrame, kickFrame) << "flash ahead of the kick at " << onset + startSeconds << " s";
        EXPECT_LE(flashFrame, kickFrame + 1) << "flash late for the kick at " << onset + startSeconds << " s";
        ++kicks;
    }
    EXPECT_GE(kicks, 6);
}

// The frames of the video are the renderer's, in order: the encoder hands them on while the next
// ones are drawn, and a frame paired with its neighbour's picture or time would show here. Frames
// of the first scene at least 0.31 s after a beat carry neither the glow's pulse nor the beat flash,
// which depend on how the beat tracking got there (the export starts as after a seek, the renderer
// steps from 0 s), so both draw exactly the same picture; the video holds it up to the encoder's
// loss. The luma is compared, as the encoder keeps it at full size (BT.709, limited range).
TEST_F(VideoExport, FramesAreTheRenderersInOrderWithinTheEncodersLoss) {
    constexpr double from = 5.0, to = 7.0;
    const std::string path = scratch.path + "/frames.mp4";
    const CommandResult run = runExport(server.display(), {"--export", path, "--fps", std::to_string(fps),
                                                           "--start", seconds(from), "--end", seconds(to)});
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const ProbedVideo video = probeVideo(path, true);
    ASSERT_TRUE(video.error.empty()) << video.error;
    const int frames = static_cast<int>(std::lround((to - from) * fps));
    ASSERT_EQ(video.everyFrameLuma.size(), static_cast<size_t>(frames));
    ASSERT_EQ(video.width, 800);
    ASSERT_EQ(video.height, 600);

    const std::string folder = scratch.path + "/rendered";
    const CommandResult rendered =
        runCommand({LUMORAKKA_BUILD_DIR "/render_frames", "--out", folder, "--range", seconds(from),
                    seconds(to), std::to_string(fps)},
                   LUMORAKKA_BUILD_DIR, {{"DISPLAY", server.display()}}, exportTimeoutMs);
    ASSERT_EQ(rendered.exitStatus, 0) << rendered.errors;
    std::vector<std::vector<double>> renderedLuma;
    for (int k = 0; k < frames; ++k) {
        char name[32];
        snprintf(name, sizeof name, "/frame%04d.png", k);
        Image picture{};
        ASSERT_EQ(read_png((folder + name).c_str(), &picture, false), 0) << name;
        std::vector<double> luma(static_cast<size_t>(picture.width) * picture.height);
        for (size_t i = 0; i < luma.size(); ++i) {
            const unsigned char* p = picture.pixels + i * picture.channels;
            luma[i] = 16 + 219 * (0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]) / 255;
        }
        delete[] picture.pixels;
        renderedLuma.push_back(std::move(luma));
    }
    // Mean absolute difference between decoded frame `k` and rendered frame `r`, in levels.
    const auto difference = [&](int k, int r) {
        double sum = 0;
        const std::vector<unsigned char>& decoded = video.everyFrameLuma[k];
        for (size_t i = 0; i < decoded.size(); ++i) sum += std::fabs(decoded[i] - renderedLuma[r][i]);
        return sum / decoded.size();
    };
    int compared = 0;
    for (int k = 1; k + 1 < frames; ++k) {
        const double t = from + static_cast<double>(k) / fps;
        int beat = 1;
        while (beatTimeSeconds(beat + 1) <= t) ++beat;
        if (t - beatTimeSeconds(beat) < 0.31) continue;
        const double own = difference(k, k);
        printf("frame %d (%.3f s): %.2f levels from its rendered frame, %.2f and %.2f from the neighbours'\n",
               k, t, own, difference(k, k - 1), difference(k, k + 1));
        // About one level over the falling flakes; the camera's move from one frame to the next
        // makes about four, and a wrong colour matrix or range many more.
        EXPECT_LT(own, 1.5) << "frame " << k;
        EXPECT_LT(own, 0.75 * difference(k, k - 1)) << "frame " << k;
        EXPECT_LT(own, 0.75 * difference(k, k + 1)) << "frame " << k;
        ++compared;
    }
    EXPECT_GE(compared, 12);
}

// Files left in `folder` whose names end in ".partial".
std::vector<std::string> partialFiles(const std::string& folder) {
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 8 && name.compare(name.size() - 8, 8, ".partial") == 0) found.push_back(name);
    }
    return found;
}

// Ctrl-C, a polite kill or a closed terminal mid-export: the file is finished with the frames
// rendered so far.
TEST_F(VideoExport, InterruptedExportLeavesAFileOfTheFramesWrittenAndExitsWithTheSignal) {
    const struct {
        int signal;
        int status;
    } cases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "signal " << c.signal);
        const std::string path = scratch.path + "/interrupted-" + std::to_string(c.signal) + ".mp4";
        ChildProcess exporter({program, "--export", path, "--fps", std::to_string(fps), "--size", "320x240",
                               "--start", seconds(startSeconds), "--end", "200"},
                              LUMORAKKA_BUILD_DIR, {{"DISPLAY", server.display()}});
        // The first progress line comes with the first frame; let a few more follow.
        const std::regex progressLine("[0-9]+/[0-9]+ frames");
        ASSERT_TRUE(waitUntil(exportTimeoutMs, [&] {
            return std::regex_search(exporter.standardError(), progressLine);
        })) << exporter.standardError();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        exporter.signal(c.signal);
        ASSERT_EQ(exporter.waitExit(60000), c.status) << exporter.standardError();

        std::smatch match;
        const std::string errors = exporter.standardError();
        ASSERT_TRUE(
            std::regex_search(errors, match, std::regex("holds the first ([0-9]+) of ([0-9]+) frames")))
            << errors;
        const size_t written = std::stoul(match[1]);
        EXPECT_GT(written, 0u);
        EXPECT_FALSE(fs::exists(path + ".partial"));

        const ProbedVideo video = probeVideo(path);
        ASSERT_TRUE(video.error.empty()) << video.error;
        EXPECT_TRUE(video.indexAtFront);
        EXPECT_EQ(video.frameSeconds.size(), written);
        EXPECT_EQ(video.soundStreams, 1);
        EXPECT_NEAR(static_cast<double>(video.sound.size()) / video.soundRate,
                    static_cast<double>(written) / fps, 0.03);
    }

    // SIGKILL leaves no time to clean up: the file has no name until it is finished, so nothing is
    // left, not even an unfinished file beside the path.
    const std::string killed = scratch.path + "/killed.mp4";
    ChildProcess exporter({program, "--export", killed, "--size", "320x240", "--start", seconds(startSeconds)},
                          LUMORAKKA_BUILD_DIR, {{"DISPLAY", server.display()}});
    ASSERT_TRUE(waitUntil(exportTimeoutMs, [&] {
        return std::regex_search(exporter.standardError(), std::regex("[0-9]+/[0-9]+ frames"));
    })) << exporter.standardError();
    exporter.signal(SIGKILL);
    exporter.waitExit(60000);
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(partialFiles(scratch.path).empty());
}

// A path that can't be written, or a disk that fills up: one message naming the file, status 1,
// and nothing left behind that could pass for a video.
TEST_F(VideoExport, UnwritableOrFullOutputExitsOneNamingTheFileAndLeavesNothing) {
    const std::string missing = scratch.path + "/no such folder/out.mp4";
    const struct {
        std::string path, reason;
    } unwritable[] = {{missing, "No such file or directory"}, {scratch.path, "it is a folder"}};
    for (const auto& c : unwritable) {
        const CommandResult run = runExport(server.display(), {"--export", c.path, "--end", "1"});
        EXPECT_EQ(run.exitStatus, 1) << run.errors;
        EXPECT_NE(run.errors.find("Cannot write the video " + c.path + ": " + c.reason), std::string::npos)
            << run.errors;
    }
    EXPECT_FALSE(fs::exists(missing + ".partial"));

    // A file-size limit is a full disk with a signal: the program takes the failed write instead
    // of the signal, as it takes a full disk.
    const std::string full = scratch.path + "/full.mp4";
    const CommandResult run =
        runCommand({"/bin/sh", "-c", "ulimit -f 100; exec \"$0\" \"$@\"", program, "--export", full, "--start",
                    seconds(startSeconds), "--end", seconds(startSeconds + 2)},
                   LUMORAKKA_BUILD_DIR, {{"DISPLAY", server.display()}}, exportTimeoutMs);
    EXPECT_EQ(run.exitStatus, 1) << run.errors;
    EXPECT_NE(run.errors.find("Cannot write the video " + full + ":"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("File too large"), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("Exported"), std::string::npos) << run.errors;
    EXPECT_FALSE(fs::exists(full));
    EXPECT_TRUE(partialFiles(scratch.path).empty());
}

// A reader of standard output and error that has gone away (a pipe into a pager that was quit)
// neither kills the export nor changes its status: the file is whole and the status 0.
TEST_F(VideoExport, OutputsGoingNowhereChangeNothing) {
    const std::string path = scratch.path + "/unread.mp4";
    // The program's status goes to the test through descriptor 3; its outputs into a pipe whose
    // reader has ended before the first line.
    const CommandResult run = runCommand(
        {"/bin/sh", "-c", "exec 3>&1; (\"$0\" \"$@\" 2>&1; echo \"status $?\" >&3) | true", program, "--export", path,
         "--size", "160x120", "--start", seconds(startSeconds), "--end", seconds(startSeconds + 0.5)},
        LUMORAKKA_BUILD_DIR, {{"DISPLAY", server.display()}}, exportTimeoutMs);
    EXPECT_EQ(run.output, "status 0\n");
    const ProbedVideo video = probeVideo(path);
    EXPECT_TRUE(video.error.empty()) << video.error;
    EXPECT_EQ(video.frameSeconds.size(), 30u);
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The target is replaced only by a whole file of this export's own: a FIFO or a device at the path
// is refused (a FIFO stands in for /dev/full here), and a file or link named like the unfinished
// file is never opened, let alone written through.
TEST_F(VideoExport, OnlyARegularFileIsReplacedAndNothingIsWrittenThroughALink) {
    const std::string fifo = scratch.path + "/fifo.mp4";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    CommandResult run = runExport(server.display(), {"--export", fifo, "--end", "0.1", "--size", "160x120"});
    EXPECT_EQ(run.exitStatus, 1) << run.errors;
    EXPECT_NE(run.errors.find("Cannot write the video " + fifo + ": it exists and is not a regular file"),
              std::string::npos)
        << run.errors;
    EXPECT_TRUE(fs::is_fifo(fifo));

    const std::string notes = scratch.path + "/notes.txt", target = scratch.path + "/linked.mp4";
    std::ofstream(notes) << "my notes\n";
    fs::create_symlink(notes, target + ".partial");
    std::ofstream(target) << "an older video";
    run = runExport(server.display(), {"--export", target, "--end", "0.1", "--size", "160x120"});
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_TRUE(fileText(notes) == "my notes\n") << "the link was written through";
    EXPECT_TRUE(fs::is_symlink(target + ".partial"));
    const ProbedVideo video = probeVideo(target);
    EXPECT_TRUE(video.error.empty()) << video.error;
    EXPECT_EQ(video.frameSeconds.size(), 6u);
    EXPECT_EQ(partialFiles(scratch.path), std::vector<std::string>{"linked.mp4.partial"});
}

// Nothing the program writes goes through a link, into another name of a file, or over a file the
// show reads: a capture or a video takes the place of whatever was at its path, and a path that is
// the program itself, one of its inputs (by any name) or in its data folder is refused before
// anything is written. A name as long as the folder takes is as good as any, though the unfinished
// file beside it is named after it.
TEST_F(VideoExport, NothingIsWrittenThroughALinkOrOverWhatTheShowReads) {
    ShowRun run;
    const std::string music = (fs::path(LUMORAKKA_BUILD_DIR) / "data" / "noisebiisi.ogg").string();
    const std::string notes = (run.root / "notes.txt").string(), otherName = (run.root / "notes-too.txt").string();
    std::ofstream(notes) << "my notes\n";
    ASSERT_EQ(link(notes.c_str(), otherName.c_str()), 0);
    fs::create_symlink(music, run.root / "music.mp4");
    fs::create_symlink(fs::path(LUMORAKKA_BUILD_DIR) / "data" / "materials" / "marble.mat",
                       run.root / "material.mp4");
    const std::string longName = std::string(251, 'n') + ".mp4";
    const std::string readsIt = "it is the program itself or a file the show reads";
    const struct {
        std::string path, refusal; // no refusal: a video is written
    } exports[] = {
        {"data/noisebiisi.ogg", readsIt}, {program, readsIt}, {"music.mp4", readsIt},
        {"material.mp4", readsIt}, {"data/clip.mp4", "it is in the show's data folder"}, {longName, ""},
    };
    for (const auto& c : exports) {
        SCOPED_TRACE(c.path.substr(0, 40));
        const auto started = std::chrono::steady_clock::now();
        auto exporter = run.start(server.display(), {"--export", c.path, "--end", "0.1", "--size", "160x120"});
        const std::optional<int> status = exporter->waitExit(exportTimeoutMs);
        if (c.refusal.empty()) {
            ASSERT_EQ(status, 0) << exporter->standardError();
            EXPECT_EQ(probeVideo((run.root / c.path).string()).frameSeconds.size(), 6u);
            continue;
        }
        EXPECT_EQ(status, 1) << exporter->standardError();
        EXPECT_NE(exporter->standardError().find("Cannot write the video " + c.path + ": " + c.refusal),
                  std::string::npos)
            << exporter->standardError();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << "refused only at the end";
    }
    EXPECT_EQ(fileText(music).substr(0, 4), "OggS");
    EXPECT_EQ(fileText(program).substr(1, 3), "ELF");

    // Captures, as the offline renderer writes them through the capture's own writer.
    const fs::path frames = run.root / "frames";
    fs::create_directory(frames);
    fs::create_symlink(notes, frames / "frame0000.png");
    ASSERT_EQ(link(notes.c_str(), (frames / "frame0001.png").c_str()), 0);
    const CommandResult rendered = runCommand({LUMORAKKA_BUILD_DIR "/render_frames", "--out", frames.string(), "1", "2"},
                                              LUMORAKKA_BUILD_DIR, {{"DISPLAY", server.display()}}, exportTimeoutMs);
    ASSERT_EQ(rendered.exitStatus, 0) << rendered.errors;
    for (const char* frame : {"frame0000.png", "frame0001.png"}) {
        Image picture{};
        EXPECT_EQ(read_png((frames / frame).c_str(), &picture, false), 0) << frame;
        delete[] picture.pixels;
    }
    EXPECT_EQ(fileText(notes), "my notes\n");
    EXPECT_EQ(fileText(otherName), "my notes\n");
    EXPECT_TRUE(partialFiles(run.root.string()).empty());
}

// A name is a path: a colon in it makes no URL of it, relative to the working directory as always.
TEST_F(VideoExport, NamesWithColonsAreFilesInTheWorkingDirectory) {
    ShowRun run;
    for (const std::string name : {"12:30.mp4", "file:out.mp4"}) {
        SCOPED_TRACE(name);
        auto exporter = run.start(server.display(), {"--export", name, "--end", "0.1", "--size", "160x120"});
        EXPECT_EQ(exporter->waitExit(exportTimeoutMs), 0) << exporter->standardError();
        const ProbedVideo video = probeVideo((run.root / name).string());
        EXPECT_TRUE(video.error.empty()) << video.error;
        EXPECT_EQ(video.frameSeconds.size(), 6u);
    }
    EXPECT_TRUE(partialFiles(run.root.string()).empty());
}

// Two exports to one path don't share an unfinished file: both succeed, and the path holds one of
// the two whole files.
TEST_F(VideoExport, TwoExportsToOnePathBothFinishWithAWholeFile) {
    const std::string path = scratch.path + "/twice.mp4";
    const std::vector<std::string> argv = {program,  "--export", path,        "--fps", std::to_string(fps),
                                           "--size", "160x120",  "--end",     "1"};
    ChildProcess first(argv, LUMORAKKA_BUILD_DIR, {{"DISPLAY", server.display()}});
    ChildProcess second(argv, LUMORAKKA_BUILD_DIR, {{"DISPLAY", server.display()}});
    EXPECT_EQ(first.waitExit(exportTimeoutMs), 0) << first.standardError();
    EXPECT_EQ(second.waitExit(exportTimeoutMs), 0) << second.standardError();
    const ProbedVideo video = probeVideo(path);
    ASSERT_TRUE(video.error.empty()) << video.error;
    EXPECT_EQ(video.videoStreams, 1);
    EXPECT_EQ(video.soundStreams, 1);
    EXPECT_EQ(video.frameSeconds.size(), static_cast<size_t>(fps));
    EXPECT_TRUE(partialFiles(scratch.path).empty());
}

// Rising zero crossings per second of the probed sound over [fromSeconds, toSeconds), and its RMS.
double pitchHertz(const std::vector<float>& sound, int rate, double fromSeconds, double toSeconds) {
    // A rise counts from below a small margin: the coder's noise near zero would count twice at
    // high rates.
    int rises = 0;
    bool below = false;
    for (long i = std::lround(fromSeconds * rate); i < std::lround(toSeconds * rate); ++i) {
        if (below && sound[i] >= 0) ++rises;
        below = sound[i] < -0.02f || (below && sound[i] < 0);
    }
    return rises / (toSeconds - fromSeconds);
}

double loudness(const std::vector<float>& sound, int rate, double fromSeconds, double toSeconds) {
    double sum = 0;
    const long first = std::lround(fromSeconds * rate), last = std::lround(toSeconds * rate);
    for (long i = first; i < last; ++i) sum += sound[i] * sound[i];
    return std::sqrt(sum / std::max(1L, last - first));
}

// A chained soundtrack whose second link has another rate and channel count keeps its pitch in the
// video, and the sound goes on in silence past the track's end: the video always has its sound
// stream, also when the track ends before the start.
TEST_F(VideoExport, MusicLinksKeepTheirPitchAndTheSoundOutlastsTheTrack) {
    ShowRun run;
    const std::string music = (run.root / "data" / "noisebiisi.ogg").string();
    run.remove("noisebiisi.ogg");
    ASSERT_TRUE(writeOggVorbis(music, sineSamples(1, 440, 2, 44100), 2, 44100));
    ASSERT_TRUE(writeOggVorbis(music, sineSamples(1, 440, 1, 11025), 1, 11025, true));

    // Exports the stretch of the show into `name` at 10 frames a second, small, and probes it.
    const auto exported = [&](const char* name, const char* start, const char* end) {
        auto exporter = run.start(server.display(), {"--export", name, "--fps", "10", "--size", "160x120",
                                                     "--start", start, "--end", end});
        EXPECT_EQ(exporter->waitExit(exportTimeoutMs), 0) << exporter->standardError();
        ProbedVideo video = probeVideo((run.root / name).string());
        EXPECT_TRUE(video.error.empty()) << video.error;
        EXPECT_EQ(video.soundStreams, 1);
        return video;
    };
    const auto soundSeconds = [](const ProbedVideo& video) {
        return static_cast<double>(video.sound.size()) / std::max(video.soundRate, 1);
    };
    ProbedVideo video = exported("links.mp4", "0.5", "2.5");
    EXPECT_EQ(video.soundRate, 44100);
    ASSERT_NEAR(soundSeconds(video), 2.0, 0.03);
    EXPECT_NEAR(pitchHertz(video.sound, video.soundRate, 0.1, 0.4), 440, 8) << "first link";
    EXPECT_NEAR(pitchHertz(video.sound, video.soundRate, 0.6, 1.4), 440, 8) << "second link";
    EXPECT_GT(loudness(video.sound, video.soundRate, 0.6, 1.4), 0.1);
    EXPECT_LT(loudness(video.sound, video.soundRate, 1.6, 1.95), 0.01) << "after the track";

    video = exported("after.mp4", "3", "3.5");
    EXPECT_NEAR(soundSeconds(video), 0.5, 0.03);

    // A rate the player plays and the AAC encoder does not take is resampled to one it does.
    run.remove("noisebiisi.ogg");
    ASSERT_TRUE(writeOggVorbis(music, sineSamples(1, 440, 1, 192000), 2, 192000));
    video = exported("high.mp4", "0.2", "0.8");
    EXPECT_EQ(video.soundRate, 96000);
    ASSERT_NEAR(soundSeconds(video), 0.6, 0.03);
    EXPECT_NEAR(pitchHertz(video.sound, video.soundRate, 0.1, 0.5), 440, 8);
}

} // namespace

namespace {

// A video of the show without its music is not what was asked for: the export stops at once.
TEST(VideoExportBeforeRendering, MissingSoundtrackStopsBeforeRenderingAndWritesNothing) {
    TempDir scratch; // no data/noisebiisi.ogg in it
    const CommandResult run =
        runCommand({program, "--export", "out.mp4"}, scratch.path, {{"DISPLAY", ""}}, exportTimeoutMs);
    EXPECT_EQ(run.exitStatus, 1) << run.errors;
    EXPECT_NE(run.errors.find("Cannot open the music data/noisebiisi.ogg: No such file or directory"),
              std::string::npos)
        << run.errors;
    EXPECT_FALSE(fs::exists(scratch.path + "/out.mp4"));
    EXPECT_FALSE(fs::exists(scratch.path + "/out.mp4.partial"));
}

// Without an X display the export draws off-screen, the same pictures as on a display.
TEST(VideoExportBeforeRendering, WithoutADisplayTheExportDrawsOffScreenTheSamePictures) {
    TempDir scratch;
    XvfbServer server(800, 600);
    ASSERT_FALSE(server.display().empty());
    std::vector<ProbedVideo> videos;
    // A display that isn't there is no display either, and the line saying so names it.
    for (const std::string& display : std::vector<std::string>{"", ":4097", server.display()}) {
        SCOPED_TRACE("display '" + display + "'");
        const std::string path = scratch.path + "/display" + display + ".mp4";
        const CommandResult run = runCommand({program, "--export", path, "--fps", "10", "--size", "320x240",
                                              "--start", "30.5", "--end", "31"},
                                             LUMORAKKA_BUILD_DIR, {{"DISPLAY", display}}, exportTimeoutMs);
        ASSERT_EQ(run.exitStatus, 0) << run.errors;
        EXPECT_EQ(run.errors.find("The X display :4097 can't be opened") != std::string::npos, display == ":4097")
            << run.errors;
        videos.push_back(probeVideo(path));
        ASSERT_TRUE(videos.back().error.empty()) << videos.back().error;
        EXPECT_EQ(videos.back().frameSeconds.size(), 5u);
    }
    const std::vector<unsigned char>& offScreen = videos[0].firstFrameLuma;
    const std::vector<unsigned char>& onDisplay = videos[2].firstFrameLuma;
    EXPECT_EQ(videos[1].firstFrameLuma, offScreen);
    ASSERT_EQ(offScreen.size(), onDisplay.size());
    double mean = 0, difference = 0;
    for (size_t i = 0; i < offScreen.size(); ++i) {
        mean += offScreen[i];
        difference += std::abs(offScreen[i] - onDisplay[i]);
    }
    EXPECT_GT(mean / offScreen.size(), 20.0) << "a black picture";
    EXPECT_LT(difference / offScreen.size(), 1.0);
}

// With no GL at all (no display, and no EGL to be had): a message, status 1, and the unfinished
// file goes with the process.
TEST(VideoExportBeforeRendering, NoGLAtAllFailsWithStatusOneAndLeavesNoFile) {
    TempDir scratch;
    const std::string path = scratch.path + "/out.mp4";
    const CommandResult run =
        runCommand({program, "--export", path}, LUMORAKKA_BUILD_DIR,
                   {{"DISPLAY", ""}, {"__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent.json"}}, exportTimeoutMs);
    EXPECT_EQ(run.exitStatus, 1) << run.errors;
    EXPECT_NE(run.errors.find("no X display, and no off-screen OpenGL either"), std::string::npos) << run.errors;
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(partialFiles(scratch.path).empty());
}

} // namespace

// A last frame a hair before the end of the show is drawn as the show's last frame: its time, in
// whole milliseconds, must not round up onto the end and lose the file. A range too narrow for any
// frame is a usage error that writes nothing.
TEST_F(VideoExport, RangesAtTheEndOfTheShowGiveAWholeFileOrARefusal) {
    for (const char* start : {"205.9996", "205.98"}) {
        SCOPED_TRACE(start);
        const std::string path = scratch.path + "/end.mp4";
        const CommandResult run = runExport(server.display(), {"--export", path, "--fps", "60", "--start", start});
        ASSERT_EQ(run.exitStatus, 0) << run.errors;
        const ProbedVideo video = probeVideo(path);
        ASSERT_TRUE(video.error.empty()) << video.error;
        EXPECT_EQ(video.frameSeconds.size(), std::string(start) == "205.9996" ? 1u : 2u);
        EXPECT_EQ(video.soundStreams, 1);
        fs::remove(path);
    }

    const std::string path = scratch.path + "/empty.mp4";
    const CommandResult run =
        runExport(server.display(), {"--export", path, "--start", "10", "--end", "10.0000000001"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.errors.find("holds no frame"), std::string::npos) << run.errors;
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(path + ".partial"));
}

// Started with standard descriptors closed (by a service, a cron job, `>&-`), the program puts
// nothing it opens in their place: its lines go nowhere rather than into the video, or into the X
// connection, where the show's first capture line once hung it for good.
TEST(StandardDescriptors, ClosedOnesTakeNothingTheProgramOpens) {
    XvfbServer server(800, 600);
    ASSERT_FALSE(server.display().empty());
    const struct {
        const char* closing; // the shell's redirections
        bool show;           // the show with a capture and Escape, or a short export
    } cases[] = {{">&- 2>&-", false}, {"<&- >&- 2>&-", false}, {">&-", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.show ? "show " : "export ") + c.closing);
        ShowRun run;
        const std::vector<std::string> arguments =
            c.show ? std::vector<std::string>{"--windowed"}
                   : std::vector<std::string>{"--export", "out.mp4", "--size", "160x120", "--end", "0.5"};
        std::vector<std::string> argv = {"/bin/sh", "-c", std::string("exec \"$0\" \"$@\" ") + c.closing,
                                         LUMORAKKA_BUILD_DIR "/lumorakka"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        ChildProcess program(argv, run.root.string(), {{"DISPLAY", server.display()}, {"SDL_AUDIODRIVER", "dummy"}});
        if (c.show) {
            // The capture's line is the first the program writes to standard output.
            auto window = waitForWindow(server.display(), "Lumorakka by Vorkasta", exportTimeoutMs);
            ASSERT_TRUE(window);
            ASSERT_TRUE(sendKey(server.display(), window->id, "F11"));
            ASSERT_TRUE(waitUntil(exportTimeoutMs, [&] { return std::filesystem::exists(run.root / "shots/shot0000.png"); }));
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            ASSERT_TRUE(sendKey(server.display(), window->id, "Escape"));
        }
        EXPECT_EQ(program.waitExit(exportTimeoutMs), 0);
        if (!c.show) {
            const ProbedVideo video = probeVideo((run.root / "out.mp4").string());
            EXPECT_TRUE(video.error.empty()) << video.error;
            EXPECT_EQ(video.frameSeconds.size(), 30u);
            std::ifstream in(run.root / "out.mp4", std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(bytes.find("Exporting out.mp4"), std::string::npos) << "progress lines in the video";
        }
    }
}
