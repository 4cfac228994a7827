// The measures of how the materials read (tools/review/LookReview.h), over made-up frames: a fault
// in them would report a crawling outline as clean, or a flat silhouette as structured.
#include <gtest/gtest.h>

#include <vector>

#include "image/Image.h"
#include "review/LookReview.h"

namespace {

// An RGB frame of one colour, with pixels set on top of it; it owns its bytes.
struct Frame {
    Frame(int width, int height, unsigned char grey) : bytes(static_cast<size_t>(width) * height * 3, grey) {
        image = {width, height, 3, 3, width * 3, bytes.data()};
    }
    void set(int x, int y, unsigned char r, unsigned char g, unsigned char b) {
        unsigned char* p = &bytes[(static_cast<size_t>(y) * image.width + x) * 3];
        p[0] = r, p[1] = g, p[2] = b;
    }
    std::vector<unsigned char> bytes;
    Image image;
};

} // namespace

TEST(LookReviewTest, SpecklesAreSinglePixelsInsideTheSubject) {
    struct Case {
        const char* what;
        int x, y;            // the odd pixel in a 7 x 7 frame of luma 120, all subject
        unsigned char level; // its grey
        int skyX, skyY;      // a pixel left out of the subject, or -1
        bool pair;           // its right-hand neighbour is as dark
        int speckles;
    } cases[] = {
        {"a dark dot", 3, 3, 40, -1, -1, false, 1},
        {"a bright dot", 3, 3, 200, -1, -1, false, 1},
        {"a dot within the margin", 3, 3, 85, -1, -1, false, 0},
        {"a dot beside the sky", 3, 3, 40, 4, 4, false, 0},
        {"two dots side by side", 3, 3, 40, -1, -1, true, 0},
        {"a dot on the frame's edge", 0, 3, 40, -1, -1, false, 0},
    };
    for (const Case& c : cases) {
        Frame full(7, 7, 120), mask(7, 7, 60);
        full.set(c.x, c.y, c.level, c.level, c.level);
        if (c.pair) full.set(c.x + 1, c.y, c.level, c.level, c.level);
        if (c.skyX >= 0) mask.set(c.skyX, c.skyY, 0, 0, 0);
        EXPECT_EQ(isolatedSpeckles(mask.image, full.image), c.speckles) << c.what;
    }
}

// Only the subject's pixels count: a white sky must not make a dark stone light or a red one grey.
TEST(LookReviewTest, SubjectLookIgnoresTheSky) {
    Frame full(4, 2, 255), mask(4, 2, 0);
    for (int x = 0; x < 3; ++x) {
        full.set(x, 0, 200, 0, 0);
        mask.set(x, 0, 80, 80, 80);
    }
    full.set(3, 0, 100, 100, 100);
    mask.set(3, 0, 80, 80, 80);
    const SubjectLook look = measureSubjectLook(mask.image, full.image);
    EXPECT_EQ(look.pixels, 4);
    // Lumas 60, 60, 60 and 100.
    EXPECT_NEAR(look.meanLuma, 70.0, 1e-9);
    EXPECT_NEAR(look.lumaSpread, 17.320508 / 70.0, 1e-6);
    EXPECT_NEAR(look.medianSaturation, 1.0, 1e-9);
}
