// The real program under Xvfb servers of its own: what a person sees, what it says, how it ends.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "image/Image.h"
#include "support/FrameCompare.h"
#include "support/Process.h"
#include "support/ShowRun.h"
#include "support/XWindows.h"

namespace {
const std::string program = LUMORAKKA_BUILD_DIR "/lumorakka";
const std::string title = "Lumorakka by Vorkasta";
constexpr int startMs = 30000; // window up, on a loaded machine
constexpr int exitMs = 15000;
constexpr int startUpMs = 120000; // every asset loaded and every program compiled on llvmpipe

// The dummy audio driver keeps the device probe quiet and the clock running in real time.
std::unique_ptr<ChildProcess> startDemo(const std::string& display,
                                        std::map<std::string, std::string> extra = {}) {
    std::map<std::string, std::string> environment{{"DISPLAY", display}, {"SDL_AUDIODRIVER", "dummy"}};
    for (auto& [name, value] : extra) environment[name] = value;
    return std::make_unique<ChildProcess>(std::vector<std::string>{program}, LUMORAKKA_BUILD_DIR,
                                          environment);
}

bool hasWindowNamed(const std::string& display, const std::string& name) {
    for (const XWindowInfo& w : topLevelWindows(display))
        if (w.name == name) return true;
    return false;
}
} // namespace

TEST(ShellEndToEnd, FullScreenAt800x600ShowsNoModeBoxAndEscapeExitsZero) {
    XvfbServer server(800, 600);
    ASSERT_FALSE(server.display().empty());
    auto demo = startDemo(server.display());
    auto window = waitForWindow(server.display(), title, startMs);
    ASSERT_TRUE(window) << demo->standardError();
    EXPECT_EQ(window->width, 800);
    EXPECT_EQ(window->height, 600);
    EXPECT_EQ(window->x, 0);
    EXPECT_EQ(window->y, 0);
    EXPECT_FALSE(hasWindowNamed(server.display(), "Error"));
    EXPECT_TRUE(demo->running());

    ASSERT_TRUE(sendKey(server.display(), window->id, "Escape"));
    EXPECT_EQ(demo->waitExit(exitMs), 0) << demo->standardError();
    EXPECT_EQ(demo->standardError().find("Mode Switch Failed"), std::string::npos);
}

// --desktop takes the screen at its own size with no mode switch and no box, and draws the 4:3
// picture at that size in the middle: black bars beside it on a wide screen, above and below it on
// a taller one. A capture is the whole screen.
TEST(ShellEndToEnd, DesktopDrawsTheShowAtTheScreensSizeBetweenBlackBars) {
    const struct {
        int screenWidth, screenHeight;
        int x, y, width, height; // the picture in the capture, rows from the top
    } cases[] = {{1920, 1080, 240, 0, 1440, 1080}, {1280, 1024, 0, 32, 1280, 960}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.screenWidth << "x" << c.screenHeight);
        XvfbServer server(c.screenWidth, c.screenHeight);
        ASSERT_FALSE(server.display().empty());
        ShowRun run;
        auto demo = run.start(server.display(), {"--desktop", "--start", "10"});
        auto window = waitForWindow(server.display(), title, startMs);
        ASSERT_TRUE(window) << demo->standardError();
        EXPECT_EQ(std::make_pair(window->width, window->height),
                  std::make_pair(c.screenWidth, c.screenHeight));
        EXPECT_EQ(screenSize(server.display()), std::make_pair(c.screenWidth, c.screenHeight));
        ASSERT_TRUE(sendKey(server.display(), window->id, "F11"));
        ASSERT_TRUE(waitUntil(startUpMs, [&] {
            return demo->standardOutput().find("shots/shot0000.png: show time") != std::string::npos;
        })) << demo->standardError();
        const std::string shot = (run.root / "shots" / "shot0000.png").string();
        Image picture = {};
        ASSERT_EQ(read_png(shot.c_str(), &picture, false), 0);
        delete[] picture.pixels;
        EXPECT_EQ(std::make_pair(picture.width, picture.height),
                  std::make_pair(c.screenWidth, c.screenHeight));
        // Each bar black (a side without bars has none to measure: -1); the picture lit along each
        // of its edges, in whatever colour the sky has there.
        const int right = c.x + c.width, bottom = c.y + c.height, w = c.screenWidth, h = c.screenHeight;
        const int bars[4][4] = {{0, 0, c.x, h}, {right, 0, w, h}, {0, 0, w, c.y}, {0, bottom, w, h}};
        const int edges[4][4] = {{c.x, c.y, c.x + 8, bottom},
                                 {right - 8, c.y, right, bottom},
                                 {c.x, c.y, right, c.y + 8},
                                 {c.x, bottom - 8, right, bottom}};
        for (int i = 0; i < 4; ++i) {
            double light = 0;
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_EQ(meanChannel(shot, channel, bars[i][0], bars[i][1], bars[i][2], bars[i][3]),
                          (i < 2 ? c.x : c.y) ? 0 : -1)
                    << "bar " << i;
                light += meanChannel(shot, channel, edges[i][0], edges[i][1], edges[i][2], edges[i][3]);
            }
            EXPECT_GT(light, 15) << "edge " << i;
        }
        EXPECT_FALSE(hasWindowNamed(server.display(), "Error"));
        ASSERT_TRUE(sendKey(server.display(), window->id, "Escape"));
        EXPECT_EQ(demo->waitExit(exitMs), 0) << demo->standardError();
    }
}

TEST(ShellEndToEnd, ModeSwitchRefusedShowsBoxThenRunsInWindowAndSigtermEndsItWith143) {
    XvfbServer server(1024, 768);
    ASSERT_FALSE(server.display().empty());
    auto demo = startDemo(server.display());
    auto box = waitForWindow(server.display(), "Error", startMs);
    ASSERT_TRUE(box) << demo->standardError();
    // The box comes before the window and holds the start-up until it is answered.
    EXPECT_FALSE(hasWindowNamed(server.display(), title));
    EXPECT_NE(demo->standardError().find("Mode Switch Failed. Running In Windowed Mode."), std::string::npos);

    ASSERT_TRUE(sendKey(server.display(), box->id, "Return"));
    auto window = waitForWindow(server.display(), title, startMs);
    ASSERT_TRUE(window) << demo->standardError();
    EXPECT_EQ(window->width, 800);
    EXPECT_EQ(window->height, 600);
    EXPECT_TRUE(demo->running());

    // SIGTERM arrives as a quit request: one more frame, then the signal's status.
    demo->signal(SIGTERM);
    EXPECT_EQ(demo->waitExit(exitMs), 143) << demo->standardError();
}

TEST(ShellEndToEnd, CloseRequestFromWindowManagerExitsZero) {
    XvfbServer server(800, 600);
    ASSERT_FALSE(server.display().empty());
    auto demo = startDemo(server.display());
    auto window = waitForWindow(server.display(), title, startMs);
    ASSERT_TRUE(window) << demo->standardError();
    ASSERT_TRUE(sendCloseRequest(server.display(), window->id));
    EXPECT_EQ(demo->waitExit(exitMs), 0) << demo->standardError();
}

TEST(ShellEndToEnd, ScreenSaverStaysOffWhileDemoRuns) {
    XvfbServer server(800, 600);
    ASSERT_FALSE(server.display().empty());
    ASSERT_TRUE(setScreenSaverTimeout(server.display(), 1));
    // Without the demo the idle server's saver comes on: the check below can fail.
    ASSERT_TRUE(waitUntil(10000, [&] { return !screenSaverOff(server.display()); }));
    ASSERT_TRUE(setScreenSaverTimeout(server.display(), 1));

    auto demo = startDemo(server.display());
    ASSERT_TRUE(waitForWindow(server.display(), title, startMs)) << demo->standardError();
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    EXPECT_TRUE(screenSaverOff(server.display()));
    EXPECT_TRUE(demo->running());
}

TEST(ShellEndToEnd, MissingGlslIsFatalWithMessageAndStatusOne) {
    XvfbServer server(800, 600);
    ASSERT_FALSE(server.display().empty());
    auto demo = startDemo(server.display(), {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_shading_language_100"}});
    auto box = waitForWindow(server.display(), "Error", startMs);
    ASSERT_TRUE(box) << demo->standardError();
    EXPECT_TRUE(demo->running()); // the box waits for the viewer
    ASSERT_TRUE(sendKey(server.display(), box->id, "Return"));
    EXPECT_EQ(demo->waitExit(exitMs), 1);
    EXPECT_NE(demo->standardError().find("Seems that ARB_shading_language_100 is not supported.\n"),
              std::string::npos)
        << demo->standardError();
}

TEST(ShellEndToEnd, NoDisplayOrUnreachableDisplayFailsClearlyWith255) {
    struct Case {
        const char* display; // "" unsets DISPLAY
        const char* says;
    } cases[] = {
        {"", "no display: DISPLAY is not set"}, {":4097", "Cannot start video: the X display :4097 can't be opened"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.display);
        ChildProcess demo({program}, LUMORAKKA_BUILD_DIR,
                          {{"DISPLAY", c.display}, {"SDL_AUDIODRIVER", "dummy"}});
        EXPECT_EQ(demo.waitExit(exitMs), 255);
        std::string said = demo.standardError();
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        EXPECT_NE(said.find("RegisterClassEx Failed!\nError Registering Window Class!\n"), std::string::npos)
            << said;
    }
}

// The X server going away (ended, or its connection cut) ends the program at once with status 1 and
// one line saying so, full screen or not: nothing is left spinning on a server that is gone.
TEST(ShellEndToEnd, LostDisplayEndsTheProgramPromptlyWithStatusOneAndOneLine) {
    for (const char* option : {"", "--windowed"}) {
        SCOPED_TRACE(*option ? option : "full screen");
        auto server = std::make_unique<XvfbServer>(800, 600);
        ASSERT_FALSE(server->display().empty());
        std::vector<std::string> argv = {program};
        if (*option) argv.push_back(option);
        ChildProcess demo(argv, LUMORAKKA_BUILD_DIR, {{"DISPLAY", server->display()}, {"SDL_AUDIODRIVER", "dummy"}});
        ASSERT_TRUE(waitForWindow(server->display(), title, startMs)) << demo.standardError();
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        const std::string display = server->display();
        server.reset();
        EXPECT_EQ(demo.waitExit(exitMs), 1) << demo.standardError();
        EXPECT_EQ(demo.standardError(), "Lost the connection to the X display " + display + ": the program ends.\n");
    }
}

// Ctrl-C ends the show as it ends other programs, with 130 (SIGTERM's 143 is above).
TEST(ShellEndToEnd, SigintEndsTheShowWith130) {
    XvfbServer server(800, 600);
    ASSERT_FALSE(server.display().empty());
    auto demo = startDemo(server.display());
    ASSERT_TRUE(waitForWindow(server.display(), title, startMs)) << demo->standardError();
    demo->signal(SIGINT);
    EXPECT_EQ(demo->waitExit(startUpMs), 130) << demo->standardError();
}

// Nothing of the program is left: no process of its group (an error box's child is one).
bool everythingEnded(const ChildProcess& demo) {
    return waitUntil(exitMs, [&] { return kill(-demo.pid(), 0) != 0; });
}

// SIGTERM and SIGINT end the program as they would any other, with 143 and 130, whenever they come:
// while an error box waits for the viewer, before the window (the mode box) or with it (a fatal
// report), and the box goes with the program; while the show loads, before any frame; and mid-export,
// where a second signal, which ends the export at once, still takes the unfinished file with it.
// Where no thread can be started for the box's watcher, the box still comes up and a signal still
// ends the program, as the signal's own action, with no abort on the way.
TEST(ShellEndToEnd, SignalsAtAnyMomentEndTheProgramAndWhatItStarted) {
    const std::map<std::string, std::string> noGlsl = {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_shading_language_100"}};
    std::map<std::string, std::string> noThreads = noGlsl;
    noThreads.insert({{"LD_PRELOAD", NO_THREADS_LIBRARY}, {"LP_NUM_THREADS", "0"}});
    // Mesa's slowest renderer takes seconds over the loading: the signals come well inside it.
    const std::map<std::string, std::string> slowLoading = {{"GALLIUM_DRIVER", "softpipe"}};
    enum class Moment { box, loading, export_ };
    const struct {
        const char* name;
        Moment moment;
        int screenWidth;
        std::map<std::string, std::string> environment;
        int signal, status; // a negative status: ended by that signal's own action
    } cases[] = {
        {"mode box", Moment::box, 1024, {}, SIGTERM, 143},
        {"fatal box", Moment::box, 800, noGlsl, SIGINT, 130},
        {"fatal box without threads", Moment::box, 800, noThreads, SIGTERM, -SIGTERM},
        {"loading", Moment::loading, 800, slowLoading, SIGTERM, 143},
        {"second signal mid-export", Moment::export_, 800, slowLoading, SIGINT, -SIGINT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        XvfbServer server(c.screenWidth, 768 * c.screenWidth / 1024);
        ASSERT_FALSE(server.display().empty());
        ShowRun run;
        auto demo = run.start(c.moment == Moment::export_ ? "" : server.display(),
                              c.moment == Moment::export_ ? std::vector<std::string>{"--export", "out.mp4"}
                                                          : std::vector<std::string>{},
                              c.environment);
        switch (c.moment) {
        case Moment::box:
            ASSERT_TRUE(waitForWindow(server.display(), "Error", startUpMs)) << demo->standardError();
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            demo->signal(c.signal);
            break;
        case Moment::loading: {
            // A capture asked for now would come with the first frame: none may be drawn.
            auto window = waitForWindow(server.display(), title, startMs);
            ASSERT_TRUE(window) << demo->standardError();
            ASSERT_TRUE(sendKey(server.display(), window->id, "F11"));
            demo->signal(c.signal);
            break;
        }
        case Moment::export_:
            // The unfinished file exists once the export says what it writes.
            ASSERT_TRUE(waitUntil(startMs, [&] {
                return demo->standardError().find("Exporting out.mp4") != std::string::npos;
            })) << demo->standardError();
            demo->signal(c.signal);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            demo->signal(c.signal);
            break;
        }
        EXPECT_EQ(demo->waitExit(exitMs), c.status) << demo->standardError();
        EXPECT_TRUE(everythingEnded(*demo));
        EXPECT_FALSE(hasWindowNamed(server.display(), "Error"));
        EXPECT_EQ(demo->standardOutput().find("show time"), std::string::npos) << "a frame was drawn";
        for (const auto& entry : std::filesystem::directory_iterator(run.root))
            EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
    }
}

// A display switched to 800 x 600 for the show gets its desktop mode back however the program ends,
// with the status that way out has always had. Xvfb can't switch modes; Xorg's dummy driver can.
TEST(ShellEndToEnd, DesktopModeIsRestoredOnEveryWayOut) {
    struct Case {
        const char* how;
        std::map<std::string, std::string> environment;
        int status;
    };
    const Case cases[] = {
        {"Escape", {}, 0},
        {"SIGTERM", {}, 143},
        {"fatal report", {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_shading_language_100"}}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        XorgDummyServer server;
        if (server.display().empty())
            GTEST_SKIP() << "Xorg with its dummy video driver did not start (needs root)";
        ASSERT_EQ(screenSize(server.display()), std::make_pair(1024, 768));
        auto demo = startDemo(server.display(), c.environment);
        auto window = waitForWindow(server.display(), title, startMs);
        ASSERT_TRUE(window) << demo->standardError();
        EXPECT_EQ(screenSize(server.display()), std::make_pair(800, 600))
            << "the show did not switch the mode";
        if (c.status == 1) {
            auto box = waitForWindow(server.display(), "Error", startMs);
            ASSERT_TRUE(box) << demo->standardError();
            ASSERT_TRUE(sendKey(server.display(), box->id, "Return"));
        } else if (std::string(c.how) == "Escape") {
            ASSERT_TRUE(sendKey(server.display(), window->id, "Escape"));
        } else {
            demo->signal(SIGTERM);
        }
        // Escape waits for the loading to end: keys are read between frames.
        EXPECT_EQ(demo->waitExit(startUpMs), c.status) << demo->standardError();
        EXPECT_EQ(screenSize(server.display()), std::make_pair(1024, 768));
    }
}
