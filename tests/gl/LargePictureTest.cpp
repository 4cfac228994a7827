// The show drawn at 1440 x 1080 is the 800 x 600 picture with more detail: averaged down to 800 x 600
// it is the same picture. A glow whose reach doesn't follow the targets, a picture drawn off its
// place or stretched, or a scene target left at its 800 x 600 size would each show here.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image/Image.h"
#include "support/Process.h"
#include "support/TempDir.h"

#ifndef LUMORAKKA_RENDER_FRAMES
#define LUMORAKKA_RENDER_FRAMES LUMORAKKA_BUILD_DIR "/render_frames"
#endif

namespace {

// One channel of a picture as doubles, rows from the top.
std::vector<double> channel(const Image& picture, int c) {
    std::vector<double> values(static_cast<size_t>(picture.width) * picture.height);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            values[y * picture.width + x] = picture.pixels[y * picture.rowBytes + x * picture.channels + c];
    return values;
}

// Each output sample is the mean of the input over its share of the line, fractions of samples
// included: an area average along the rows (each of `lines` rows of `from` samples) or the columns.
std::vector<double> averageDown(const std::vector<double>& in, int from, int to, int lines, bool alongRows) {
    std::vector<double> out(static_cast<size_t>(to) * lines, 0);
    const double step = static_cast<double>(from) / to;
    for (int line = 0; line < lines; ++line)
        for (int i = 0; i < to; ++i) {
            double sum = 0;
            for (int j = static_cast<int>(i * step); j < from && j < (i + 1) * step; ++j) {
                const double weight = std::fmin(j + 1, (i + 1) * step) - std::fmax(j, i * step);
                sum += weight * in[alongRows ? line * from + j : j * lines + line];
            }
            out[alongRows ? line * to + i : i * lines + line] = sum / step;
        }
    return out;
}

} // namespace

TEST(LargePictureTest, PictureAt1440x1080AveragedDownIsThe800x600Picture) {
    TempDir scratch;
    const std::vector<std::string> times = {"2.0", "25.0", "65.358"}; // figure, metaballs, a sequence beat
    for (const std::string size : {"800x600", "1440x1080"}) {
        std::vector<std::string> command = {LUMORAKKA_RENDER_FRAMES, "--size", size, "--out",
                                            scratch.path + "/" + size};
        command.insert(command.end(), times.begin(), times.end());
        const CommandResult run = runCommand(command, LUMORAKKA_BUILD_DIR, {}, 240000);
        ASSERT_EQ(run.exitStatus, 0) << run.errors;
    }
    for (size_t i = 0; i < times.size(); ++i) {
        SCOPED_TRACE(times[i]);
        const std::string name = "/frame000" + std::to_string(i) + ".png";
        Image small = {}, large = {};
        ASSERT_EQ(read_png((scratch.path + "/800x600" + name).c_str(), &small, false), 0);
        ASSERT_EQ(read_png((scratch.path + "/1440x1080" + name).c_str(), &large, false), 0);
        ASSERT_EQ(large.width, 1440);
        ASSERT_EQ(large.height, 1080);
        double squares = 0;
        for (int c = 0; c < 3; ++c) {
            const std::vector<double> reduced =
                averageDown(averageDown(channel(large, c), 1440, 800, 1080, true), 1080, 600, 800, false);
            const std::vector<double> reference = channel(small, c);
            for (size_t p = 0; p < reference.size(); ++p) squares += std::pow(reduced[p] - reference[p], 2);
        }
        const double psnr = 10 * std::log10(255.0 * 255.0 / (squares / (800 * 600 * 3)));
        EXPECT_GE(psnr, 30.0);
        delete[] small.pixels;
        delete[] large.pixels;
    }
}
