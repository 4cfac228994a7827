#pragma once
// A picture being generated, and the two encoders that write it into the run-time data directory.
// Rows are stored top row first, as the files keep them; the engine flips them on load.
#include <cstdint>
#include <string>
#include <vector>

#include "pictures/Shade.h"

struct Picture {
    int width = 0;
    int height = 0;
    int channels = 0; // 1 (alpha texture), 3 (RGB) or 4 (RGBA)
    std::vector<uint8_t> pixels;

    Picture(int w, int h, int c) : width(w), height(h), channels(c), pixels(size_t(w) * h * c, 0) {}
    uint8_t* at(int x, int y) { return &pixels[(size_t(y) * width + x) * channels]; }
    // Stores a linear colour in [0, 1] with a display gamma of 2.2 and rounding.
    void setColour(int x, int y, Vec3 c, float alpha = 1.0f);
    void setGray(int x, int y, float value);
};

// Converts one linear component in [0, 1] to an 8-bit display value.
uint8_t toByte(float linear);

// Each writer replaces data/<name>.<ext> and deletes a stale file of the other extension, which
// would otherwise shadow or be shadowed by the new one. They return the path written; a failure
// ends the generator with a message.
std::string writePng(const std::string& dataDir, const std::string& name, const Picture& picture);
std::string writeJpeg(const std::string& dataDir, const std::string& name, const Picture& picture,
                      int quality);
