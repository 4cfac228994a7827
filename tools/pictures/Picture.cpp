#include "pictures/Picture.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <png.h>

#include "common/JpegFile.h"

uint8_t toByte(float linear) {
    float v = std::pow(clamp01(linear), 1.0f / 2.2f);
    return static_cast<uint8_t>(std::lround(v * 255.0f));
}

void Picture::setColour(int x, int y, Vec3 c, float alpha) {
    uint8_t* p = at(x, y);
    if (channels == 1) {
        p[0] = toByte(alpha);
        return;
    }
    p[0] = toByte(c.x);
    p[1] = toByte(c.y);
    p[2] = toByte(c.z);
    if (channels == 4) p[3] = static_cast<uint8_t>(std::lround(clamp01(alpha) * 255.0f));
}

void Picture::setGray(int x, int y, float value) {
    uint8_t* p = at(x, y);
    for (int i = 0; i < channels; ++i) p[i] = toByte(value);
}

namespace {

[[noreturn]] void fail(const std::string& path, const char* reason) {
    fprintf(stderr, "make_pictures: cannot write '%s': %s\n", path.c_str(), reason);
    exit(1);
}

std::string replaceFile(const std::string& dataDir, const std::string& name, const char* ext,
                        const char* otherExt) {
    std::remove((dataDir + "/" + name + "." + otherExt).c_str());
    return dataDir + "/" + name + "." + ext;
}

} // namespace

std::string writePng(const std::string& dataDir, const std::string& name, const Picture& picture) {
    std::string path = replaceFile(dataDir, name, "png", "jpg");
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) fail(path, "cannot open");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        fclose(file);
        fail(path, "libpng could not start");
    }
    // No C++ object with a destructor lives between here and the end: libpng leaves by longjmp.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(file);
        fail(path, "libpng error");
    }
    png_init_io(png, file);
    int colourType = picture.channels == 1   ? PNG_COLOR_TYPE_GRAY
                     : picture.channels == 3 ? PNG_COLOR_TYPE_RGB
                                             : PNG_COLOR_TYPE_RGB_ALPHA;
    png_set_IHDR(png, info, picture.width, picture.height, 8, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    size_t rowBytes = size_t(picture.width) * picture.channels;
    for (int y = 0; y < picture.height; ++y)
        png_write_row(png, const_cast<png_bytep>(&picture.pixels[y * rowBytes]));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (fclose(file) != 0) fail(path, "write failed");
    return path;
}

std::string writeJpeg(const std::string& dataDir, const std::string& name, const Picture& picture,
                      int quality) {
    std::string path = replaceFile(dataDir, name, "jpg", "png");
    // Full-resolution chroma: the sky's thin warm cloud edges smear with 4:2:0.
    if (!writeJpegFile(path, picture.width, picture.height, picture.channels, picture.pixels.data(), quality))
        fail(path, "write failed");
    return path;
}
