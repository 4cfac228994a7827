#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "gpu/MaterialFile.h"
#include "image/Image.h"
#include "support/ShowContent.h"

namespace {

const unsigned int targetCube = 0x8513;

bool isPowerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

MaterialFile parseShowMaterial(const char* file) {
    std::string text = readWholeFile(std::string(LUMORAKKA_BUILD_DIR) + "/" + file);
    MaterialFile material;
    std::string error;
    EXPECT_FALSE(text.empty()) << file;
    EXPECT_TRUE(parseMaterialText(text, material, error)) << file << ": " << error;
    return material;
}

struct Picture {
    std::string name;
    bool cube;
};

// Every picture the show loads: the set-up's own and those the material files name, apart from
// render textures, which exist before any material loads.
std::vector<Picture> showPicturesAndTextures() {
    std::vector<Picture> pictures;
    std::set<std::string> seen;
    for (const std::string& name : showPictures()) {
        pictures.push_back({name, false});
        seen.insert(name);
    }
    for (const MaterialLoad& load : materialLoads) {
        MaterialFile material = parseShowMaterial(load.file);
        for (int i = 0; i < material.textures.count; ++i) {
            const rovena::TextureBinding& binding = material.textures[i];
            if (isRenderTexture(binding.texture) || !seen.insert(binding.texture).second) continue;
            pictures.push_back({binding.texture, binding.target == targetCube});
        }
    }
    return pictures;
}

// The luma of a picture's pixels, or nothing when it can't be read.
std::vector<float> readLuma(const std::string& path, int& side) {
    Image image{};
    if (load_image(path.c_str(), &image, false) != 0 || image.channels != 3) return {};
    std::vector<float> luma(size_t(image.width) * image.height);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const unsigned char* p = image.pixels + size_t(y) * image.rowBytes + x * 3;
            luma[size_t(y) * image.width + x] = 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
        }
    side = image.width;
    delete[] image.pixels;
    return luma;
}

} // namespace

// A shader comment that mentions the texture keyword would be read as a broken texture line and
// stop the show at start-up.
TEST(ContentMaterials, OnlyTextureLinesMentionTheTextureKeyword) {
    for (const MaterialLoad& load : materialLoads) {
        std::istringstream lines(readWholeFile(std::string(LUMORAKKA_BUILD_DIR) + "/" + load.file));
        std::string line;
        for (int number = 1; std::getline(lines, line); ++number) {
            size_t at = line.find("%TEX");
            if (at != std::string::npos) {
                EXPECT_EQ(at, 0u) << load.file << " line " << number << ": " << line;
            }
        }
        parseShowMaterial(load.file);
    }
}

// The engine uploads pictures at power-of-two sizes and picks the GL format from 1, 3 or 4
// channels; anything else draws garbage or nothing.
TEST(ContentPictures, EveryPictureDecodesWithPowerOfTwoSidesAndAUsableChannelCount) {
    std::string dataDir = buildDataDir();
    std::vector<Picture> pictures = showPicturesAndTextures();
    ASSERT_GT(pictures.size(), showPictures().size());
    for (const Picture& picture : pictures) {
        std::vector<std::string> files;
        if (picture.cube) {
            for (int face = 0; face < 6; ++face) files.push_back(picture.name + "_c0" + std::to_string(face));
        } else {
            files.push_back(picture.name);
        }
        int faceSize = -1;
        for (const std::string& file : files) {
            std::string path = findPictureFile(dataDir, file);
            ASSERT_FALSE(path.empty()) << "no picture data/" << file << ".png or .jpg";
            Image image{};
            ASSERT_EQ(load_image(path.c_str(), &image, true), 0) << path;
            EXPECT_TRUE(isPowerOfTwo(image.width) && isPowerOfTwo(image.height))
                << path << " is " << image.width << " x " << image.height;
            EXPECT_TRUE(image.channels == 1 || image.channels == 3 || image.channels == 4) << path;
            EXPECT_EQ(image.rowBytes, image.width * image.channels) << path << " is not 8 bits per sample";
            if (picture.cube) {
                EXPECT_EQ(image.width, image.height) << path << ": cube faces are square";
                if (faceSize >= 0) {
                    EXPECT_EQ(image.width, faceSize) << path << ": faces differ in size";
                }
                faceSize = image.width;
            }
            delete[] image.pixels;
        }
    }
}

// Both readers should be exercised by the real show, and a 1-channel picture becomes an alpha
// texture: the set should hold at least one of each kind.
TEST(ContentPictures, ShowUsesPngAndJpegAndSingleChannelPictures) {
    std::string dataDir = buildDataDir();
    bool png = false, jpeg = false, single = false;
    for (const Picture& picture : showPicturesAndTextures()) {
        std::string path = findPictureFile(dataDir, picture.cube ? picture.name + "_c00" : picture.name);
        if (path.empty()) continue;
        png |= path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0;
        jpeg |= path.size() > 4 && path.compare(path.size() - 4, 4, ".jpg") == 0;
        Image image{};
        if (load_image(path.c_str(), &image, false) == 0) {
            single |= image.channels == 1;
            delete[] image.pixels;
        }
    }
    EXPECT_TRUE(png);
    EXPECT_TRUE(jpeg);
    EXPECT_TRUE(single);
}

// Pictures larger than 800 x 600 read the large sky in place of the small one: each large face,
// averaged over 2 x 2 texels, must be the small face's picture (37 dB or more; a face turned or
// swapped gives 15 to 20), and what is left of it once those averages are taken away is the finer
// detail it holds: 0.65 levels a texel, 0.37 when the faces were drawn at 1024 texels without it.
TEST(ContentPictures, LargeSkyFacesAreTheSmallFacesWithFinerDetail) {
    const std::string dataDir = buildDataDir();
    double finer = 0;
    size_t texels = 0;
    for (int face = 0; face < 6; ++face) {
        const std::string suffix = "_c0" + std::to_string(face);
        int side = 0, largeSide = 0;
        std::vector<float> small = readLuma(findPictureFile(dataDir, "kivikko" + suffix), side);
        std::vector<float> large = readLuma(findPictureFile(dataDir, "kivikko_large" + suffix), largeSide);
        ASSERT_FALSE(small.empty() || large.empty()) << "face " << face;
        ASSERT_EQ(largeSide, 2 * side) << "face " << face;
        double squares = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const float* l = &large[size_t(2 * y) * largeSide + 2 * x];
                const float mean = 0.25f * (l[0] + l[1] + l[largeSide] + l[largeSide + 1]);
                const float error = mean - small[size_t(y) * side + x];
                squares += error * error;
                for (const float v : {l[0], l[1], l[largeSide], l[largeSide + 1]})
                    finer += std::fabs(v - mean);
                texels += 4;
            }
        EXPECT_GT(10 * std::log10(255.0 * 255.0 * side * side / squares), 35.0) << "face " << face;
    }
    EXPECT_GT(finer / texels, 0.5);
}
