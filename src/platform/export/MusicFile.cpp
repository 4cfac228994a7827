#include "platform/export/MusicFile.h"

#include "base/RegularFile.h"
#include "platform/desktop/VorbisDecoder.h"

struct MusicFile::State {
    VorbisDecoder decoder;
};

MusicFile::MusicFile() : state(nullptr) {}

MusicFile::~MusicFile() {
    delete state;
}

bool MusicFile::open(const std::string& path, std::string& error) {
    delete state;
    state = nullptr;
    std::string reason;
    FILE* in = openRegularFile(path.c_str(), &reason);
    if (!in) {
        error = "Cannot open the music " + path + ": " + reason;
        return false;
    }
    auto* s = new State;
    // The first link's rate; stereo when any link is.
    if (!s->decoder.open(in, 0, 0, reason)) {
        delete s;
        error = "Cannot read the music " + path + ": " + reason;
        return false;
    }
    if (s->decoder.outputChannels() > 2) {
        delete s;
        error = "Cannot read the music " + path + ": only mono and stereo are supported";
        return false;
    }
    state = s;
    return true;
}

int MusicFile::rate() const {
    return state ? state->decoder.outputRate() : 0;
}

int MusicFile::channels() const {
    return state ? state->decoder.outputChannels() : 0;
}

bool MusicFile::seek(int64_t frame) {
    return state && state->decoder.seek(frame, state->decoder.outputRate());
}

int MusicFile::read(int16_t* samples, int frames) {
    if (!state) return -1;
    const int got = state->decoder.read(samples, frames);
    return got < frames && state->decoder.damaged() ? -1 : got;
}
