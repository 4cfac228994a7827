// The export's arithmetic: where the picture sits in the video, how many frames a stretch of the
// show makes, and the progress texts.
#include <gtest/gtest.h>

#include "platform/export/VideoFile.h"
#include "shell/desktop/CommandLine.h"
#include "shell/export/ExportProgress.h"

TEST(ExportLayout, PictureIsCentredAtItsAspectWithEvenEdges) {
    const struct {
        int videoWidth, videoHeight;
        int x, y, width, height;
    } cases[] = {
        {800, 600, 0, 0, 800, 600},      {1600, 1200, 0, 0, 1600, 1200}, {1920, 1080, 240, 0, 1440, 1080},
        {1280, 720, 160, 0, 960, 720},   {640, 360, 80, 0, 480, 360},    {800, 800, 0, 100, 800, 600},
        {1080, 1920, 0, 554, 1080, 810}, // portrait: bars above and below, edges kept even
        {854, 480, 106, 0, 640, 480},    {16, 16, 0, 2, 16, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.videoWidth << "x" << c.videoHeight);
        const PictureArea area = fitPicture(c.videoWidth, c.videoHeight, 800, 600);
        EXPECT_EQ(area.x, c.x);
        EXPECT_EQ(area.y, c.y);
        EXPECT_EQ(area.width, c.width);
        EXPECT_EQ(area.height, c.height);
        EXPECT_LE(area.x + area.width, c.videoWidth);
        EXPECT_LE(area.y + area.height, c.videoHeight);
    }
}

// One frame too many runs the show into its end; one too few loses the last picture.
TEST(ExportLayout, FrameCountCoversTheStretchWithoutPassingItsEnd) {
    const struct {
        double start, end;
        int fps;
        long frames;
    } cases[] = {
        {0, 206, 60, 12360}, {0, 206, 30, 6180},   {0, 206, 24, 4944}, {30.5, 34, 30, 105},
        {0, 0.01, 60, 1},    {205.99, 206, 60, 1}, {0, 1.0 / 3, 3, 1}, {0.1, 0.3, 10, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " to " << c.end << " at " << c.fps);
        ExportSettings settings;
        settings.startSeconds = c.start;
        settings.endSeconds = c.end;
        settings.framesPerSecond = c.fps;
        EXPECT_EQ(exportFrameCount(settings), c.frames);
    }
}

TEST(ExportLayout, ProgressTextsReadAsTimesSizesAndABar) {
    EXPECT_EQ(progressLine(0, 12360, 0), "[........................]   0%  0/12360 frames  -- fps  -- left");
    EXPECT_EQ(progressLine(6180, 12360, 300),
              "[############............]  50%  6180/12360 frames  20.6 fps  5:00 left");
    EXPECT_EQ(progressLine(12360, 12360, 600),
              "[########################] 100%  12360/12360 frames  20.6 fps  0:00 left");

    const struct {
        double seconds;
        const char* text;
    } durations[] = {{0, "0:00"},   {9.4, "0:09"},     {59.6, "1:00"},
                     {245, "4:05"}, {3723, "1:02:03"}, {-3, "0:00"}};
    for (const auto& d : durations) EXPECT_EQ(durationText(d.seconds), d.text) << d.seconds;

    const struct {
        long long bytes;
        const char* text;
    } sizes[] = {{0, "0 bytes"},
                 {999, "999 bytes"},
                 {12000, "12.0 kB"},
                 {345600000, "345.6 MB"},
                 {1200000000, "1.20 GB"}};
    for (const auto& s : sizes) EXPECT_EQ(sizeText(s.bytes), s.text) << s.bytes;
}
