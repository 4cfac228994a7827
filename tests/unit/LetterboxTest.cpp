#include <gtest/gtest.h>

#include "demo/Camera.h"

TEST(Letterbox, FitsAspectRatiosIntoThe800x600Window) {
    struct Case {
        float aspectWidth, aspectHeight;
        int x, y, width, height;
    } cases[] = {
        {4, 3, 0, 0, 800, 600},    {16, 9, 0, 75, 800, 450}, {3, 4, 175, 0, 450, 600},
        {5, 4, 0, -20, 800, 640}, // between 1 and 4:3 the viewport overhangs top and bottom
        {1, 1, 0, -100, 800, 800},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.aspectWidth << ":" << c.aspectHeight);
        Viewport view = letterboxViewport(c.aspectWidth, c.aspectHeight);
        EXPECT_EQ(view.x, c.x);
        EXPECT_EQ(view.y, c.y);
        EXPECT_EQ(view.width, c.width);
        EXPECT_EQ(view.height, c.height);
    }
}
