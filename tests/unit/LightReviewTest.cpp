// Where review_show finds the show's light (tools/review/LightReview.h): a fault in these regions
// would report any picture as framing its subject; and the blacked-out data it finds the subject
// with, whose sky must draw nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "image/Image.h"
#include "review/LightReview.h"
#include "review/ShowReview.h"
#include "support/TempDir.h"

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
    EXPECT_NEAR(layout.skyOutsideMean, 14, 0.1);
    EXPECT_GT(layout.ellipseOverRest(), 3);
    EXPECT_LT(layout.skyLuma, 100);
}

namespace {

// A square face of `size` texels, as the sky's faces are stored (the square root of what is shown).
std::vector<unsigned char> face(int size, const std::function<unsigned char(double)>& storedAtRadius) {
    std::vector<unsigned char> pixels(static_cast<size_t>(size) * size * 3);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double r = std::hypot(x + 0.5 - size / 2.0, y + 0.5 - size / 2.0);
            for (int c = 0; c < 3; ++c) pixels[(static_cast<size_t>(y) * size + x) * 3 + c] = storedAtRadius(r);
        }
    return pixels;
}

void writeFace(const std::string& path, std::vector<unsigned char>& pixels, int size) {
    ASSERT_EQ(write_png(path.c_str(), Image{size, size, 3, 3, size * 3, pixels.data()}), 0) << path;
}

} // namespace

// A disc in the middle of the +Y face: 0.09 rad is 2.9 texels from its middle, 2 radii 5.8, the ring
// round it is lit less, and the sky shows the square of what the faces hold.
TEST(LightReviewTest, SkyDiscsAreMeasuredAsTheSkyShowsThem) {
    TempDir dir;
    const int size = 64;
    for (int f = 0; f < 6; ++f) {
        std::vector<unsigned char> pixels = face(size, [&](double r) -> unsigned char {
            if (f != 2) return 40;
            return r < 3 ? 250 : r > 3.3 && r < 6.5 ? 120 : 40;
        });
        writeFace(dir.path + "/data/sky_c0" + std::to_string(f) + ".png", pixels, size);
    }
    const float up[3] = {0, 1, 0}, down[3] = {0, -1, 0};
    DiscLight lit, dark;
    std::string reason;
    ASSERT_TRUE(measureSkyDisc(dir.path + "/data", "sky", up, 0.09f, lit, reason)) << reason;
    EXPECT_NEAR(lit.disc, 245, 1);
    EXPECT_NEAR(lit.ring, 56, 1);
    ASSERT_TRUE(measureSkyDisc(dir.path + "/data", "sky", down, 0.09f, dark, reason)) << reason;
    EXPECT_NEAR(dark.disc, 6, 1);
    EXPECT_FALSE(measureSkyDisc(dir.path + "/data", "cloud", up, 0.09f, dark, reason));
    EXPECT_NE(reason.find("cloud"), std::string::npos) << reason;
}

// The blacked-out data is made of links into the real data: its black sky and emblem must be new
// files, never written through a link into the real ones, also when it is made a second time.
TEST(LightReviewTest, BlackedOutDataDrawsTheSkyBlackAndLeavesTheRealDataAlone) {
    TempDir dir;
    const int size = 8;
    std::vector<unsigned char> grey(size * size * 3, 100);
    for (const char* name : {"nyrkki", "kivikko_c00", "kivikko_c01", "kivikko_c02", "kivikko_c03", "kivikko_c04",
                             "kivikko_c05"})
        writeFace(dir.path + "/data/" + name + ".png", grey, size);
    dir.write("data/materials/skybox.mat", "the real sky");
    dir.write("data/materials/marble.mat", "marble");
    std::string reason;
    for (int run = 0; run < 2; ++run)
        ASSERT_TRUE(makeBlackedOutData(dir.path + "/data", dir.path + "/out", reason)) << "run " << run << reason;
    const auto text = [](const std::string& path) {
        std::ifstream file(path);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    EXPECT_EQ(text(dir.path + "/data/materials/skybox.mat"), "the real sky");
    EXPECT_NE(text(dir.path + "/out/data/materials/skybox.mat").find("vec4(0.0, 0.0, 0.0, 1.0)"), std::string::npos);
    EXPECT_EQ(text(dir.path + "/out/data/materials/marble.mat"), "marble");
    for (const char* folder : {"/data/", "/out/data/"}) {
        Image emblem = {};
        ASSERT_EQ(load_image((dir.path + folder + "nyrkki.png").c_str(), &emblem, false), 0) << folder;
        EXPECT_EQ(emblem.pixels[0], std::string(folder) == "/data/" ? 100 : 0) << folder;
        delete[] emblem.pixels;
    }
}
