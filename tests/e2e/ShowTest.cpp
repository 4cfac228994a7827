#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "demo/Timeline.h"
#include "image/Image.h"
#include "support/FrameCompare.h"
#include "support/Process.h"
#include "support/ShowRun.h"
#include "support/XWindows.h"

namespace fs = std::filesystem;

namespace {

const char* const windowTitle = "Lumorakka by Vorkasta";
// Start-up loads every asset and compiles every program on llvmpipe before the first frame.
constexpr int startUpTimeoutMs = 120000;

class ShowTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<XvfbServer>(800, 600);
        ASSERT_FALSE(server->display().empty()) << "Xvfb did not start";
    }

    // Starts the show and waits for its window.
    std::string startShow(ShowRun& run) {
        show = run.start(server->display());
        std::optional<XWindowInfo> window = waitForWindow(server->display(), windowTitle, startUpTimeoutMs);
        if (!window) return "";
        return window->id;
    }

    void expectFatalReport(const std::string& message) {
        std::optional<XWindowInfo> box = waitForWindow(server->display(), "Error", startUpTimeoutMs);
        ASSERT_TRUE(box) << show->standardError();
        EXPECT_TRUE(show->running());
        ASSERT_TRUE(sendKey(server->display(), box->id, "Return"));
        EXPECT_EQ(show->waitExit(20000), std::optional<int>(1));
        EXPECT_NE(show->standardError().find(message + "\n"), std::string::npos) << show->standardError();
    }

    // Presses Page Down until the show ends or a generous time has passed; the exit status.
    std::optional<int> pageDownUntilTheEnd(const std::string& window) {
        std::optional<int> status;
        waitUntil(startUpTimeoutMs, [&] {
            sendKey(server->display(), window, "Next");
            return (status = show->waitExit(300)).has_value();
        });
        return status;
    }

    // The window area of the screen as an 8-bit RGB PNG.
    bool grabScreen(const fs::path& path) {
        return runCommand({"import", "-display", server->display(), "-window", "root", "-crop", "800x600+0+0",
                           "-depth", "8", "-type", "TrueColor", "PNG24:" + path.string()},
                          "/", {}, 20000)
                   .exitStatus == 0;
    }

    std::unique_ptr<XvfbServer> server;
    std::unique_ptr<ChildProcess> show;
};

bool pictureIsReadable(const fs::path& path, Image& picture) {
    return fs::exists(path) && read_png(path.c_str(), &picture, false) == 0;
}

struct ReportedShot {
    std::string path; // relative to the working directory
    double timeSeconds = 0;
    double beatFlash = 0;
};

// The program's capture lines: "shots/shot0000.png: show time 5.234 s, beat flash 0.00".
std::vector<ReportedShot> reportedShots(const std::string& output) {
    std::vector<ReportedShot> shots;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        char path[64];
        ReportedShot shot;
        if (sscanf(line.c_str(), "%63[^:]: show time %lf s, beat flash %lf", path, &shot.timeSeconds,
                   &shot.beatFlash) == 3) {
            shot.path = path;
            shots.push_back(shot);
        }
    }
    return shots;
}

} // namespace

TEST_F(ShowTest, ShowRunsUntilEscape) {
    ShowRun run;
    const std::string window = startShow(run);
    ASSERT_FALSE(window.empty()) << show->standardError();
    // Well into the first scene it is still going, and the picture moves. On a loaded machine the
    // loading and the first frames take their time: look again until it does.
    std::this_thread::sleep_for(std::chrono::seconds(4));
    const fs::path before = run.root / "before.png", after = run.root / "after.png";
    FrameDifference difference;
    waitUntil(startUpTimeoutMs, [&] {
        if (!grabScreen(before)) return false;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (!grabScreen(after)) return false;
        difference = compareFrames(before.string(), after.string(), frameTolerance);
        return difference.comparable && difference.beyondTolerance > difference.pixels / 10;
    });
    EXPECT_TRUE(show->running()) << show->standardError();
    ASSERT_TRUE(difference.comparable) << difference.problem;
    EXPECT_GT(difference.beyondTolerance, difference.pixels / 10) << "the picture stands still";
    // Not the black of an empty frame: the sky and the ground are lit.
    EXPECT_GT(meanChannel(after.string(), 2, 0, 0, 800, 600), 40);
    ASSERT_TRUE(sendKey(server->display(), window, "Escape"));
    EXPECT_EQ(show->waitExit(20000), std::optional<int>(0));
}

// Each F11 captures the next finished frame; the numbering starts at 0 and the folder is made. A
// link found under a shot's name is replaced, never written through.
TEST_F(ShowTest, F11WritesNumberedScreenshotsTopRowFirst) {
    ShowRun run;
    std::ofstream(run.root / "notes.txt") << "my notes\n";
    fs::create_directory(run.root / "shots");
    fs::create_symlink(run.root / "notes.txt", run.root / "shots" / "shot0001.png");
    const std::string window = startShow(run);
    ASSERT_FALSE(window.empty()) << show->standardError();
    // Paused, every frame is the same picture, so the shot must equal what the screen shows.
    ASSERT_TRUE(sendKey(server->display(), window, "p"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_TRUE(sendKey(server->display(), window, "F11"));
    // The capture's line comes after its file is written and closed: the file may exist earlier.
    const auto captured = [&](size_t count) {
        return waitUntil(30000, [&] { return reportedShots(show->standardOutput()).size() >= count; });
    };
    const fs::path first = run.root / "shots" / "shot0000.png";
    ASSERT_TRUE(captured(1)) << show->standardError();
    Image shot = {};
    ASSERT_TRUE(pictureIsReadable(first, shot));
    EXPECT_EQ(shot.width, 800);
    EXPECT_EQ(shot.height, 600);
    EXPECT_EQ(shot.channels, 3);
    delete[] shot.pixels;

    // The screen, grabbed from the X server, is top row first by definition.
    const fs::path screen = run.root / "screen.png";
    ASSERT_TRUE(grabScreen(screen));
    const FrameDifference difference = compareFrames(screen.string(), first.string(), frameTolerance);
    ASSERT_TRUE(difference.comparable) << difference.problem;
    EXPECT_LT(difference.beyondTolerance, difference.pixels / 100)
        << "the shot is not the picture on the screen (largest difference " << difference.largestDifference
        << ")";

    ASSERT_TRUE(sendKey(server->display(), window, "F11"));
    ASSERT_TRUE(captured(2)) << show->standardOutput();
    EXPECT_EQ(reportedShots(show->standardOutput())[1].path, "shots/shot0001.png");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(run.root / "shots" / "shot0001.png")));
    std::ifstream notes(run.root / "notes.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(notes), {}), "my notes\n");
    EXPECT_TRUE(show->running());
}

// A capture is listed only when its picture was written whole; a failed one is named on standard
// error. A capture reads the window at the size the viewer has made it, not the start-up size.
TEST_F(ShowTest, F11ListsOnlyWholePicturesAndCapturesTheWindowAtItsSize) {
    ShowRun run;
    std::ofstream(run.root / "shots") << "a file where the folder goes";
    show = run.start(server->display(), {"--windowed"});
    const std::optional<XWindowInfo> window = waitForWindow(server->display(), windowTitle, startUpTimeoutMs);
    ASSERT_TRUE(window) << show->standardError();
    ASSERT_TRUE(sendKey(server->display(), window->id, "p"));
    ASSERT_TRUE(sendKey(server->display(), window->id, "F11"));
    ASSERT_TRUE(waitUntil(startUpTimeoutMs, [&] {
        return show->standardError().find("shots/shot0000.png: Not a directory") != std::string::npos;
    })) << show->standardError();
    EXPECT_TRUE(reportedShots(show->standardOutput()).empty()) << show->standardOutput();

    fs::remove(run.root / "shots");
    ASSERT_EQ(runCommand({"xdotool", "windowsize", window->id, "400", "300"}, "/",
                         {{"DISPLAY", server->display()}})
                  .exitStatus,
              0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_TRUE(sendKey(server->display(), window->id, "F11"));
    ASSERT_TRUE(waitUntil(30000, [&] { return !reportedShots(show->standardOutput()).empty(); }))
        << show->standardError();
    const std::vector<ReportedShot> shots = reportedShots(show->standardOutput());
    ASSERT_EQ(shots.size(), 1u) << show->standardOutput();
    EXPECT_EQ(shots[0].path, "shots/shot0001.png");
    Image shot = {};
    ASSERT_TRUE(pictureIsReadable(run.root / shots[0].path, shot));
    EXPECT_EQ(shot.width, 400);
    EXPECT_EQ(shot.height, 300);
    // What the window shows: the letterboxed picture, lit in every quarter of it, in whatever colour
    // the sky has there (each pixel counts its brightest channel).
    for (int quarter = 0; quarter < 4; ++quarter) {
        const int x0 = quarter % 2 * 200, y0 = quarter / 2 * 150;
        long sum = 0;
        for (int y = y0 + 20; y < y0 + 130; ++y)
            for (int x = x0 + 20; x < x0 + 180; ++x) {
                const unsigned char* rgb = shot.pixels + static_cast<size_t>(y) * shot.rowBytes + x * 3;
                sum += std::max({rgb[0], rgb[1], rgb[2]});
            }
        EXPECT_GT(sum / (110 * 160), 15) << "quarter " << quarter;
    }
    delete[] shot.pixels;
}

// A capture's line gives the show time its frame was drawn at: the offline renderer's frame at that
// time is the same picture. Only frames without the beat flash compare, since the flash depends on
// when earlier frames counted the beat (60 Hz offline, whatever the frame rate is here).
TEST_F(ShowTest, CaptureLineGivesTheShowTimeOfTheCapturedFrame) {
    ShowRun run;
    const std::string window = startShow(run);
    ASSERT_FALSE(window.empty()) << show->standardError();
    // A press while the show loads arrives with its first frame, and a frame takes one capture however
    // many presses it saw: each press waits for its capture.
    for (size_t captures = 1; captures <= 10; ++captures) {
        ASSERT_TRUE(sendKey(server->display(), window, "F11"));
        ASSERT_TRUE(waitUntil(startUpTimeoutMs, [&] {
            return reportedShots(show->standardOutput()).size() >= captures;
        })) << show->standardOutput();
    }
    ASSERT_TRUE(sendKey(server->display(), window, "Escape"));
    EXPECT_EQ(show->waitExit(20000), std::optional<int>(0));

    std::vector<ReportedShot> shots;
    for (const ReportedShot& shot : reportedShots(show->standardOutput()))
        if (shot.beatFlash == 0 && shot.timeSeconds < metaballsStartSeconds) shots.push_back(shot);
    ASSERT_FALSE(shots.empty()) << "every capture has the beat flash: " << show->standardOutput();
    std::vector<std::string> command = {LUMORAKKA_BUILD_DIR "/render_frames", "--out",
                                        (run.root / "frames").string()};
    for (const ReportedShot& shot : shots) {
        char time[32];
        snprintf(time, sizeof time, "%.3f", shot.timeSeconds);
        command.push_back(time);
    }
    const CommandResult rendered = runCommand(command, LUMORAKKA_BUILD_DIR, {}, 240000);
    ASSERT_EQ(rendered.exitStatus, 0) << rendered.errors;

    std::istringstream renderedLines(rendered.output);
    int compared = 0;
    for (const ReportedShot& shot : shots) {
        double time = 0, flash = 0;
        char frame[512];
        std::string line;
        ASSERT_TRUE(std::getline(renderedLines, line));
        ASSERT_EQ(sscanf(line.c_str(), "%lf %511s beat flash %lf", &time, frame, &flash), 3) << line;
        if (flash != 0) continue;
        SCOPED_TRACE(shot.path);
        const FrameDifference difference =
            compareFrames(frame, (run.root / shot.path).string(), frameTolerance);
        ASSERT_TRUE(difference.comparable) << difference.problem;
        EXPECT_LE(difference.beyondTolerance, difference.pixels * allowedOutlierShare)
            << "largest difference " << difference.largestDifference;
        ++compared;
    }
    EXPECT_GT(compared, 0) << rendered.output;
}

// Jumps of 30 s pass the end at 206 s and the show ends by itself. Presses add up, but xdotool may
// send them before the window takes keys, so no count of presses is sure to be enough on a loaded
// machine: keep pressing until the show is over.
TEST_F(ShowTest, PageDownPastTheEndEndsTheShowWithStatusZero) {
    ShowRun run;
    const std::string window = startShow(run);
    ASSERT_FALSE(window.empty()) << show->standardError();
    EXPECT_EQ(pageDownUntilTheEnd(window), std::optional<int>(0)) << show->standardError();
}

// Without its music, or with a track shorter than the show, the clock runs on in silence: the show
// still reaches its end and says once why it is silent.
TEST_F(ShowTest, ShowWithoutItsMusicOrWithAShortTrackRunsToTheEnd) {
    struct Case {
        const char* name;
        void (*damage)(ShowRun&);
        const char* says;
    };
    const Case cases[] = {
        {"missing", [](ShowRun& run) { run.remove("noisebiisi.ogg"); },
         "Cannot open music 'data/noisebiisi.ogg': No such file or directory"},
        // The first Ogg pages hold the codec set-up and only the start of the music.
        {"cut short", [](ShowRun& run) { run.truncate("noisebiisi.ogg", 65536); },
         "Music 'data/noisebiisi.ogg' ends at "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShowRun run;
        c.damage(run);
        const std::string window = startShow(run);
        ASSERT_FALSE(window.empty()) << show->standardError();
        EXPECT_EQ(pageDownUntilTheEnd(window), std::optional<int>(0)) << show->standardError();
        const std::string said = show->standardError();
        const size_t line = said.find(c.says);
        EXPECT_NE(line, std::string::npos) << said;
        EXPECT_EQ(said.find(c.says, line + 1), std::string::npos) << "said more than once: " << said;
    }
}

// A fatal report holds the process in its box until the viewer answers it, then exits with 1.
TEST_F(ShowTest, MissingModelFileNamesTheLookupAndFails) {
    ShowRun run;
    run.remove("ninja.aml");
    show = run.start(server->display());
    expectFatalReport("Could not find file: \"data/ninja.{aml }\"!");
}

// SDL's box doesn't wrap: a long report must come in lines, or the box runs off both sides of the
// screen and shows only the middle. Standard error keeps the one line.
TEST_F(ShowTest, LongFatalReportFitsTheScreenInItsBox) {
    ShowRun run;
    run.truncate("ninja.aml", 200);
    show = run.start(server->display());
    std::optional<XWindowInfo> box = waitForWindow(server->display(), "Error", startUpTimeoutMs);
    ASSERT_TRUE(box) << show->standardError();
    EXPECT_GE(box->x, 0);
    EXPECT_LE(box->x + box->width, 800);
    ASSERT_TRUE(sendKey(server->display(), box->id, "Return"));
    EXPECT_EQ(show->waitExit(20000), std::optional<int>(1));
    const std::string said = show->standardError();
    const size_t start = said.find("File 'data/ninja.aml' is damaged AML file: ");
    ASSERT_NE(start, std::string::npos) << said;
    const std::string line = said.substr(start, said.find('\n', start) - start);
    EXPECT_GT(line.size(), 120u) << line;
    EXPECT_EQ(line.substr(line.size() - 8), " remain.") << line;
}

TEST_F(ShowTest, BrokenTextureLineInAMaterialFileIsReported) {
    ShowRun run;
    run.appendLine("materials/foo1.mat", "\n%TEX2D broken\n");
    show = run.start(server->display());
    // The line breaks of the report become blanks on the one standard-error line.
    expectFatalReport("Read error in material file, line: '%TEX2D broken '");
}
