#include "shell/FrameCapture.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include <GL/glew.h>

#include "image/Image.h"

int captureCounter = 0;

namespace {

const char* const shotFolder = "shots";

// Allocated on the first capture and kept for the whole run.
Image captureImage = {};
bool captureImageReady = false;

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

void captureFrameTo(const char* path) {
    if (!captureImageReady) {
        alloc_image(&captureImage, captureWidth, captureHeight, 3);
        captureImageReady = true;
    }
    readFinishedFrame(captureImage.pixels);
    flip_image(&captureImage, true, false);
    write_png(path, captureImage);
}

void captureFrame() {
    // A folder that can't be made is left to the writer, whose message names the file.
    std::error_code ignored;
    std::filesystem::create_directory(shotFolder, ignored);
    captureFrameTo(shotPath(captureCounter).c_str());
    captureCounter += 1;
}
