#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <png.h>
#include <sys/resource.h>
#include <string>
#include <vector>

#include "image/Image.h"
#include "support/TempDir.h"
#include "support/TestPictures.h"

namespace {

// Byte i of the picture: distinct across rows, so a row in the wrong place shows.
std::vector<unsigned char> pattern(int width, int height, int channels) {
    std::vector<unsigned char> bytes(static_cast<size_t>(width) * height * channels);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    return bytes;
}

Image imageOver(std::vector<unsigned char>& bytes, int width, int height, int channels) {
    return Image{width, height, channels, channels, width * channels, bytes.data()};
}

std::vector<unsigned char> rowOf(const Image& image, int row) {
    const unsigned char* start = image.pixels + static_cast<size_t>(row) * image.rowBytes;
    return std::vector<unsigned char>(start, start + image.rowBytes);
}

class ImageFiles : public ::testing::Test {
protected:
    TempDir scratch;
};

} // namespace

TEST_F(ImageFiles, PngRoundTripKeepsChannelsBytesAndRowOrder) {
    for (int channels : {1, 2, 3, 4}) {
        SCOPED_TRACE(channels);
        const int width = 5, height = 3;
        std::vector<unsigned char> bytes = pattern(width, height, channels);
        write_png("picture.png", imageOver(bytes, width, height, channels));

        Image plain{};
        ASSERT_EQ(read_png("picture.png", &plain, false), 0);
        EXPECT_EQ(plain.width, width);
        EXPECT_EQ(plain.height, height);
        EXPECT_EQ(plain.channels, channels);
        EXPECT_EQ(plain.bytesPerPixel, channels);
        EXPECT_EQ(plain.rowBytes, width * channels);
        EXPECT_EQ(std::vector<unsigned char>(plain.pixels, plain.pixels + bytes.size()), bytes);

        Image flipped{};
        ASSERT_EQ(read_png("picture.png", &flipped, true), 0);
        for (int row = 0; row < height; ++row) EXPECT_EQ(rowOf(flipped, row), rowOf(plain, height - 1 - row));
        delete[] plain.pixels;
        delete[] flipped.pixels;
    }
}

TEST_F(ImageFiles, PalettePngReadsAsOneChannelOfIndices) {
    const unsigned char indices[] = {0, 9, 200, 255, 17, 4};
    ASSERT_TRUE(writeTestPngRaw("palette.png", 3, 2, 8, PNG_COLOR_TYPE_PALETTE, indices, 3));
    Image image{};
    ASSERT_EQ(read_png("palette.png", &image, false), 0);
    EXPECT_EQ(image.channels, 1);
    EXPECT_EQ(image.rowBytes, 3);
    EXPECT_EQ(0, memcmp(image.pixels, indices, sizeof indices));
    delete[] image.pixels;
}

TEST_F(ImageFiles, SixteenBitPngKeepsTwoBytesPerSample) {
    // The reader passes samples through as stored; rowBytes is how a caller tells them apart.
    const unsigned char rows[] = {0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0};
    ASSERT_TRUE(writeTestPngRaw("deep.png", 2, 2, 16, PNG_COLOR_TYPE_GRAY, rows, 4));
    Image image{};
    ASSERT_EQ(read_png("deep.png", &image, false), 0);
    EXPECT_EQ(image.channels, 1);
    EXPECT_EQ(image.rowBytes, 4);
    EXPECT_EQ(0, memcmp(image.pixels, rows, sizeof rows));
    delete[] image.pixels;
}

TEST_F(ImageFiles, JpegThreeByTwoFlipPutsBottomRowFirst) {
    // Saturated colours survive the compression within a small tolerance.
    const unsigned char top[9] = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    const unsigned char bottom[9] = {255, 255, 255, 0, 0, 0, 255, 255, 0};
    std::vector<unsigned char> bytes(top, top + 9);
    bytes.insert(bytes.end(), bottom, bottom + 9);
    ASSERT_TRUE(writeJpegFile("small.jpg", 3, 2, 3, bytes.data(), 100));

    for (bool flip : {false, true}) {
        SCOPED_TRACE(flip);
        Image image{};
        ASSERT_EQ(read_jpeg("small.jpg", &image, flip), 0);
        EXPECT_EQ(image.width, 3);
        EXPECT_EQ(image.height, 2);
        EXPECT_EQ(image.channels, 3);
        EXPECT_EQ(image.bytesPerPixel, 3);
        EXPECT_EQ(image.rowBytes, 9);
        const unsigned char* firstExpected = flip ? bottom : top;
        const unsigned char* secondExpected = flip ? top : bottom;
        for (int i = 0; i < 9; ++i) {
            EXPECT_NEAR(image.pixels[i], firstExpected[i], 24) << "byte " << i;
            EXPECT_NEAR(image.pixels[9 + i], secondExpected[i], 24) << "byte " << 9 + i;
        }
        delete[] image.pixels;
    }
}

TEST_F(ImageFiles, LoadImageChoosesReaderByCaseSensitiveSuffix) {
    std::vector<unsigned char> rgb = pattern(4, 4, 3);
    std::vector<unsigned char> gray = pattern(4, 4, 1);
    write_png("shot.PNG", imageOver(rgb, 4, 4, 3));
    // Gray JPEGs: a PNG reader handed one would fail, so a wrong choice of reader shows.
    for (const char* name : {"tex.jpeg", "TEX.JPEG", "tex.Jpg", "pic.jpg", "pic.JPG"})
        ASSERT_TRUE(writeJpegFile(name, 4, 4, 1, gray.data(), 100));

    struct Case {
        const char* path;
        int result;
        int channels;
    };
    for (const Case& c : {Case{"shot.PNG", 0, 3}, Case{"tex.jpeg", 0, 1}, Case{"TEX.JPEG", 0, 1},
                          Case{"pic.jpg", 0, 1}, Case{"pic.JPG", 0, 1}}) {
        SCOPED_TRACE(c.path);
        Image image{};
        ASSERT_EQ(load_image(c.path, &image, true), c.result);
        EXPECT_EQ(image.channels, c.channels);
        delete[] image.pixels;
    }

    for (const char* refused : {"tex.Jpg", "shot.Png", "x", ""}) {
        SCOPED_TRACE(refused);
        Image image{};
        testing::internal::CaptureStderr();
        EXPECT_EQ(load_image(refused, &image, false), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("couldn't recognize format of ") + refused + "\n");
    }
}

TEST_F(ImageFiles, MissingFilesReportCantOpen) {
    Image image{};
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_png("absent.png", &image, false), -1);
    EXPECT_EQ(read_jpeg("absent.jpg", &image, false), -1);
    std::vector<unsigned char> bytes = pattern(2, 2, 3);
    write_png("no/such/dir/out.png", imageOver(bytes, 2, 2, 3));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "can't open absent.png\ncan't open absent.jpg\ncan't open no/such/dir/out.png: No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists("no"));
}

// A disk that fills up mid-picture (a file-size limit stands in for it): -1, the file named with the
// reason, no truncated picture left behind, and the picture an earlier run left at the path kept.
TEST_F(ImageFiles, WriteThatFailsPartWayKeepsTheEarlierFileAndNamesIt) {
    std::vector<unsigned char> noise(256 * 256 * 3);
    unsigned value = 1;
    for (unsigned char& byte : noise) byte = static_cast<unsigned char>((value = value * 1103515245 + 12345) >> 16);
    const auto writeWithLimit = [&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::filesystem::create_directory("out");
        std::ofstream("out/full.png") << "earlier";
        const int status = write_png("out/full.png", imageOver(noise, 256, 256, 3));
        std::string kept;
        std::getline(std::ifstream("out/full.png"), kept);
        const auto files = std::distance(std::filesystem::directory_iterator("out"), std::filesystem::directory_iterator());
        exit(status == -1 && kept == "earlier" && files == 1 ? 3 : 4);
    };
    EXPECT_EXIT(writeWithLimit(), testing::ExitedWithCode(3), "can't write out/full\\.png: File too large");
}

TEST_F(ImageFiles, UnwritableChannelCountLeavesNoFileBehind) {
    std::vector<unsigned char> bytes = pattern(2, 2, 5);
    testing::internal::CaptureStderr();
    write_png("five.png", imageOver(bytes, 2, 2, 5));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "write_png: can't write 5 channels to five.png\n");
    EXPECT_FALSE(std::filesystem::exists("five.png"));
}

TEST_F(ImageFiles, CorruptFilesFailWithoutEndingTheProcess) {
    std::vector<unsigned char> rgb = pattern(16, 16, 3);
    ASSERT_TRUE(writeJpegFile("good.jpg", 16, 16, 3, rgb.data(), 100));
    write_png("good.png", imageOver(rgb, 16, 16, 3));
    auto cut = [](const char* from, const char* to, size_t keep) {
        std::ifstream in(from, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream(to, std::ios::binary) << bytes.substr(0, keep);
    };
    std::ofstream("text.jpg") << "this is not a picture\n";
    std::ofstream("text.png") << "this is not a picture\n";
    cut("good.jpg", "header.jpg", 40);
    cut("good.png", "header.png", 40);

    for (const char* path : {"text.jpg", "header.jpg", "text.png", "header.png"}) {
        SCOPED_TRACE(path);
        Image image{};
        testing::internal::CaptureStderr();
        EXPECT_EQ(load_image(path, &image, true), -1);
        // The libraries' own message says what was wrong.
        EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    }
    // The failures left the libraries usable.
    Image image{};
    ASSERT_EQ(load_image("good.jpg", &image, true), 0);
    EXPECT_EQ(image.width, 16);
    delete[] image.pixels;
}

// Ink colours would read as RGBA with wrong colours: refused, naming the file.
TEST_F(ImageFiles, CmykJpegIsRefusedNamingTheFile) {
    std::vector<unsigned char> cmyk = pattern(8, 8, 4);
    ASSERT_TRUE(writeJpegFile("ink.jpg", 8, 8, 4, cmyk.data(), 90));
    Image image{};
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_jpeg("ink.jpg", &image, true), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ink.jpg: the picture's colours are CMYK; only RGB and grey JPEG pictures can be shown\n");
    EXPECT_EQ(image.pixels, nullptr);
}

// A few bytes can claim any size: the header alone must never make a reader allocate for it. The
// refusal names the file and the size, and leaves the size in the record for the caller.
TEST_F(ImageFiles, PicturesLargerThanAllowedAreRefusedFromTheirHeader) {
    ASSERT_TRUE(writePngClaimingSize("claims.png", 1000000, 1000000));
    ASSERT_TRUE(writeJpegClaimingSize("claims.jpg", 65500, 65500));
    std::vector<unsigned char> rgb = pattern(300, 2, 3);
    write_png("wide.png", imageOver(rgb, 300, 2, 3));
    ASSERT_TRUE(writeJpegFile("wide.jpg", 300, 2, 3, rgb.data(), 90));
    struct Case {
        const char* path;
        int maxSide;
        int width, height;
    };
    const Case cases[] = {
        {"claims.png", defaultMaxImageSide, 1000000, 1000000},
        {"claims.jpg", defaultMaxImageSide, 65500, 65500},
        {"wide.png", 256, 300, 2},
        {"wide.jpg", 299, 300, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Image image{};
        testing::internal::CaptureStderr();
        EXPECT_EQ(load_image(c.path, &image, true, c.maxSide), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string(c.path) + ": picture is " + std::to_string(c.width) + " x " +
                      std::to_string(c.height) + " pixels, more than " + std::to_string(c.maxSide) +
                      " per side\n");
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_EQ(image.pixels, nullptr);
    }
    // At the limit a picture still loads.
    for (const char* path : {"wide.png", "wide.jpg"}) {
        SCOPED_TRACE(path);
        Image image{};
        ASSERT_EQ(load_image(path, &image, true, 300), 0);
        EXPECT_EQ(image.width, 300);
        delete[] image.pixels;
    }
}

TEST(ImageFlip, VerticalKeepsOddMiddleRowAndTwiceRestores) {
    std::vector<unsigned char> bytes = pattern(3, 5, 2);
    const std::vector<unsigned char> original = bytes;
    Image image = imageOver(bytes, 3, 5, 2);
    flip_image(&image, true, false);
    EXPECT_EQ(rowOf(image, 2), std::vector<unsigned char>(original.begin() + 12, original.begin() + 18));
    EXPECT_EQ(rowOf(image, 0), std::vector<unsigned char>(original.begin() + 24, original.end()));
    flip_image(&image, true, false);
    EXPECT_EQ(bytes, original);
}

// Rows of 16-bit or packed samples are wider or narrower than width x bytesPerPixel: the flip must
// neither split a 16-bit sample nor run past a packed row.
TEST(ImageFlip, HorizontalKeepsSixteenBitSamplesWholeAndPackedRowsInside) {
    std::vector<unsigned char> deep = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}; // 2 x 1 RGB, 16-bit
    Image wide{2, 1, 3, 3, 12, deep.data()};
    flip_image(&wide, false, true);
    EXPECT_EQ(deep, (std::vector<unsigned char>{7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}));
    // 16 one-bit pixels in two bytes a row; the heap buffer is exactly the rows' size.
    std::unique_ptr<unsigned char[]> packed(new unsigned char[4]{0xf0, 0x0f, 0xaa, 0x55});
    Image bits{16, 2, 1, 1, 2, packed.get()};
    flip_image(&bits, false, true);
    EXPECT_EQ(std::vector<unsigned char>(packed.get(), packed.get() + 4),
              (std::vector<unsigned char>{0xf0, 0x0f, 0xaa, 0x55}));
}

TEST(ImageFlip, HorizontalMovesWholePixelsAndBothTurnsHalfway) {
    const std::vector<unsigned char> original = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    std::vector<unsigned char> bytes = original;
    Image image = imageOver(bytes, 3, 2, 2);
    flip_image(&image, false, true);
    EXPECT_EQ(bytes, (std::vector<unsigned char>{5, 6, 3, 4, 1, 2, 11, 12, 9, 10, 7, 8}));

    bytes = original;
    flip_image(&image, true, true);
    EXPECT_EQ(bytes, (std::vector<unsigned char>{11, 12, 9, 10, 7, 8, 5, 6, 3, 4, 1, 2}));
}
