// Reading an asset takes no more memory or time than any real one needs, whatever the file's size:
// a text asset far too long to be one is refused by name before it is read, and whatever follows
// the music's last Ogg page is passed over in one read, or refused by name when it is longer than
// anything a tag or a cut-off copy leaves there.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/RegularFile.h"
#include "gpu/MaterialManager.h"
#include "gpu/ShaderManager.h"
#include "gpu/TextureManager.h"
#include "platform/export/MusicFile.h"
#include "support/FatalText.h"
#include "support/OggWriter.h"
#include "support/TempDir.h"

namespace {

// Frames of music from where the file was opened to its end; -1 when it would not open.
long framesOfMusic(const std::string& path, std::string& error) {
    MusicFile music;
    if (!music.open(path, error)) return -1;
    std::vector<int16_t> chunk(4096 * static_cast<size_t>(music.channels()));
    long frames = 0;
    for (int got; (got = music.read(chunk.data(), 4096)) > 0;) frames += got;
    return frames;
}

} // namespace

TEST(BoundedReads, HugeTextAssetsAreRefusedByNameAndLongMusicTailsAreSkippedOrRefused) {
    TempDir dir;
    const struct {
        const char* file;
        long long size; // bytes, the end of it a hole
        std::function<void()> read;
        const char* says;
    } textAssets[] = {
        {"data/x.vs", 2147483648LL, [] { rovena::ShaderManager::readText("data/x.vs"); },
         "Shader file 'data/x.vs' is 2147483648 bytes long; at most 1048576 are read."},
        {"data/x.mat", 3221225472LL,
         [] {
             rovena::TextureManager textures;
             rovena::ShaderManager shaders;
             rovena::MaterialManager(textures, shaders).loadMaterialFile("m", "data/x.mat");
         },
         "Material file 'data/x.mat' is 3221225472 bytes long; at most 1048576 are read."},
    };
    for (const auto& c : textAssets) {
        SCOPED_TRACE(c.file);
        dir.write(c.file, "%VERTEX_SHADER\nvoid main() {}\n");
        ASSERT_EQ(truncate(c.file, c.size), 0);
        EXPECT_EXIT(c.read(), testing::ExitedWithCode(1), literally(c.says));
    }

    // Two seconds of music, then zeros: a little is left out, too much is refused at once.
    const std::string music = "data/m.ogg";
    ASSERT_TRUE(writeOggVorbis(music, sineSamples(2, 440, 2, 44100), 2, 44100));
    std::string error;
    const long whole = framesOfMusic(music, error);
    ASSERT_EQ(whole, 88200) << error;
    const long long oggBytes = static_cast<long long>(std::filesystem::file_size(music));
    const struct {
        long long zeros;
        long frames;
        const char* says;
    } tails[] = {
        {8 << 20, whole, ""},
        {100 << 20, -1, "Cannot read the music data/m.ogg: no Ogg page ends within its last 16 MB"},
    };
    for (const auto& c : tails) {
        SCOPED_TRACE(c.zeros);
        ASSERT_EQ(truncate(music.c_str(), oggBytes + c.zeros), 0);
        error.clear();
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(framesOfMusic(music, error), c.frames);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 10.0);
        EXPECT_EQ(error.find(c.says), 0u) << error;
    }
}

// The whole-file reader keeps a file of exactly the limit and refuses one byte more, naming its
// length, without keeping any of it.
TEST(BoundedReads, WholeFileReaderTakesUpToItsLimitAndSaysWhyNot) {
    TempDir dir;
    dir.write("data/a.bin", std::string(4096 * 3 + 7, 'a'));
    dir.write("data/b.bin", std::string(4096 * 3 + 8, 'b'));
    const size_t limit = 4096 * 3 + 7;
    struct Case {
        const char* path;
        FileRead read;
        size_t bytes;
        const char* says;
    } cases[] = {
        {"data/a.bin", FileRead::whole, limit, "was read whole"},
        {"data/b.bin", FileRead::tooLong, 0, "is 12296 bytes long; at most 12295 are read"},
        {"data/none.bin", FileRead::unopenable, 0, "can't be opened"},
        {"data", FileRead::unopenable, 0, "can't be opened"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string bytes = "left over";
        long long length = -1;
        const FileRead read = readWholeFile(c.path, limit, bytes, &length);
        EXPECT_EQ(read, c.read);
        EXPECT_EQ(bytes.size(), c.bytes);
        EXPECT_EQ(describeFileRead(read, limit, length), c.says);
    }
}
