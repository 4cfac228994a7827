// Where review_show finds the show's light (tools/review/LightReview.h): a fault in these regions
// would report any picture as framing its subject.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "image/Image.h"
#include "review/LightReview.h"

namespace {

// A grey frame whose luma at each pixel is `luma(x, y)`.
struct GreyFrame {
    std::vector<unsigned char> pixels;
    Image image;
    GreyFrame(int width, int height, const std::function<int(int, int)>& luma)
        : pixels(static_cast<size_t>(width) * height * 3) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c) pixels[(static_cast<size_t>(y) * width + x) * 3 + c] = luma(x, y);
        image = {width, height, 3, 3, width * 3, pixels.data()};
    }
};

} // namespace

// The ellipse has the frame's proportions and its share of the frame, whatever the frame's size.
TEST(LightReviewTest, TheCentralEllipseCoversItsShareOfAnyFrame) {
    for (auto [width, height] : {std::pair{800, 600}, {1024, 512}, {512, 512}, {101, 77}}) {
        long inside = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) inside += inCentralEllipse(x, y, width, height);
        EXPECT_NEAR(static_cast<double>(inside) / (width * height), centralEllipseShare, 0.005) << width;
        // Its half-axes are 0.2985 of the width and of the height.
        EXPECT_TRUE(inCentralEllipse(width / 2 + width * 29 / 100, height / 2, width, height)) << width;
        EXPECT_FALSE(inCentralEllipse(width / 2 + width * 31 / 100, height / 2, width, height)) << width;
        EXPECT_TRUE(inCentralEllipse(width / 2, height / 2 - height * 29 / 100, width, height)) << width;
        EXPECT_FALSE(inCentralEllipse(width / 2, height / 2 - height * 31 / 100, width, height)) << width;
    }
}

TEST(LightReviewTest, LightIsCountedWhereItFalls) {
    const int w = 80, h = 60;
    auto middle = [&](int x, int y) { return x >= w * 2 / 5 && x < w * 3 / 5 && y >= h * 2 / 5 && y < h * 3 / 5; };
    const GreyFrame before(w, h, [](int, int) { return 20; });
    // A beat that adds light only in the middle, only in a corner, and evenly.
    const GreyFrame middleLit(w, h, [&](int x, int y) { return middle(x, y) ? 90 : 20; });
    const GreyFrame cornerLit(w, h, [&](int x, int y) { return x < 8 && y < 8 ? 90 : 20; });
    const GreyFrame evenLit(w, h, [](int, int) { return 50; });
    const AddedLight inMiddle = measureAddedLight(before.image, middleLit.image);
    EXPECT_DOUBLE_EQ(inMiddle.total, 70.0 * (w / 5) * (h / 5));
    EXPECT_DOUBLE_EQ(inMiddle.inside, inMiddle.total);
    EXPECT_EQ(measureAddedLight(before.image, cornerLit.image).inside, 0);
    const AddedLight even = measureAddedLight(before.image, evenLit.image);
    EXPECT_NEAR(even.inside / even.total, centralEllipseShare, 0.01);
    EXPECT_DOUBLE_EQ(middleMedianLuma(middleLit.image), 90);
    EXPECT_DOUBLE_EQ(middleMedianLuma(cornerLit.image), 20);
    // The emblem's pictures: black but for the lit parts.
    const GreyFrame middleOnly(w, h, [&](int x, int y) { return middle(x, y) ? 90 : 0; });
    const GreyFrame cornerOnly(w, h, [&](int x, int y) { return x < 8 && y < 8 ? 90 : 0; });
    EXPECT_DOUBLE_EQ(centralShareOfPicture(middleOnly.image), 1.0);
    EXPECT_DOUBLE_EQ(centralShareOfPicture(cornerOnly.image), 0.0);
    EXPECT_NEAR(centralShareOfPicture(evenLit.image), centralEllipseShare, 0.01);
}

// The subject is what the blacked-out frame still shows; the sky outside the ellipse is the rest
// of the frame outside it, not the subject's edge nor the halo inside it.
TEST(LightReviewTest, TheSkyOutsideTheEllipseLeavesOutTheSubjectAndTheMiddle) {
    const int w = 80, h = 60;
    auto subject = [&](int x, int y) { return x >= 30 && x < 50 && y >= 10 && y < 58; };
    const GreyFrame mask(w, h, [&](int x, int y) { return subject(x, y) ? 120 : 0; });
    const GreyFrame full(w, h, [&](int x, int y) {
        return subject(x, y) ? 150 : inCentralEllipse(x, y, w, h) ? 100 : (x + y) % 2 ? 12 : 16;
    });
    const LightLayout layout = measureLightLayout(mask.image, full.image);
    EXPECT_TRUE(layout.hasSubject);
    EXPECT_DOUBLE_EQ(layout.subjectLuma, 150);
    EXPECT_GE(layout.skyOutsideMedian, 12);
    EXPECT_LE(layout.skyOutsideMedian, 16);
    EXPECT_GT(layout.ellipseOverRest(), 3);
    EXPECT_LT(layout.skyLuma, 100);
}
