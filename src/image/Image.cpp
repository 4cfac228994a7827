#include "image/Image.h"

#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <new>
#include <png.h>
#include <string>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "base/RegularFile.h"

// libpng and libjpeg report errors by a long jump back into the reader or writer. Between each
// setjmp and the function's return only plain variables live, none needing a destructor, and
// any local changed after setjmp is volatile.

Image* alloc_image(Image* image, int width, int height, int channels) {
    image->width = width;
    image->height = height;
    image->channels = channels;
    image->bytesPerPixel = channels;
    image->rowBytes = width * channels;
    image->pixels = new unsigned char[static_cast<size_t>(image->rowBytes) * height];
    return image;
}

namespace {

// A picture the reader was told not to take: the header's sizes stay in the record for the caller.
int refuseSize(const char* path, Image* image, unsigned long width, unsigned long height, int maxSide) {
    fprintf(stderr, "%s: picture is %lu x %lu pixels, more than %d per side\n", path, width, height, maxSide);
    image->width = width > INT_MAX ? INT_MAX : static_cast<int>(width);
    image->height = height > INT_MAX ? INT_MAX : static_cast<int>(height);
    return -1;
}

void reportNoMemory(const char* path, unsigned long width, unsigned long height) {
    fprintf(stderr, "%s: not enough memory for a picture of %lu x %lu pixels\n", path, width, height);
}

} // namespace

int read_png(const char* path, Image* image, bool flip, int maxSide) {
    image->pixels = nullptr;
    FILE* file = openRegularFile(path);
    if (!file) {
        fprintf(stderr, "can't open %s\n", path);
        return -1;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        fclose(file);
        return -1;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        fclose(file);
        png_destroy_read_struct(&png, nullptr, nullptr);
        return -1;
    }
    unsigned char* volatile pixels = nullptr;
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        fclose(file);
        png_destroy_read_struct(&png, &info, nullptr);
        delete[] pixels;
        delete[] rows;
        return -1;
    }
    png_init_io(png, file);
    // Any size PNG allows passes the header, so the check below can name it; text and other
    // ancillary chunks may not inflate past 8 MB.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_chunk_malloc_max(png, 8000000);
    // The reader uses none of the ancillary chunks, and libpng buffers some of them whole at the
    // length their header claims (a 100-byte file asked for 2 GB with one zTXt header): skip
    // them unread. tRNS stays, as it is part of the pixels' meaning.
    static const png_byte ignored[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0"
                                      "sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, ignored, sizeof ignored / 5);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    if (width > static_cast<png_uint_32>(maxSide) || height > static_cast<png_uint_32>(maxSide)) {
        png_destroy_read_struct(&png, &info, nullptr);
        fclose(file);
        return refuseSize(path, image, width, height, maxSide);
    }
    // No transforms: what png_read_png with PNG_TRANSFORM_IDENTITY gives, read straight into the
    // record's rows (flipped through the row order) instead of a second copy.
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    pixels = new (std::nothrow) unsigned char[rowBytes * height];
    rows = new (std::nothrow) png_bytep[height];
    if (!pixels || !rows) {
        reportNoMemory(path, width, height);
        delete[] pixels;
        delete[] rows;
        png_destroy_read_struct(&png, &info, nullptr);
        fclose(file);
        return -1;
    }
    for (png_uint_32 i = 0; i < height; ++i) rows[i] = pixels + (flip ? height - 1 - i : i) * rowBytes;
    png_read_image(png, rows);
    png_read_end(png, info);

    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->rowBytes = static_cast<int>(rowBytes);
    image->channels = png_get_channels(png, info);
    image->bytesPerPixel = image->channels;
    image->pixels = pixels;
    delete[] rows;
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return 0;
}

namespace {

// Progressive files can hold any number of scans, each a full pass over the picture; real encoders
// write about ten. More than this is a file made to keep the decoder busy.
constexpr int maxJpegScans = 100;

struct JpegErrorManager {
    jpeg_error_mgr base; // first, so libjpeg's pointer to it is also a pointer to the whole
    jmp_buf recovery;
    const char* path;
};

// libjpeg's own error_exit ends the process; this one prints the same message and returns to
// read_jpeg, which cleans up and fails.
void jpegErrorExit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->recovery, 1);
}

void limitScans(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > maxJpegScans) {
        fprintf(stderr, "%s: more than %d scans\n", errors->path, maxJpegScans);
        longjmp(errors->recovery, 1);
    }
}

} // namespace

int read_jpeg(const char* path, Image* image, bool flip, int maxSide) {
    image->pixels = nullptr;
    FILE* file = openRegularFile(path);
    if (!file) {
        fprintf(stderr, "can't open %s\n", path);
        return -1;
    }
    jpeg_decompress_struct cinfo;
    JpegErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jpegErrorExit;
    errors.path = path;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = limitScans;
    unsigned char* volatile pixels = nullptr;
    if (setjmp(errors.recovery)) {
        jpeg_destroy_decompress(&cinfo);
        fclose(file);
        delete[] pixels;
        return -1;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &progress;
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    // Colours stored as ink (CMYK, or YCCK made from it) need the printer's colour profile to
    // become screen colours; read as RGBA they would be wrong, so they are refused.
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        fprintf(stderr, "%s: the picture's colours are CMYK; only RGB and grey JPEG pictures can be shown\n",
                path);
        jpeg_destroy_decompress(&cinfo);
        fclose(file);
        return -1;
    }
    if (cinfo.image_width > static_cast<JDIMENSION>(maxSide) ||
        cinfo.image_height > static_cast<JDIMENSION>(maxSide)) {
        unsigned long width = cinfo.image_width, height = cinfo.image_height;
        jpeg_destroy_decompress(&cinfo);
        fclose(file);
        return refuseSize(path, image, width, height, maxSide);
    }
    jpeg_start_decompress(&cinfo);

    int width = static_cast<int>(cinfo.output_width);
    int height = static_cast<int>(cinfo.output_height);
    int channels = cinfo.output_components;
    int rowBytes = width * channels;
    pixels = new (std::nothrow) unsigned char[static_cast<size_t>(rowBytes) * height];
    if (!pixels) {
        reportNoMemory(path, cinfo.output_width, cinfo.output_height);
        jpeg_destroy_decompress(&cinfo);
        fclose(file);
        return -1;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + static_cast<size_t>(cinfo.output_scanline) * rowBytes;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    fclose(file);

    image->width = width;
    image->height = height;
    image->channels = channels;
    image->bytesPerPixel = channels;
    image->rowBytes = rowBytes;
    image->pixels = pixels;
    if (flip) flip_image(image, true, false);
    return 0;
}

int load_image(const char* path, Image* image, bool flip, int maxSide) {
    size_t length = strlen(path);
    const char* suffix = length >= 3 ? path + length - 3 : "";
    if (!strcmp(suffix, "png") || !strcmp(suffix, "PNG")) return read_png(path, image, flip, maxSide);
    if (!strcmp(suffix, "jpg") || !strcmp(suffix, "peg") || !strcmp(suffix, "JPG") || !strcmp(suffix, "PEG"))
        return read_jpeg(path, image, flip, maxSide);
    fprintf(stderr, "couldn't recognize format of %s\n", path);
    image->pixels = nullptr;
    return -1;
}

namespace {

// libpng's stdio writer drops errno; this one keeps it for the message.
struct PngOutput {
    FILE* file;
    int error = 0;
};

void writePngBytes(png_structp png, png_bytep bytes, png_size_t length) {
    auto* output = static_cast<PngOutput*>(png_get_io_ptr(png));
    if (fwrite(bytes, 1, length, output->file) != length) {
        output->error = errno;
        png_error(png, "write error");
    }
}

void flushPngBytes(png_structp png) {
    auto* output = static_cast<PngOutput*>(png_get_io_ptr(png));
    if (fflush(output->file) != 0) {
        output->error = errno;
        png_error(png, "write error");
    }
}

// libpng's own warnings and errors would print a line of their own; the writer reports once.
void quietPngMessage(png_structp, png_const_charp) {}
void failPng(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

} // namespace

int write_png(const char* path, Image image) {
    int colorType;
    switch (image.channels) {
    case 1:
        colorType = PNG_COLOR_TYPE_GRAY;
        break;
    case 2:
        colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
        break;
    case 3:
        colorType = PNG_COLOR_TYPE_RGB;
        break;
    case 4:
        colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        break;
    default:
        // Refused before the file is touched, so nothing half-written is left behind.
        fprintf(stderr, "write_png: can't write %d channels to %s\n", image.channels, path);
        return -1;
    }
    // The picture is written into a file of its own that takes the path's place only once it is
    // whole: a failed write leaves whatever was at the path as it was.
    std::string reason;
    NewFile newFile;
    const int fd = newFile.create(path, reason) ? dup(newFile.descriptor()) : -1;
    FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (!file) {
        if (reason.empty()) reason = strerror(errno);
        if (fd >= 0) close(fd);
        fprintf(stderr, "can't open %s: %s\n", path, reason.c_str());
        return -1;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, failPng, quietPngMessage);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        fprintf(stderr, "can't write %s: no memory for the PNG writer\n", path);
        png_destroy_write_struct(&png, nullptr);
        fclose(file);
        return -1;
    }
    PngOutput output{file};
    png_set_write_fn(png, &output, writePngBytes, flushPngBytes);
    if (setjmp(png_jmpbuf(png))) {
        // Read back through libpng's pointer: a local changed after setjmp can't be trusted here.
        const int error = static_cast<PngOutput*>(png_get_io_ptr(png))->error;
        png_destroy_write_struct(&png, &info);
        fclose(file);
        fprintf(stderr, "can't write %s: %s\n", path, error ? strerror(error) : "the picture could not be encoded");
        return -1;
    }
    png_set_IHDR(png, info, image.width, image.height, 8, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int i = 0; i < image.height; ++i)
        png_write_row(png, image.pixels + static_cast<size_t>(i) * image.rowBytes);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    // Writes go through stdio; a full disk or a file-size limit may only show when the buffer is
    // flushed.
    if (fclose(file) != 0) {
        fprintf(stderr, "can't write %s: %s\n", path, strerror(errno));
        return -1;
    }
    if (!newFile.publish(reason)) {
        fprintf(stderr, "can't write %s: %s\n", path, reason.c_str());
        return -1;
    }
    return 0;
}

void flip_image(Image* image, bool vertical, bool horizontal) {
    if (vertical) {
        unsigned char* row = new unsigned char[image->rowBytes];
        for (int i = 0; i < image->height / 2; ++i) {
            unsigned char* top = image->pixels + static_cast<size_t>(i) * image->rowBytes;
            unsigned char* bottom =
                image->pixels + static_cast<size_t>(image->height - 1 - i) * image->rowBytes;
            memcpy(row, top, image->rowBytes);
            memcpy(top, bottom, image->rowBytes);
            memcpy(bottom, row, image->rowBytes);
        }
        delete[] row;
    }
    // A pixel is rowBytes / width bytes: bytesPerPixel for 8-bit samples, twice that for 16-bit ones.
    // Samples packed several to a byte can't be moved a byte at a time; such rows stay as they are.
    int pixelBytes =
        image->width > 0 && image->rowBytes % image->width == 0 ? image->rowBytes / image->width : 0;
    if (horizontal && pixelBytes > 0) {
        for (int y = 0; y < image->height; ++y) {
            unsigned char* row = image->pixels + static_cast<size_t>(y) * image->rowBytes;
            for (int j = 0; j < image->width / 2; ++j) {
                unsigned char* left = row + j * pixelBytes;
                unsigned char* right = row + (image->width - 1 - j) * pixelBytes;
                for (int b = 0; b < pixelBytes; ++b) {
                    unsigned char swap = left[b];
                    left[b] = right[b];
                    right[b] = swap;
                }
            }
        }
    }
}
