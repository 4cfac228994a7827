#pragma once
// Text and emblem pictures: the loading screen, the overlay frame and the beat flash.
#include <string>
#include <vector>

// Coverage in [0, 1] per pixel, row 0 at the top.
struct Mask {
    int width = 0, height = 0;
    std::vector<float> coverage;
    Mask(int w, int h) : width(w), height(h), coverage(size_t(w) * h, 0.0f) {}
    float at(int x, int y) const {
        return x < 0 || y < 0 || x >= width || y >= height ? 0.0f : coverage[size_t(y) * width + x];
    }
};

// Box blur of the given radius, three times over: close to a Gaussian of sigma ~ radius.
Mask blurred(const Mask& mask, int radius);

// Rasterises `text` in the bold face at `pixelSize`, centred on `centreX`, with its baseline at
// `baselineY`; `tracking` adds pixels between letters. The font file is a fixed system path; a
// missing font ends the generator with a message naming the Debian package.
void drawText(Mask& mask, const std::string& text, int pixelSize, float centreX, float baselineY,
              float tracking);

std::string writeLoading(const std::string& dataDir);
std::string writeOverlay(const std::string& dataDir);
std::string writeNyrkki(const std::string& dataDir);
