#include "platform/Sound.h"

#include <SDL.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
class TimeSource;
} // namespace

struct FSOUND_STREAM {
    const TimeSource* clock = nullptr; // where the position comes from while it plays

    // The decoded file; a caller clock has none.
    OggVorbis_File file{};
    bool hasFile = false;
    int rate = 0;     // of the file, frames per second
    int channels = 0; // of the file
    int64_t totalFrames = 0;
    int lengthMs = 0;                     // a caller clock has no end: INT_MAX
    SDL_AudioStream* converter = nullptr; // file format -> device format
    bool decoderAtEnd = false;

    // Playback state; the device callback shares it, so it changes only under the device lock.
    bool playing = false;
    bool paused = false;
    bool ended = false;
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
// backwards and ends the stream at its length.
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

// Restarts position counting at `positionMs`; the decoder must already be there.
void restartCount(FSOUND_STREAM* s, int positionMs) {
    s->baseMs = positionMs;
    s->consumedFrames = 0;
    s->deliveredFrames = 0;
    s->endFrames = -1;
    s->anchorNs = nowNs();
    s->lastReportedMs = positionMs;
    s->ended = s->lengthMs > 0 && positionMs >= s->lengthMs;
}

// Puts the decoder at `positionMs` exactly (ov_pcm_seek, not the page seek that lands early).
void seekDecoder(FSOUND_STREAM* s, int positionMs) {
    if (!s->hasFile) return;
    int64_t frame = static_cast<int64_t>(positionMs) * s->rate / 1000;
    frame = std::min(frame, s->totalFrames);
    ov_pcm_seek(&s->file, frame);
    SDL_AudioStreamClear(s->converter);
    s->decoderAtEnd = false;
}

int positionMs(FSOUND_STREAM* s) {
    if (s->ended) return s->lengthMs;
    if (!s->playing || s->paused) return s->lastReportedMs;
    int64_t ms = std::max<int64_t>(s->clock->playingMs(*s), s->lastReportedMs);
    if (ms >= s->lengthMs) {
        // A silent stream ends here; one the device plays ends when the device has taken it all.
        if (!s->clock->feedsDevice()) s->ended = true;
        ms = s->lengthMs;
    }
    s->lastReportedMs = static_cast<int>(ms);
    return s->lastReportedMs;
}

// Fills `frames` device frames with decoded audio; returns how many were real audio.
int decodeInto(FSOUND_STREAM* s, Uint8* out, int frames) {
    const int wanted = frames * bytesPerDeviceFrame;
    int got = 0;
    char packet[4096];
    while (got < wanted) {
        if (SDL_AudioStreamAvailable(s->converter) > 0) {
            int n = SDL_AudioStreamGet(s->converter, out + got, wanted - got);
            if (n <= 0) break;
            got += n;
            continue;
        }
        if (s->decoderAtEnd) break;
        int section = 0;
        long n = ov_read(&s->file, packet, sizeof packet, 0, 2, 1, &section);
        if (n == OV_HOLE) continue;
        if (n <= 0) {
            // End of file, or a damaged one: play what was decoded, then stop.
            s->decoderAtEnd = true;
            SDL_AudioStreamFlush(s->converter);
            continue;
        }
        SDL_AudioStreamPut(s->converter, packet, static_cast<int>(n));
    }
    return got / bytesPerDeviceFrame;
}

void fillDevice(void*, Uint8* out, int length) {
    memset(out, 0, length);
    FSOUND_STREAM* s = gPlaying;
    if (!s || !s->clock->feedsDevice() || !s->playing || s->paused || s->ended) return;
    const int frames = length / bytesPerDeviceFrame;
    s->consumedFrames = s->deliveredFrames;
    s->anchorNs = nowNs();
    if (s->endFrames >= 0 && s->consumedFrames >= s->endFrames) {
        s->ended = true;
        return;
    }
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
        fprintf(stderr, "No audio at all (%s): the demo clock stands still.\n", SDL_GetError());
        return 0;
    }
    return 1;
}

FSOUND_STREAM* FSOUND_Stream_Open(const char* path, unsigned int, int, int) {
    FILE* in = fopen(path, "rb");
    if (!in) {
        fprintf(stderr, "Cannot open music '%s': %s; the demo runs without it.\n", path, strerror(errno));
        return nullptr;
    }
    auto* s = new FSOUND_STREAM;
    s->clock = gFileClock;
    int status = ov_open_callbacks(in, &s->file, nullptr, 0, OV_CALLBACKS_DEFAULT);
    if (status != 0) {
        fclose(in);
        delete s;
        fprintf(stderr,
                "Cannot play music '%s': not an Ogg Vorbis file (error %d); the demo runs without it.\n",
                path, status);
        return nullptr;
    }
    vorbis_info* info = ov_info(&s->file, -1);
    s->rate = static_cast<int>(info->rate);
    s->channels = info->channels;
    s->totalFrames = std::max<int64_t>(ov_pcm_total(&s->file, -1), 0);
    s->lengthMs = static_cast<int>(s->totalFrames * 1000 / std::max(s->rate, 1));
    s->converter = SDL_NewAudioStream(AUDIO_S16LSB, static_cast<Uint8>(s->channels), s->rate, AUDIO_S16LSB,
                                      deviceChannels, gDeviceRate);
    if (!s->converter) {
        fprintf(stderr, "Cannot play music '%s': %s; the demo runs without it.\n", path, SDL_GetError());
        ov_clear(&s->file);
        delete s;
        return nullptr;
    }
    s->hasFile = true;
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
    int target = std::min(std::max(positionMs, 0), stream->lengthMs);
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
    for (FSOUND_STREAM* s : gStreams) {
        if (s->hasFile) {
            ov_clear(&s->file);
            SDL_FreeAudioStream(s->converter);
        }
        delete s;
    }
    gStreams.clear();
    gPlaying = nullptr;
    gPlayingChannel = -1;
}

FSOUND_STREAM* openCallerClockStream() {
    auto* s = new FSOUND_STREAM;
    s->clock = &callerTime;
    s->lengthMs = INT_MAX;
    DeviceLock lock;
    gStreams.push_back(s);
    return s;
}

void setCallerClockTime(FSOUND_STREAM* stream, int positionMs) {
    if (!stream || stream->clock != &callerTime) return;
    DeviceLock lock;
    restartCount(stream, positionMs);
}
