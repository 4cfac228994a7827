// The show through the GL route against the desktop's own GL, frame for frame: the same Mesa
// rasterises both, so every difference is the route's. They must agree within one level.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FrameCompare.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace {

// Every scene, a sequence row, the glow with the pulse, and the last moment.
const char* const times[] = {"2.0", "17.3", "21.0", "29.6", "39.0", "65.0", "109.0", "205.999"};

void render(const char* program, const std::string& folder) {
    std::vector<std::string> command = {std::string(LUMORAKKA_BUILD_DIR) + "/" + program, "--out", folder};
    command.insert(command.end(), std::begin(times), std::end(times));
    // Both off-screen (no DISPLAY): the desktop's GL and the route's GL ES 3 on one EGL platform.
    const CommandResult run = runCommand(command, LUMORAKKA_BUILD_DIR, {{"DISPLAY", ""}}, 240000);
    ASSERT_EQ(run.exitStatus, 0) << program << ": " << run.errors;
}

} // namespace

// A handful of pixels may land a level further where a rounding falls the other way through the
// glow's layers; none further than that.
TEST(RouteFramesTest, FramesMatchTheDesktopsWithinOneLevel) {
    TempDir scratch;
    render("render_frames", scratch.path + "/desktop");
    render("render_frames_route", scratch.path + "/route");
    for (size_t index = 0; index < std::size(times); ++index) {
        SCOPED_TRACE(std::string("show time ") + times[index]);
        char name[32];
        snprintf(name, sizeof name, "/frame%04zu.png", index);
        const FrameDifference difference =
            compareFrames(scratch.path + "/desktop" + name, scratch.path + "/route" + name, 1);
        ASSERT_TRUE(difference.comparable) << difference.problem;
        EXPECT_LE(difference.beyondTolerance, 10);
        EXPECT_LE(difference.largestDifference, 3);
    }
}
