// PNG or JPEG pictures as texture loading reads them (PICTURE_READER is read_png or read_jpeg),
// flipped, then turned both ways as the image module can. The side limit keeps one input's pixels
// to a few megabytes; the checks against it are the same at any limit.
#include <cstddef>
#include <cstdint>

#include "InputFile.h"
#include "image/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image image{};
    if (PICTURE_READER(inputFile(data, size).c_str(), &image, true, 1024) != 0) return 0;
    flip_image(&image, true, true);
    delete[] image.pixels;
    return 0;
}
