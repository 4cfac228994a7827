// Where the picture lies on a window or video and how large its render targets are: a wrong bar
// shifts the show off centre, a wrong target size blurs it or changes the glow's look.
#include <gtest/gtest.h>

#include <vector>

#include "demo/Content.h"
#include "demo/FrameView.h"

TEST(FrameView, PictureIsTheLargestCentred4x3AreaWithBarsAroundIt) {
    const struct {
        int surfaceWidth, surfaceHeight, largestHeight;
        int x, y, width, height;
    } cases[] = {
        {800, 600, 1 << 30, 0, 0, 800, 600},       {1920, 1080, 1 << 30, 240, 0, 1440, 1080},
        {1280, 1024, 1 << 30, 0, 32, 1280, 960},   {1366, 768, 1 << 30, 171, 0, 1024, 768},
        {3840, 2160, 1 << 30, 480, 0, 2880, 2160}, {801, 600, 1 << 30, 0, 0, 800, 600},
        {1000, 701, 1 << 30, 32, 0, 935, 701},     {0, 0, 1 << 30, 0, 0, 1, 1}, // a window shrunk to nothing
        {1920, 1080, 540, 600, 270, 720, 540}, // a picture smaller than the surface, still centred
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.surfaceWidth << "x" << c.surfaceHeight << " " << c.largestHeight);
        const FrameView view = centredView(c.surfaceWidth, c.surfaceHeight, c.largestHeight);
        EXPECT_EQ(std::vector<int>({view.x, view.y, view.width, view.height}),
                  std::vector<int>({c.x, c.y, c.width, c.height}));
        EXPECT_EQ(view.coversSurface(), c.width == view.surfaceWidth && c.height == view.surfaceHeight);
    }
}

// At 800 x 600 the targets keep the sizes the show was made at; other pictures scale them, and a
// larger picture's scene gets a texel for each of its pixels.
TEST(FrameView, RenderTargetsScaleWithThePictureAndFitTheGL) {
    const struct {
        int width, height;
        TargetSize scene, glow, blur, largest;
    } cases[] = {
        {800, 600, {1024, 512}, {256, 128}, {256, 256}, {1024, 512}},
        {1440, 1080, {1440, 1080}, {461, 230}, {461, 461}, {1440, 1080}},
        {2880, 2160, {2880, 2160}, {922, 461}, {922, 922}, {2880, 2160}},
        {400, 300, {512, 256}, {128, 64}, {128, 128}, {512, 256}},
        {16, 12, {20, 10}, {5, 3}, {5, 5}, {20, 10}},
        {1, 1, {1, 1}, {1, 1}, {1, 1}, {1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        const FrameView view = {c.width, c.height, 0, 0, c.width, c.height};
        std::vector<int> sides, expected;
        for (const TargetSize& size :
             {renderTargetSize(renderTargets[0], view), renderTargetSize(renderTargets[3], view),
              renderTargetSize(renderTargets[4], view), largestRenderTarget(view)})
            sides.insert(sides.end(), {size.width, size.height});
        for (const TargetSize& size : {c.scene, c.glow, c.blur, c.largest})
            expected.insert(expected.end(), {size.width, size.height});
        EXPECT_EQ(sides, expected);
    }

    const FrameView uhd = centredView(3840, 2160);
    EXPECT_EQ(viewProblem(uhd, largestRenderTarget(uhd), {2880, 2880, 2160}), "");
    EXPECT_EQ(
        viewProblem(uhd, largestRenderTarget(uhd), {2048, 16384, 16384}),
        "a picture of 2880x2160 pixels needs render targets of 2880x2160 texels, and this GL makes them at "
        "most 2048 a side");
    EXPECT_EQ(viewProblem(uhd, largestRenderTarget(uhd), {16384, 2048, 2048}),
              "a picture of 2880x2160 pixels is larger than this GL draws at once (2048x2048)");
}
