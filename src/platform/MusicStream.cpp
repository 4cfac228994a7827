#include "platform/MusicStream.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "platform/Sound.h"

int64_t monotonicNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void FSOUND_STREAM::restartAt(int positionMs) {
    baseMs = positionMs;
    lastReportedMs = positionMs;
}

int64_t SilentStream::playedMs() {
    return std::max<int64_t>(monotonicNowNs() - anchorNs, 0) / 1000000;
}

void SilentStream::restartAt(int positionMs) {
    FSOUND_STREAM::restartAt(positionMs);
    anchorNs = monotonicNowNs();
}

class MusicStreams::Hold {
public:
    explicit Hold(MusicStreams& streams) : streams(streams) { streams.lock(); }
    ~Hold() { streams.unlock(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    MusicStreams& streams;
};

FSOUND_STREAM* MusicStreams::add(std::unique_ptr<FSOUND_STREAM> stream) {
    Hold hold(*this);
    streams.push_back(std::move(stream));
    return streams.back().get();
}

int MusicStreams::readingMs(FSOUND_STREAM& s) {
    if (!s.playing || s.paused) return s.lastReportedMs;
    const int64_t ms = std::min<int64_t>(std::max<int64_t>(s.baseMs + s.playedMs(), s.lastReportedMs), INT_MAX);
    s.lastReportedMs = static_cast<int>(ms);
    if (!s.endAnnounced && s.lastReportedMs >= s.audioEndMs()) {
        s.endAnnounced = true;
        fprintf(stderr, "Music '%s' ends at %.3f s; the clock runs on in silence.\n", s.path.c_str(),
                s.audioEndMs() * 0.001);
    }
    return s.lastReportedMs;
}

int MusicStreams::play(int channel, FSOUND_STREAM* stream) {
    if (!stream) return -1;
    if (channel < 0) channel = 0;
    {
        Hold hold(*this);
        if (playingStream && playingStream != stream) {
            // The stream replaced stands where it was heard last.
            readingMs(*playingStream);
            playingStream->stopPlaying();
        }
        stream->restartAt(readingMs(*stream));
        stream->playing = true;
        stream->paused = false;
        playingStream = stream;
        playingChannel = channel;
    }
    playStarted();
    return channel;
}

int MusicStreams::positionMs(FSOUND_STREAM* stream) {
    if (!stream) return 0;
    Hold hold(*this);
    return readingMs(*stream);
}

bool MusicStreams::seek(FSOUND_STREAM* stream, int positionMs) {
    if (!stream) return false;
    Hold hold(*this);
    stream->restartAt(std::max(positionMs, 0));
    return true;
}

bool MusicStreams::setPaused(int channel, bool paused) {
    Hold hold(*this);
    FSOUND_STREAM* s = playingStream;
    if (!s || channel != playingChannel || !s->playing) return false;
    if (paused == s->paused) return true;
    // Paused, the sound stops where it is heard; resumed, it goes on from there (a device may have
    // taken up to a buffer beyond what was heard).
    s->restartAt(readingMs(*s));
    s->paused = paused;
    return true;
}

void MusicStreams::setCallerTime(FSOUND_STREAM* stream, int positionMs) {
    if (!dynamic_cast<CallerClockStream*>(stream)) return;
    Hold hold(*this);
    stream->restartAt(positionMs);
}

void MusicStreams::clear() {
    Hold hold(*this);
    playingStream = nullptr;
    playingChannel = -1;
    streams.clear();
}

// The calls of platform/Sound.h that every host answers alike.

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream) {
    return soundStreams().play(channel, stream);
}

int FSOUND_Stream_GetTime(FSOUND_STREAM* stream) {
    return soundStreams().positionMs(stream);
}

signed char FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int positionMs) {
    return soundStreams().seek(stream, positionMs);
}

signed char FSOUND_SetPaused(int channel, signed char paused) {
    return soundStreams().setPaused(channel, paused != 0);
}

FSOUND_STREAM* openCallerClockStream() {
    return soundStreams().add(std::make_unique<CallerClockStream>());
}

FSOUND_STREAM* openSilentStream() {
    return soundStreams().add(std::make_unique<SilentStream>());
}

void setCallerClockTime(FSOUND_STREAM* stream, int positionMs) {
    soundStreams().setCallerTime(stream, positionMs);
}
