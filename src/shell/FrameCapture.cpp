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

// The lowest `height` rows of the finished frame, `width` pixels each, as packed RGB rows.
void readFrameRows(int width, int height, unsigned char* pixels) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
}

} // namespace

std::string shotPath(int shotNumber) {
    char path[80];
    snprintf(path, sizeof path, "%s/shot%04d.png", shotFolder, shotNumber);
    return path;
}

void readFinishedFrame(int width, int height, unsigned char* pixels) {
    readFrameRows(width, height, pixels);
}

bool captureFrameTo(const char* path) {
    // What the window shows: its drawable, whatever size the viewer has made it.
    int width = 0, height = 0;
    windowDrawableSize(width, height);
    if (width <= 0 || height <= 0) {
        fprintf(stderr, "Cannot capture %s: the window has no pixels to read\n", path);
        return false;
    }
    if (captureImage.width != width || captureImage.height != height) {
        delete[] captureImage.pixels;
        alloc_image(&captureImage, width, height, 3);
    }
    readFrameRows(width, height, captureImage.pixels);
    flip_image(&captureImage, true, false);
    return write_png(path, captureImage) == 0;
}

bool captureFrame() {
    const std::string path = shotPath(captureCounter);
    captureCounter += 1;
    // A folder that can't be made is named with its own reason; the writer's "No such file or
    // directory" that would follow says nothing about why.
    std::error_code error;
    if (!std::filesystem::create_directory(shotFolder, error) && error && error != std::errc::file_exists) {
        fprintf(stderr, "can't open %s: can't make the folder %s: %s\n", path.c_str(), shotFolder,
                error.message().c_str());
        return false;
    }
    return captureFrameTo(path.c_str());
}
