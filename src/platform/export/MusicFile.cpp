#include "platform/export/MusicFile.h"

#include "base/RegularFile.h"
#include "platform/MusicDecoder.h"

MusicFile::MusicFile() = default;
MusicFile::~MusicFile() = default;

bool MusicFile::open(const std::string& path, std::string& error) {
    decoder.reset();
    std::string reason;
    FILE* in = openRegularFile(path.c_str(), &reason);
    if (!in) {
        error = "Cannot open the music " + path + ": " + reason;
        return false;
    }
    // The first link's rate; stereo when any link is.
    std::unique_ptr<MusicDecoder> opened = openMusicDecoder(in, 0, 0, reason);
    if (!opened) {
        error = "Cannot read the music " + path + ": " + reason;
        return false;
    }
    if (opened->outputChannels() > 2) {
        error = "Cannot read the music " + path + ": only mono and stereo are supported";
        return false;
    }
    decoder = std::move(opened);
    return true;
}

int MusicFile::rate() const {
    return decoder ? decoder->outputRate() : 0;
}

int MusicFile::channels() const {
    return decoder ? decoder->outputChannels() : 0;
}

bool MusicFile::seek(int64_t frame) {
    return decoder && decoder->seek(frame, decoder->outputRate());
}

int MusicFile::read(int16_t* samples, int frames) {
    if (!decoder) return -1;
    const int got = decoder->read(samples, frames);
    return got < frames && decoder->damaged() ? -1 : got;
}
