// The video file in a build configured without video export: every file fails to open.
#include "platform/export/VideoFile.h"

const bool videoExportBuiltIn = false;

struct VideoFile::State {};

VideoFile::VideoFile() : state(nullptr) {}
VideoFile::~VideoFile() = default;

bool VideoFile::open(const std::string&, const VideoFormat&, std::string& error, void (*)(const char*)) {
    error = "this build has no video export (it was configured with LUMORAKKA_VIDEO_EXPORT=OFF)";
    return false;
}

bool VideoFile::writePicture(const unsigned char*, std::string& error) {
    error = "no video file is open";
    return false;
}

bool VideoFile::writeSound(const int16_t*, int, std::string& error) {
    error = "no video file is open";
    return false;
}

bool VideoFile::finish(std::string& error) {
    error = "no video file is open";
    return false;
}

void VideoFile::abandon() {}
