#include "support/TestPictures.h"

#include <csetjmp>
#include <cstdio>
#include <png.h>

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
