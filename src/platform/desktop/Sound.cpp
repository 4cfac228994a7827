#include "platform/Sound.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/RegularFile.h"
#include "platform/desktop/VorbisDecoder.h"

namespace {
class TimeSource;
} // namespace

struct FSOUND_STREAM {
    // Where the position comes from while it plays: fileClock up to the end of the audio, the
    // monotonic clock past it, so a track that ends early never stops the show.
    const TimeSource* fileClock = nullptr;
    const TimeSource* clock = nullptr;
    std::string path; // of the file, for the line said when its audio runs out

    // The file, decoded into the device's format; a caller clock has none.
    VorbisDecoder decoder;
    int lengthMs = 0;          // the length the file declares; INT_MAX for a stream without audio
    int audioEndMs = INT_MAX;  // where the audio runs out: lengthMs, or earlier where decoding failed
    bool endAnnounced = false; // the line about the end has been said

    // Playback state; the device callback shares it, so it changes only under the device lock.
    bool playing = false;
    bool paused = false;
    int baseMs = 0;              // position at the last play, seek or resume
    int64_t consumedFrames = 0;  // device frames heard since baseMs, as of the last callback
    int64_t deliveredFrames = 0; // device frames handed to the device since baseMs
    int64_t endFrames = -1;      // deliveredFrames at which the decoded audio ran out
    int64_t anchorNs = 0;        // monotonic time of the last callback or reset
    int lastReportedMs = 0;      // keeps successive readings from going backwards
};

FSOUND_STREAM* musicStream = nullptr;

namespace {

constexpr int deviceChannels = 2;
constexpr int bytesPerDeviceFrame = 4;

SDL_AudioDeviceID gDevice = 0;
int gDeviceRate = 44100;
std::vector<FSOUND_STREAM*> gStreams;
FSOUND_STREAM* gPlaying = nullptr;
int gPlayingChannel = -1;

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Where a playing, unpaused stream's position comes from. positionMs keeps the readings from going
// backwards.
class TimeSource {
public:
    virtual ~TimeSource() = default;
    virtual int64_t playingMs(const FSOUND_STREAM& s) const = 0;
    // Whether the device callback decodes the stream into the device.
    virtual bool feedsDevice() const { return false; }
};

// The frames the device has taken: what is being heard.
class HeardSamples final : public TimeSource {
public:
    int64_t playingMs(const FSOUND_STREAM& s) const override {
        // Between callbacks the device plays the last buffer it took: follow it with the clock, but
        // never past that buffer (a late callback must not let the reading run ahead of the sound).
        int64_t elapsedFrames = (nowNs() - s.anchorNs) * gDeviceRate / 1000000000;
        int64_t heard = s.consumedFrames + std::min(elapsedFrames, s.deliveredFrames - s.consumedFrames);
        if (s.endFrames >= 0) heard = std::min(heard, s.endFrames);
        return s.baseMs + heard * 1000 / gDeviceRate;
    }
    bool feedsDevice() const override { return true; }
};

// The monotonic clock since the last play, seek or resume. SDL's dummy driver sleeps whole
// milliseconds per power-of-two buffer and so takes audio about two percent fast: on it a silent
// stream keeps real time better than the frames it takes.
class MonotonicTime final : public TimeSource {
public:
    int64_t playingMs(const FSOUND_STREAM& s) const override {
        return s.baseMs + (nowNs() - s.anchorNs) / 1000000;
    }
};

// Whatever the caller set last; it never moves by itself.
class CallerTime final : public TimeSource {
public:
    int64_t playingMs(const FSOUND_STREAM& s) const override { return s.baseMs; }
};

const HeardSamples heardSamples;
const MonotonicTime monotonicTime;
const CallerTime callerTime;
// Chosen with the device: the clock of file streams opened from then on.
const TimeSource* gFileClock = &heardSamples;

class DeviceLock {
public:
    DeviceLock() {
        if (gDevice) SDL_LockAudioDevice(gDevice);
    }
    ~DeviceLock() {
        if (gDevice) SDL_UnlockAudioDevice(gDevice);
    }
};

// Restarts position counting at `positionMs` (the decoder must already be there), on the file's
// clock inside the audio and on the monotonic clock past its end.
void restartCount(FSOUND_STREAM* s, int positionMs) {
    s->baseMs = positionMs;
    s->consumedFrames = 0;
    s->deliveredFrames = 0;
    s->endFrames = -1;
    s->anchorNs = nowNs();
    s->lastReportedMs = positionMs;
    s->clock = positionMs < s->audioEndMs ? s->fileClock : &monotonicTime;
}

// The device has played the last frame of audio, `heardAtNs` ago or just now: the position runs on
// from there in silence.
void runOnPastTheAudio(FSOUND_STREAM* s, int64_t heardAtNs) {
    int endMs = static_cast<int>(std::min<int64_t>(s->baseMs + s->endFrames * 1000 / gDeviceRate, INT_MAX));
    s->audioEndMs = std::min(s->audioEndMs, endMs);
    s->clock = &monotonicTime;
    s->baseMs = endMs;
    s->consumedFrames = 0;
    s->deliveredFrames = 0;
    s->endFrames = -1;
    s->anchorNs = heardAtNs;
}

// Puts the decoder at `positionMs` exactly (not a page seek, which lands early).
void seekDecoder(FSOUND_STREAM* s, int positionMs) {
    if (s->decoder.isOpen()) s->decoder.seek(positionMs, 1000);
}

int positionMs(FSOUND_STREAM* s) {
    if (!s->playing || s->paused) return s->lastReportedMs;
    int64_t ms = std::min<int64_t>(std::max<int64_t>(s->clock->playingMs(*s), s->lastReportedMs), INT_MAX);
    s->lastReportedMs = static_cast<int>(ms);
    if (s->decoder.isOpen() && !s->endAnnounced && ms >= s->audioEndMs) {
        s->endAnnounced = true;
        fprintf(stderr, "Music '%s' ends at %.3f s; the clock runs on in silence.\n", s->path.c_str(),
                s->audioEndMs * 0.001);
    }
    return s->lastReportedMs;
}

// Fills `frames` device frames with decoded audio; returns how many were real audio. A damaged
// file plays what was decoded, then stops.
int decodeInto(FSOUND_STREAM* s, Uint8* out, int frames) {
    return s->decoder.read(reinterpret_cast<int16_t*>(out), frames);
}

void fillDevice(void*, Uint8* out, int length) {
    memset(out, 0, length);
    FSOUND_STREAM* s = gPlaying;
    if (!s || !s->clock->feedsDevice() || !s->playing || s->paused) return;
    const int frames = length / bytesPerDeviceFrame;
    const int64_t now = nowNs();
    if (s->endFrames >= 0 && s->deliveredFrames >= s->endFrames) {
        // The last real frame sounded (endFrames - consumedFrames) frames into the buffer taken last.
        runOnPastTheAudio(
            s, std::min(now, s->anchorNs + (s->endFrames - s->consumedFrames) * 1000000000 / gDeviceRate));
        return;
    }
    s->consumedFrames = s->deliveredFrames;
    s->anchorNs = now;
    if (s->endFrames < 0) {
        int real = decodeInto(s, out, frames);
        if (real < frames) s->endFrames = s->deliveredFrames + real;
    }
    s->deliveredFrames += frames;
}

SDL_AudioDeviceID openDevice(int mixRate) {
    SDL_AudioSpec want{};
    want.freq = mixRate;
    want.format = AUDIO_S16LSB;
    want.channels = deviceChannels;
    want.samples = 1024;
    want.callback = fillDevice;
    SDL_AudioSpec have{};
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device) {
        gDeviceRate = want.freq;
        const char* driver = SDL_GetCurrentAudioDriver();
        if (driver && strcmp(driver, "dummy") == 0)
            gFileClock = &monotonicTime;
        else
            gFileClock = &heardSamples;
    }
    return device;
}

} // namespace

signed char FSOUND_Init(int mixRate, int, unsigned int) {
    if (gDevice) return 1;
    if (mixRate <= 0) mixRate = 44100;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) gDevice = openDevice(mixRate);
    if (!gDevice) {
        char reason[256];
        snprintf(reason, sizeof reason, "%s", SDL_GetError());
        if (SDL_WasInit(SDL_INIT_AUDIO)) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) gDevice = openDevice(mixRate);
        fprintf(stderr, "No audio device (%s): the music runs silently in real time.\n", reason);
    }
    if (!gDevice) {
        fprintf(stderr, "No audio at all (%s): the music runs silently in real time.\n", SDL_GetError());
        return 0;
    }
    return 1;
}

FSOUND_STREAM* FSOUND_Stream_Open(const char* path, unsigned int, int, int) {
    std::string reason;
    FILE* in = openRegularFile(path, &reason);
    if (!in) {
        fprintf(stderr, "Cannot open music '%s': %s; the demo runs without it.\n", path, reason.c_str());
        return nullptr;
    }
    auto* s = new FSOUND_STREAM;
    // Without any device nothing takes the samples: the stream keeps time on the clock.
    s->fileClock = s->clock = gDevice ? gFileClock : &monotonicTime;
    s->path = path;
    if (!s->decoder.open(in, gDeviceRate, deviceChannels, reason)) {
        delete s;
        fprintf(stderr, "Cannot play music '%s': %s; the demo runs without it.\n", path, reason.c_str());
        return nullptr;
    }
    s->lengthMs = static_cast<int>(std::min<int64_t>(s->decoder.length(1000), INT_MAX));
    s->audioEndMs = s->lengthMs;
    DeviceLock lock;
    gStreams.push_back(s);
    return s;
}

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream) {
    if (!stream) return -1;
    if (channel < 0) channel = 0;
    {
        DeviceLock lock;
        if (gPlaying && gPlaying != stream) gPlaying->playing = false;
        int from = positionMs(stream);
        seekDecoder(stream, from);
        restartCount(stream, from);
        stream->playing = true;
        stream->paused = false;
        gPlaying = stream;
        gPlayingChannel = channel;
    }
    if (gDevice) SDL_PauseAudioDevice(gDevice, 0);
    return channel;
}

int FSOUND_Stream_GetTime(FSOUND_STREAM* stream) {
    if (!stream) return 0;
    DeviceLock lock;
    return positionMs(stream);
}

signed char FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int positionMs) {
    if (!stream) return 0;
    int target = std::max(positionMs, 0);
    DeviceLock lock;
    seekDecoder(stream, target);
    restartCount(stream, target);
    return 1;
}

signed char FSOUND_SetPaused(int channel, signed char paused) {
    DeviceLock lock;
    FSOUND_STREAM* s = gPlaying;
    if (!s || channel != gPlayingChannel || !s->playing) return 0;
    if ((paused != 0) == s->paused) return 1;
    int at = positionMs(s);
    if (paused) {
        s->paused = true;
        s->lastReportedMs = at;
    } else {
        // The device had taken up to a buffer beyond what was heard: go back to the heard frame.
        seekDecoder(s, at);
        restartCount(s, at);
        s->paused = false;
    }
    return 1;
}

void FSOUND_Close() {
    if (gDevice) {
        SDL_CloseAudioDevice(gDevice);
        gDevice = 0;
    }
    gFileClock = &heardSamples;
    if (SDL_WasInit(SDL_INIT_AUDIO)) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    for (FSOUND_STREAM* s : gStreams) delete s;
    gStreams.clear();
    gPlaying = nullptr;
    gPlayingChannel = -1;
}

namespace {
FSOUND_STREAM* openClockStream(const TimeSource* clock) {
    auto* s = new FSOUND_STREAM;
    s->fileClock = s->clock = clock;
    s->lengthMs = INT_MAX;
    DeviceLock lock;
    gStreams.push_back(s);
    return s;
}
} // namespace

FSOUND_STREAM* openCallerClockStream() {
    return openClockStream(&callerTime);
}

FSOUND_STREAM* openSilentStream() {
    return openClockStream(&monotonicTime);
}

void setCallerClockTime(FSOUND_STREAM* stream, int positionMs) {
    if (!stream || stream->clock != &callerTime) return;
    DeviceLock lock;
    restartCount(stream, positionMs);
}
