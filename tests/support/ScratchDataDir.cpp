#include "support/ScratchDataDir.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <jpeglib.h>
#include <png.h>
#include <set>
#include <unistd.h>

namespace {

// Directories still present when the process exits (a death test's child ends in exit()).
std::set<std::string>& liveDirs() {
    static std::set<std::string>* dirs = new std::set<std::string>;
    return *dirs;
}

void removeLiveDirs() {
    std::error_code ignored;
    for (const std::string& dir : liveDirs()) std::filesystem::remove_all(dir, ignored);
}

} // namespace

ScratchDataDir::ScratchDataDir() {
    static bool cleanupRegistered = false;
    if (!cleanupRegistered) {
        atexit(removeLiveDirs);
        cleanupRegistered = true;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "lumorakka-gpu-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        perror("mkdtemp");
        abort();
    }
    root = pattern;
    liveDirs().insert(root);
    std::filesystem::create_directories(root + "/data");
    previous = std::filesystem::current_path().string();
    std::filesystem::current_path(root);
}

ScratchDataDir::~ScratchDataDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
    std::filesystem::remove_all(root, ignored);
    liveDirs().erase(root);
}

void ScratchDataDir::writeText(const std::string& relativePath, const std::string& text) const {
    std::filesystem::path target = std::filesystem::path(root) / relativePath;
    std::filesystem::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary);
    out << text;
}

bool writeTestJpeg(const std::string& path, int width, int height, int channels, const unsigned char* pixels,
                   int quality) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = channels;
    cinfo.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    // No chroma subsampling, so single pixels of a tiny picture keep their colour.
    for (int i = 0; i < cinfo.num_components; ++i) {
        cinfo.comp_info[i].h_samp_factor = 1;
        cinfo.comp_info[i].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<unsigned char*>(pixels) + static_cast<size_t>(cinfo.next_scanline) * width * channels;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return fclose(file) == 0;
}

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
