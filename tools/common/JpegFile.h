#pragma once
// Baseline JPEG writing for generated pictures and test data (the engine only reads JPEG).
#include <string>

// Writes 8-bit grey (1 channel), RGB (3 channels) or, for test data, CMYK (4) rows, top row first, with full-resolution
// chroma so thin colour detail and single pixels keep their colour. False when the file can't be
// written.
bool writeJpegFile(const std::string& path, int width, int height, int channels, const unsigned char* pixels,
                   int quality);
