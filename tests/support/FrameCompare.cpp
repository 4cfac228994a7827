#include "support/FrameCompare.h"

#include <algorithm>
#include <cstdlib>

#include "image/Image.h"

namespace {

struct OwnedImage {
    Image image = {};
    bool loaded = false;
    explicit OwnedImage(const std::string& path) { loaded = read_png(path.c_str(), &image, false) == 0; }
    ~OwnedImage() {
        if (loaded) delete[] image.pixels;
    }
};

} // namespace

FrameDifference compareFrames(const std::string& expectedPath, const std::string& actualPath, int tolerance) {
    FrameDifference result;
    OwnedImage expected(expectedPath), actual(actualPath);
    if (!expected.loaded || !actual.loaded) {
        result.problem = "can't read " + (expected.loaded ? actualPath : expectedPath);
        return result;
    }
    const Image& a = expected.image;
    const Image& b = actual.image;
    if (a.width != b.width || a.height != b.height || a.channels != b.channels || a.rowBytes != b.rowBytes) {
        result.problem = "sizes differ: " + std::to_string(a.width) + "x" + std::to_string(a.height) + "x" +
                         std::to_string(a.channels) + " against " + std::to_string(b.width) + "x" +
                         std::to_string(b.height) + "x" + std::to_string(b.channels);
        return result;
    }
    result.comparable = true;
    result.pixels = a.width * a.height;
    for (int y = 0; y < a.height; ++y) {
        const unsigned char* rowA = a.pixels + y * a.rowBytes;
        const unsigned char* rowB = b.pixels + y * b.rowBytes;
        for (int x = 0; x < a.width; ++x) {
            int worst = 0;
            for (int c = 0; c < a.channels; ++c) {
                const int i = x * a.channels + c;
                worst = std::max(worst, std::abs(rowA[i] - rowB[i]));
            }
            if (worst > tolerance) ++result.beyondTolerance;
            result.largestDifference = std::max(result.largestDifference, worst);
        }
    }
    return result;
}

double meanChannel(const std::string& path, int channel, int x0, int y0, int x1, int y1) {
    OwnedImage picture(path);
    if (!picture.loaded) return -1;
    const Image& image = picture.image;
    double sum = 0;
    int count = 0;
    for (int y = std::max(0, y0); y < std::min(image.height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(image.width, x1); ++x) {
            sum += image.pixels[y * image.rowBytes + x * image.channels + channel];
            ++count;
        }
    return count ? sum / count : -1;
}
