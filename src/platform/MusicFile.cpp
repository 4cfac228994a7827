#include "platform/MusicFile.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>

#include "base/RegularFile.h"

struct MusicFile::State {
    OggVorbis_File file{};
    int rate = 0;
    int channels = 0;
    ~State() { ov_clear(&file); }
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
    if (ov_open_callbacks(in, &s->file, nullptr, 0, OV_CALLBACKS_DEFAULT) != 0) {
        // The decoder owns the file only once it has opened it.
        fclose(in);
        delete s;
        error = "Cannot read the music " + path + ": not an Ogg Vorbis file";
        return false;
    }
    const vorbis_info* info = ov_info(&s->file, -1);
    s->rate = static_cast<int>(info->rate);
    s->channels = info->channels;
    if (s->rate <= 0 || s->channels < 1 || s->channels > 2) {
        delete s;
        error = "Cannot read the music " + path + ": only mono and stereo are supported";
        return false;
    }
    state = s;
    return true;
}

int MusicFile::rate() const {
    return state ? state->rate : 0;
}

int MusicFile::channels() const {
    return state ? state->channels : 0;
}

bool MusicFile::seek(int64_t frame) {
    if (!state) return false;
    const int64_t total = std::max<int64_t>(ov_pcm_total(&state->file, -1), 0);
    return ov_pcm_seek(&state->file, std::min(std::max<int64_t>(frame, 0), total)) == 0;
}

int MusicFile::read(int16_t* samples, int frames) {
    if (!state) return -1;
    const int frameBytes = 2 * state->channels;
    char* out = reinterpret_cast<char*>(samples);
    int got = 0; // bytes
    while (got < frames * frameBytes) {
        int section = 0;
        long n = ov_read(&state->file, out + got, frames * frameBytes - got, 0, 2, 1, &section);
        if (n == OV_HOLE) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<int>(n);
    }
    return got / frameBytes;
}
