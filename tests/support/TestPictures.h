#pragma once
// Picture files the engine never writes itself, for the image and texture tests.
#include <string>

#include "common/JpegFile.h"

// Writes PNG layouts such as palette, 16-bit or packed samples, rows top first. colorType and
// bitDepth are libpng's; a palette image gets a 256-entry grey ramp.
bool writeTestPngRaw(const std::string& path, int width, int height, int bitDepth, int colorType,
                     const unsigned char* rows, int rowBytes);
