#pragma once
// Comparing rendered frames with committed golden pictures. llvmpipe renders the same frame the
// same way for a given Mesa, but another Mesa release may round a few pixels differently, so
// frames match when almost every pixel is within a small per-channel tolerance.
#include <string>

struct FrameDifference {
    bool comparable = false;   // both files read, same size and channel count
    std::string problem;       // why not comparable
    int pixels = 0;            // pixels compared
    int beyondTolerance = 0;   // pixels with some channel further off than the tolerance
    int largestDifference = 0; // largest channel difference, 0 to 255
};

FrameDifference compareFrames(const std::string& expectedPath, const std::string& actualPath, int tolerance);

// Share of pixels that may be off by more than the tolerance (edges of thin lines, mostly).
constexpr double allowedOutlierShare = 0.002;
constexpr int frameTolerance = 8;

// Mean of one channel over a rectangle of a picture file, rows counted from the top; -1 when the
// file can't be read.
double meanChannel(const std::string& path, int channel, int x0, int y0, int x1, int y1);
