#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/desktop/CommandLine.h"

namespace {

CommandLine parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "lumorakka");
    return parseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

using Action = CommandLine::Action;

TEST(CommandLine, NoArgumentsIsTheShowAsAlways) {
    const CommandLine line = parse({});
    EXPECT_EQ(line.action, Action::show);
    EXPECT_FALSE(line.windowed);
    EXPECT_EQ(line.startSeconds, 0);
}

TEST(CommandLine, ReadsEveryOptionInBothSpellings) {
    const struct {
        std::vector<const char*> arguments;
        Action action;
        bool windowed;
        double startSeconds;
        std::string path;
        int fps, width, height;
        double exportStart, exportEnd;
    } cases[] = {
        {{"--windowed"}, Action::show, true, 0, "", 60, 800, 600, 0, 206},
        {{"--start", "12.5"}, Action::show, false, 12.5, "", 60, 800, 600, 0, 206},
        {{"--start=100", "--windowed"}, Action::show, true, 100, "", 60, 800, 600, 0, 206},
        {{"--desktop", "--start", "3"}, Action::show, false, 3, "", 60, 800, 600, 0, 206},
        {{"--export", "show.mp4"}, Action::exportVideo, false, 0, "show.mp4", 60, 800, 600, 0, 206},
        {{"--export=a b.mp4", "--fps", "30", "--size=1920x1080"},
         Action::exportVideo,
         false,
         0,
         "a b.mp4",
         30,
         1920,
         1080,
         0,
         206},
        {{"--fps=24", "--export", "x.mp4", "--start", "30", "--end=40"},
         Action::exportVideo,
         false,
         30,
         "x.mp4",
         24,
         800,
         600,
         30,
         40},
        {{"--help"}, Action::help, false, 0, "", 60, 800, 600, 0, 206},
        {{"-h"}, Action::help, false, 0, "", 60, 800, 600, 0, 206},
        {{"--version"}, Action::version, false, 0, "", 60, 800, 600, 0, 206},
        // --help and --version answer before anything after them is looked at.
        {{"--version", "--bogus"}, Action::version, false, 0, "", 60, 800, 600, 0, 206},
        {{"--windowed", "--help", "--fps"}, Action::help, true, 0, "", 60, 800, 600, 0, 206},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const char* a : c.arguments) joined += std::string(a) + " ";
        SCOPED_TRACE(joined);
        const CommandLine line = parse(c.arguments);
        ASSERT_EQ(line.action, c.action) << line.error;
        EXPECT_EQ(line.windowed, c.windowed);
        EXPECT_EQ(line.desktop, joined.find("--desktop") != std::string::npos);
        EXPECT_EQ(line.startSeconds, c.startSeconds);
        if (c.action != Action::exportVideo) continue;
        EXPECT_EQ(line.exportSettings.path, c.path);
        EXPECT_EQ(line.exportSettings.framesPerSecond, c.fps);
        EXPECT_EQ(line.exportSettings.width, c.width);
        EXPECT_EQ(line.exportSettings.height, c.height);
        EXPECT_EQ(line.exportSettings.startSeconds, c.exportStart);
        EXPECT_EQ(line.exportSettings.endSeconds, c.exportEnd);
    }
}

// Anything the program can't act on exactly as written is refused with a reason, never guessed at.
TEST(CommandLine, RefusesWhatItCannotActOnWithAReason) {
    const struct {
        std::vector<const char*> arguments;
        const char* reason;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-w"}, "unknown option '-w'"},
        {{"show.mp4"}, "unexpected argument 'show.mp4'"},
        {{"--start"}, "--start needs a value"},
        {{"--start", "soon"}, "--start needs a time in seconds, not 'soon'"},
        {{"--start", "12s"}, "not '12s'"},
        {{"--start", "nan"}, "not 'nan'"},
        {{"--start", "-1"}, "--start needs a time from 0 up to the end of the show, 206 s"},
        {{"--start", "206"}, "up to the end of the show"},
        {{"--windowed=yes"}, "--windowed takes no value"},
        {{"--desktop=1"}, "--desktop takes no value"},
        {{"--desktop", "--windowed"}, "--desktop plays the show full screen; it doesn't go with --windowed"},
        {{"--export", "x.mp4", "--desktop"},
         "--desktop plays the show full screen; it doesn't go with --export"},
        {{"--export"}, "--export needs a value"},
        {{"--export="}, "--export needs a file name"},
        {{"--fps", "30"}, "--fps only goes with --export"},
        {{"--size", "640x480"}, "--size only goes with --export"},
        {{"--end", "10"}, "--end only goes with --export"},
        {{"--export", "x.mp4", "--fps", "0"},
         "--fps needs a whole number of frames per second from 1 to 240"},
        {{"--export", "x.mp4", "--fps", "29.97"}, "not '29.97'"},
        {{"--export", "x.mp4", "--fps", "-5"}, "not '-5'"},
        {{"--export", "x.mp4", "--fps", "99999999999999999999"}, "from 1 to 240"},
        {{"--export", "x.mp4", "--size", "641x480"}, "--size needs WIDTHxHEIGHT in even pixels"},
        {{"--export", "x.mp4", "--size", "640"}, "not '640'"},
        {{"--export", "x.mp4", "--size", "640x"}, "not '640x'"},
        {{"--export", "x.mp4", "--size", "8x8"}, "from 16 to 8192"},
        {{"--export", "x.mp4", "--size", "16384x8192"}, "from 16 to 8192"},
        {{"--bitrate", "8"}, "--bitrate only goes with --export"},
        {{"--export", "x.mp4", "--bitrate", "0"}, "--bitrate needs a whole number of Mbit/s from 1 to 100"},
        {{"--export", "x.mp4", "--bitrate", "6.5"}, "not '6.5'"},
        {{"--export", "x.mp4", "--bitrate=101"}, "from 1 to 100"},
        {{"--export", "x.mp4", "--end", "300"}, "--end needs a time after --start and no later than 206 s"},
        {{"--export", "x.mp4", "--start", "50", "--end", "40"}, "--end needs a time after --start"},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const char* a : c.arguments) joined += std::string(a) + " ";
        SCOPED_TRACE(joined);
        const CommandLine line = parse(c.arguments);
        EXPECT_EQ(line.action, Action::usageError);
        EXPECT_NE(line.error.find(c.reason), std::string::npos) << line.error;
    }
}

TEST(CommandLine, BitrateIsConstantQualityUnlessGiven) {
    EXPECT_EQ(parse({"--export", "x.mp4"}).exportSettings.videoMbits, 0);
    EXPECT_EQ(parse({"--export", "x.mp4", "--bitrate", "8"}).exportSettings.videoMbits, 8);
}

TEST(CommandLine, UsageNamesEveryOption) {
    const std::string usage = usageText();
    for (const char* option : {"--windowed", "--desktop", "--start", "--export", "--fps", "--size", "--bitrate", "--end",
                               "--help", "--version"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

} // namespace
