#include "clock/MusicTime.h"

#include "platform/Sound.h"

namespace {
// The sound layer's channel the music plays on.
constexpr int musicChannel = 0;
} // namespace

void MusicTime::open(const char* path) {
    FSOUND_Init(44100, 16, 0);
    stream = FSOUND_Stream_Open(path, 0, 0, 0);
    if (!stream) stream = openSilentStream();
}

void MusicTime::play() {
    FSOUND_Stream_Play(musicChannel, stream);
}

int MusicTime::positionMs() {
    return FSOUND_Stream_GetTime(stream);
}

void MusicTime::moveToMs(int positionMs) {
    FSOUND_Stream_SetTime(stream, positionMs);
}

void MusicTime::hold(bool paused) {
    FSOUND_SetPaused(musicChannel, paused);
}
