#include "support/TestPictures.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <png.h>
#include <zlib.h>

bool writeTestPngRaw(const std::string& path, int width, int height, int bitDepth, int colorType,
                     const unsigned char* rows, int rowBytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, bitDepth, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[256];
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < 256; ++i) {
            palette[i].red = palette[i].green = palette[i].blue = static_cast<png_byte>(i);
        }
        png_set_PLTE(png, info, palette, 1 << bitDepth);
    }
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, rows + static_cast<size_t>(y) * rowBytes);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0;
}

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

void putBigEndian(std::string& bytes, size_t at, uint32_t value, int length) {
    for (int i = 0; i < length; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * (length - 1 - i))) & 0xff);
}

} // namespace

bool writePngClaimingSize(const std::string& path, uint32_t width, uint32_t height) {
    const unsigned char pixel[8] = {};
    if (!writeTestPngRaw(path, 1, 1, 16, PNG_COLOR_TYPE_RGB_ALPHA, pixel, 8)) return false;
    // IHDR follows the 8-byte signature: length, "IHDR", width, height, ..., then its CRC over
    // the type and the 13 data bytes.
    std::string bytes = readAll(path);
    putBigEndian(bytes, 16, width, 4);
    putBigEndian(bytes, 20, height, 4);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + 12), 17);
    putBigEndian(bytes, 29, static_cast<uint32_t>(crc), 4);
    return writeAll(path, bytes);
}

bool writeJpegClaimingSize(const std::string& path, int width, int height) {
    const unsigned char pixels[8 * 8 * 3] = {};
    if (!writeJpegFile(path, 8, 8, 3, pixels, 90)) return false;
    // The baseline frame header: FF C0, length, precision, then height and width.
    std::string bytes = readAll(path);
    size_t frame = bytes.find("\xff\xc0");
    if (frame == std::string::npos) return false;
    putBigEndian(bytes, frame + 5, static_cast<uint32_t>(height), 2);
    putBigEndian(bytes, frame + 7, static_cast<uint32_t>(width), 2);
    return writeAll(path, bytes);
}
