// The program's options as a user meets them: what it prints, how it ends.
#include <gtest/gtest.h>

#include <string>

#include "support/Process.h"
#include "support/TempDir.h"

namespace {
const std::string program = LUMORAKKA_BUILD_DIR "/lumorakka";

TEST(Options, HelpVersionAndMistakesAnswerWithoutADisplay) {
    const std::string renderer = LUMORAKKA_BUILD_DIR "/render_frames";
    const struct {
        const std::string& program;
        std::vector<std::string> arguments;
        int status;
        const char* output;
        const char* errors;
    } cases[] = {
        {program, {"--help"}, 0, "usage: lumorakka", ""},
        {program, {"--version"}, 0, "lumorakka ", ""},
        {program, {"--fullscreen"}, 2, "", "lumorakka: unknown option '--fullscreen'\nusage: lumorakka"},
        {program, {"--export", "x.mp4", "--fps", "0"}, 2, "", "--fps needs a whole number"},
        // Work its arguments can't bound is refused before it starts, not left to run out of memory.
        {renderer, {"--range", "0", "206", "1e8"}, 2, "",
         "--range 0 206 1e8 asks for 20600000000 frames; one run draws at most 206000"},
        {renderer, {"--range", "0", "1e300", "1e300"}, 2, "", "one run draws at most 206000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[0]);
        std::vector<std::string> argv = {c.program};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        // No DISPLAY: none of these may need one.
        const CommandResult run = runCommand(argv, LUMORAKKA_BUILD_DIR, {{"DISPLAY", ""}});
        EXPECT_EQ(run.exitStatus, c.status) << run.errors;
        EXPECT_NE(run.output.find(c.output), std::string::npos) << run.output;
        EXPECT_NE(run.errors.find(c.errors), std::string::npos) << run.errors;
    }
}

// The usage and the version are the whole answer: one that can't be written (a full disk, a closed
// descriptor) is an error, not success.
TEST(Options, HelpAndVersionThatCannotBeWrittenFail) {
    // A full disk, a closed descriptor, and a file-size limit that the 900-byte usage passes (its
    // standard error, a file here too, takes the message).
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"--help", "exec \"$0\" \"$1\" >/dev/full"},    {"--version", "exec \"$0\" \"$1\" >/dev/full"},
        {"--help", "exec \"$0\" \"$1\" >&-"},           {"--version", "exec \"$0\" \"$1\" >&-"},
        {"--help", "ulimit -f 1; exec \"$0\" \"$1\" >out.txt"},
    };
    for (const auto& [option, command] : cases) {
        SCOPED_TRACE(std::string(option) + ": " + command);
        TempDir scratch;
        const CommandResult run = runCommand({"/bin/sh", "-c", command, program, option}, scratch.path, {{"DISPLAY", ""}});
        EXPECT_EQ(run.exitStatus, 1) << run.errors;
        EXPECT_NE(run.errors.find("lumorakka: cannot write the"), std::string::npos) << run.errors;
    }
}

// A display that can't switch to 800x600 would hold the start-up on the mode box; --windowed skips
// it. Started 3 s before the end, the show ends by itself soon after the start-up.
TEST(Options, WindowedStartNearTheEndSkipsTheModeBoxAndEndsWithTheShow) {
    XvfbServer server(1024, 768);
    ASSERT_FALSE(server.display().empty());
    const CommandResult run =
        runCommand({program, "--windowed", "--start", "203"}, LUMORAKKA_BUILD_DIR,
                   {{"DISPLAY", server.display()}, {"SDL_AUDIODRIVER", "dummy"}}, 150000);
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.errors.find("Mode Switch Failed"), std::string::npos) << run.errors;
}

} // namespace
