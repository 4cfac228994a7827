#pragma once
// Picture files the engine never writes itself, for the image and texture tests.
#include <cstdint>
#include <string>

#include "common/JpegFile.h"

// Writes PNG layouts such as palette, 16-bit or packed samples, rows top first. colorType and
// bitDepth are libpng's; a palette image gets a 256-entry grey ramp.
bool writeTestPngRaw(const std::string& path, int width, int height, int bitDepth, int colorType,
                     const unsigned char* rows, int rowBytes);

// A small real picture whose header claims another size, as a damaged or hostile file might: a
// 16-bit RGBA PNG and a baseline RGB JPEG.
bool writePngClaimingSize(const std::string& path, uint32_t width, uint32_t height);
bool writeJpegClaimingSize(const std::string& path, int width, int height);
