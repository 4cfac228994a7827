// A FIFO, a directory or a device where an asset belongs: every loader must refuse it at once, as it
// refuses a missing file. Opening a FIFO for reading waits for a writer that never comes, so each
// test runs under an alarm that ends a blocked process, and with it the test.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>

#include "base/FindFile.h"
#include "base/RegularFile.h"
#include "geometry/ModelManager.h"
#include "geometry/SceneModel.h"
#include "gpu/MaterialManager.h"
#include "gpu/ShaderManager.h"
#include "gpu/TextureManager.h"
#include "image/Image.h"
#include "platform/Sound.h"
#include "support/AmlSamples.h"
#include "support/FatalText.h"
#include "support/TempDir.h"

using ::testing::ExitedWithCode;

namespace {

// Long enough for a loaded machine, short enough to fail well before the test's own timeout.
constexpr unsigned alarmSeconds = 20;

class SpecialFiles : public ::testing::Test {
protected:
    void SetUp() override { alarm(alarmSeconds); }
    void TearDown() override { alarm(0); }

    void makeFifo(const std::string& relativePath) {
        ASSERT_EQ(mkfifo((dir.path + "/" + relativePath).c_str(), 0600), 0) << relativePath;
    }

    TempDir dir;
};

} // namespace

TEST_F(SpecialFiles, LookupPassesOverAFifoOrADirectory) {
    makeFifo("data/logo.png");
    dir.write("data/logo.jpg", "jpg");
    EXPECT_EQ(findFile("data", "logo", "png", "jpg"), "data/logo.jpg");
    ASSERT_EQ(mkdir("data/box.png", 0700), 0);
    dir.write("data/box.jpg", "jpg");
    EXPECT_EQ(findFile("data", "box", "png", "jpg"), "data/box.jpg");
    makeFifo("data/x.aml");
    EXPECT_EXIT(findFile("data", "x", "aml"), ExitedWithCode(1),
                literally("Could not find file: \"data/x.{aml }\"!"));
}

// Each loader with a FIFO under the name it reads, and what it says.
TEST_F(SpecialFiles, EveryLoaderRefusesAFifoWithItsNotFoundReport) {
    makeFifo("data/x.aml");
    makeFifo("data/x.png");
    makeFifo("data/x.mat");
    struct Case {
        const char* name;
        std::function<void()> load;
        const char* says;
    };
    const Case cases[] = {
        {"model", [] { rovena::ModelManager().load("x"); }, "Could not find file: \"data/x.{aml }\"!"},
        {"scene model",
         [] {
             SceneModelTable table;
             loadSceneModel(table, "data/x.aml", "sisa", 0);
         },
         "File data/x.aml not found!"},
        {"picture texture", [] { rovena::TextureManager().load2D("x", -1, -1); },
         "Could not find file: \"data/x.{png jpg }\"!"},
        {"material file",
         [] {
             rovena::TextureManager textures;
             rovena::ShaderManager shaders;
             rovena::MaterialManager(textures, shaders).loadMaterialFile("m", "data/x.mat");
         },
         "Could not open material file 'data/x.mat'."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(c.load(), ExitedWithCode(1), literally(c.says));
    }
}

TEST_F(SpecialFiles, ReadersGiveUpOnAFifoWithoutWaiting) {
    makeFifo("data/x.png");
    makeFifo("data/x.jpg");
    makeFifo("data/x.vs");
    makeFifo("data/x.ogg");
    Image image;
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_png("data/x.png", &image, false), -1);
    EXPECT_EQ(read_jpeg("data/x.jpg", &image, false), -1);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("can't open data/x.png\n"), std::string::npos) << said;
    EXPECT_NE(said.find("can't open data/x.jpg\n"), std::string::npos) << said;
    EXPECT_EQ(std::unique_ptr<char[]>(readFileBytes("data/x.vs")), nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(FSOUND_Stream_Open("data/x.ogg", 0, 0, 0), nullptr);
    said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("data/x.ogg': not a regular file"), std::string::npos) << said;
}

// Writing into a FIFO nobody reads would wait as long; a captured frame must not hang the show.
TEST_F(SpecialFiles, PictureWriterRefusesAFifo) {
    makeFifo("shot.png");
    unsigned char pixel[3] = {1, 2, 3};
    Image image{1, 1, 3, 3, 3, pixel};
    testing::internal::CaptureStderr();
    write_png("shot.png", image);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("can't open shot.png"), std::string::npos) << said;
    struct stat info;
    ASSERT_EQ(stat("shot.png", &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(SpecialFiles, OpenerSaysWhyAndStillOpensRegularFiles) {
    std::string reason;
    EXPECT_EQ(openRegularFile("data/none", &reason), nullptr);
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_EQ(openRegularFile("/dev/zero", &reason), nullptr);
    EXPECT_EQ(reason, "not a regular file");
    dir.write("data/plain", "text");
    FILE* file = openRegularFile("data/plain", &reason);
    ASSERT_NE(file, nullptr);
    char text[8] = {};
    EXPECT_EQ(fread(text, 1, sizeof text, file), 4u);
    EXPECT_STREQ(text, "text");
    fclose(file);
}
