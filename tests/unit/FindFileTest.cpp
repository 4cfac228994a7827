#include <gtest/gtest.h>

#include "base/FindFile.h"
#include "support/FatalText.h"
#include "support/TempDir.h"

using ::testing::ExitedWithCode;

TEST(FindFile, PngIsPreferredOverJpegAndLaterCandidatesAreTried) {
    TempDir dir;
    dir.write("data/logo.png", "png");
    dir.write("data/logo.jpg", "jpg");
    dir.write("data/photo.jpg", "jpg");
    EXPECT_EQ(findFile("data", "logo", "png", "jpg"), "data/logo.png");
    EXPECT_EQ(findFile("data", "photo", "png", "jpg"), "data/photo.jpg");
}

TEST(FindFile, NamesAreUsedVerbatim) {
    TempDir dir;
    dir.write("data/sky_c03.jpg", "");
    dir.write("data/with blank/and slash.aml", "");
    dir.write("data/x.", "");
    EXPECT_EQ(findFile("data", "sky_c03", "png", "jpg"), "data/sky_c03.jpg");
    EXPECT_EQ(findFile("data", "with blank/and slash", "aml"), "data/with blank/and slash.aml");
    // A slot left empty before a filled one is a candidate ending in the dot.
    EXPECT_EQ(findFile("data", "x", "", "png"), "data/x.");
    // A trailing separator in the directory is kept: the separator is always added.
    EXPECT_EQ(findFile("data/", "x", "", "png"), "data//x.");
}

TEST(FindFile, NotFoundMessageListsEveryCountedExtension) {
    struct Case {
        const char* ext[8];
        const char* message;
    };
    const Case cases[] = {
        {{"", "", "", "", "", "", "", ""}, "Could not find file: \"data/x.{}\"!"},
        {{"png", "jpg", "", "", "", "", "", ""}, "Could not find file: \"data/x.{png jpg }\"!"},
        {{"aml", "", "", "", "", "", "", ""}, "Could not find file: \"data/x.{aml }\"!"},
        {{"png", "", "jpg", "", "", "", "", ""}, "Could not find file: \"data/x.{png  jpg }\"!"},
        {{"", "", "", "", "", "", "", "h"}, "Could not find file: \"data/x.{       h }\"!"},
        // Extensions reach the user as text, never as format directives.
        {{"%s%n", "%d", "", "", "", "", "", ""}, "Could not find file: \"data/x.{%s%n %d }\"!"},
    };
    TempDir dir;
    dir.write("data/readme.txt", "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EXIT(findFile("data", "x", c.ext[0], c.ext[1], c.ext[2], c.ext[3], c.ext[4], c.ext[5],
                             c.ext[6], c.ext[7]),
                    ExitedWithCode(1), literally(c.message));
    }
    EXPECT_EXIT(findFile("data", "100%s", "png"), ExitedWithCode(1),
                literally("Could not find file: \"data/100%s.{png }\"!"));
}
