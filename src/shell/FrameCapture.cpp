#include "shell/FrameCapture.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include <GL/glew.h>

#include "image/Image.h"
#include "platform/Window.h"

int captureCounter = 0;

namespace {

const char* const shotFolder = "shots";

// Allocated on the first capture and kept for the whole run; made again when the window's size
// changes.
Image captureImage = {};

} // namespace

std::string shotPath(int shotNumber) {
    char path[80];
    snprintf(path, sizeof path, "%s/shot%04d.png", shotFolder, shotNumber);
    return path;
}

void readFinishedFrame(unsigned char* pixels) {
    // 2400-byte rows need no padding at the default pack alignment of 4; set it anyway in case
    // some other code changed it.
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, captureWidth, captureHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels);
}

bool captureFrameTo(const char* path) {
    // What the window shows: its drawable, whatever size the viewer has made it.
    int width = captureWidth, height = captureHeight;
    windowDrawableSize(width, height);
    if (width <= 0 || height <= 0) {
        fprintf(stderr, "Cannot capture %s: the window has no pixels to read\n", path);
        return false;
    }
    if (captureImage.width != width || captureImage.height != height) {
        delete[] captureImage.pixels;
        alloc_image(&captureImage, width, height, 3);
    }
    // Rows of any width, packed.
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, captureImage.pixels);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    flip_image(&captureImage, true, false);
    return write_png(path, captureImage) == 0;
}

bool captureFrame() {
    // A folder that can't be made is left to the writer, whose message names the file.
    std::error_code ignored;
    std::filesystem::create_directory(shotFolder, ignored);
    const bool written = captureFrameTo(shotPath(captureCounter).c_str());
    captureCounter += 1;
    return written;
}
