#pragma once
// The show's time from its music (platform/Sound.h): the position of the sound being heard, on the
// desktop's audio device or through the browser's Web Audio. Seeking and pausing move the music.
// A track that can't be played is said on standard error by the sound layer; the show then keeps
// real time in silence.
#include "clock/TimeSource.h"

struct FSOUND_STREAM;

class MusicTime final : public TimeSource {
public:
    // The time of a stream already opened (tests give a caller clock); null reads 0.
    explicit MusicTime(FSOUND_STREAM* stream = nullptr) : stream(stream) {}

    // Opens the audio device and the track at `path`, or a silent stream on the monotonic clock
    // when the track can't be played.
    void open(const char* path);
    // Starts the music from where it stands.
    void play();

    int positionMs() override;

protected:
    void moveToMs(int positionMs) override;
    void hold(bool paused) override;

private:
    FSOUND_STREAM* stream;
};
