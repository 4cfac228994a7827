#pragma once
// MP4 video files: H.264 pictures (4:2:0) and AAC sound, encoded as they come and finished with the
// index at the front of the file, so players start before the whole file has arrived. Until
// finish() succeeds the bytes go to a file of this VideoFile's own (NewFile: without a name where
// the file system allows, so not even SIGKILL leaves it behind; otherwise PATH.XXXXXX.partial, a
// long name cut to fit), created afresh (no existing file or link is opened); finish gives it the
// name PATH, so a file at PATH is always whole and two exports to one PATH never share a file. PATH
// is a file's path, never a
// URL. The media libraries stay behind this header; a build configured without them has the same
// calls, and open() says that this build has no video export.
#include <cstdint>
#include <string>

// False in a build configured without video export.
extern const bool videoExportBuiltIn;

struct VideoFormat {
    int width = 800; // of the video, pixels; even
    int height = 600;
    int framesPerSecond = 60;
    int64_t videoBitRate = 0; // average, bits per second; 0 for constant quality
    int pictureWidth = 800;   // of the pictures handed to writePicture, pixels
    int pictureHeight = 600;
    int soundRate = 44100; // of the samples handed to writeSound, frames per second
    int soundChannels = 2; // 1 or 2; the file's sound is stereo either way
};

// Where a picture goes in the video: the largest centred rectangle of the picture's aspect ratio,
// with even edges for the half-size chroma planes. The rest of the video is black.
struct PictureArea {
    int x = 0, y = 0, width = 0, height = 0; // video pixels, origin at the top left
};
inline PictureArea fitPicture(int videoWidth, int videoHeight, int pictureWidth, int pictureHeight) {
    const long long vw = videoWidth, vh = videoHeight, pw = pictureWidth, ph = pictureHeight;
    PictureArea area;
    if (vw * ph >= vh * pw) { // the video is wider: full height, bars left and right
        area.height = videoHeight;
        area.width = static_cast<int>(2 * ((vh * pw + ph) / (2 * ph)));
    } else {
        area.width = videoWidth;
        area.height = static_cast<int>(2 * ((vw * ph + pw) / (2 * pw)));
    }
    area.x = (videoWidth - area.width) / 4 * 2;
    area.y = (videoHeight - area.height) / 4 * 2;
    return area;
}

class VideoFile {
public:
    VideoFile();
    // A file not finished is closed and its partial file removed.
    ~VideoFile();
    VideoFile(const VideoFile&) = delete;
    VideoFile& operator=(const VideoFile&) = delete;

    // Creates the partial file and sets up both encoders. False with a reason naming PATH, also when
    // something other than a regular file (a folder, a FIFO, a device) is at PATH. `created`, when
    // given, is called the moment a partial file with a name exists, with its path, for whoever must be able
    // to remove it where nothing else may be done (a signal handler).
    bool open(const std::string& path, const VideoFormat& format, std::string& error,
              void (*created)(const char* partialPath) = nullptr);
    // The next picture: RGB, 8 bits per channel, rows bottom-up as GL reads them, rows packed
    // (pictureWidth x 3 bytes). It is scaled into fitPicture's area.
    bool writePicture(const unsigned char* rgbBottomUp, std::string& error);
    // The next `frames` sound frames, 16-bit interleaved. Sound frame 0 plays with picture 0.
    bool writeSound(const int16_t* samples, int frames, std::string& error);
    // Drains the encoders, writes the index at the front, flushes to the disk and names the finished
    // file PATH. False with a reason naming PATH when anything could not be written, or when
    // something other than a regular file has appeared at PATH; nothing is left then.
    bool finish(std::string& error);
    // Stops without finishing: closes and removes the partial file.
    void abandon();

private:
    struct State;
    State* state;
};
