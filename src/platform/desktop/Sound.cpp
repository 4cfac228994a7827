// Music on the desktop: Ogg Vorbis files decoded (platform/MusicDecoder.h) into one SDL audio device.
#include "platform/Sound.h"

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "base/RegularFile.h"
#include "platform/MusicDecoder.h"
#include "platform/MusicStream.h"

namespace {

constexpr int deviceChannels = 2;
constexpr int bytesPerDeviceFrame = 4;

SDL_AudioDeviceID gDevice = 0;
int gDeviceRate = 44100;

// Where a file stream's position comes from while it plays: the frames the device has taken (what
// is being heard), or the monotonic clock. SDL's dummy driver sleeps whole milliseconds per
// power-of-two buffer and so takes audio about two percent fast: on it, and without a device, the
// clock keeps real time better than the frames it takes. Past the end of its audio a stream runs on
// the clock, so a track that ends early never stops the show.
enum class Count { heardFrames, monotonic };
// Chosen with the device: how file streams opened from then on count.
Count gFileCount = Count::heardFrames;

struct DeviceStream final : FSOUND_STREAM {
    int64_t playedMs() override {
        if (count == Count::monotonic) return (monotonicNowNs() - anchorNs) / 1000000;
        // Between callbacks the device plays the last buffer it took: follow it with the clock, but
        // never past that buffer (a late callback must not let the reading run ahead of the sound).
        int64_t elapsedFrames = (monotonicNowNs() - anchorNs) * gDeviceRate / 1000000000;
        int64_t heard = consumedFrames + std::min(elapsedFrames, deliveredFrames - consumedFrames);
        if (endFrames >= 0) heard = std::min(heard, endFrames);
        return heard * 1000 / gDeviceRate;
    }

    // Puts the decoder at `positionMs` exactly (not a page seek, which lands early) and counts on
    // from there: on the file's count inside the audio, on the clock past its end.
    void restartAt(int positionMs) override {
        FSOUND_STREAM::restartAt(positionMs);
        decoder->seek(positionMs, 1000);
        consumedFrames = 0;
        deliveredFrames = 0;
        endFrames = -1;
        anchorNs = monotonicNowNs();
        count = positionMs < audioEnd ? fileCount : Count::monotonic;
    }

    int audioEndMs() override { return audioEnd; }

    // The device has played the last frame of audio, `heardAtNs` ago or just now: the position runs
    // on from there in silence.
    void runOnPastTheAudio(int64_t heardAtNs) {
        const int endMs = static_cast<int>(std::min<int64_t>(baseMs + endFrames * 1000 / gDeviceRate, INT_MAX));
        audioEnd = std::min(audioEnd, endMs);
        count = Count::monotonic;
        baseMs = endMs;
        consumedFrames = 0;
        deliveredFrames = 0;
        endFrames = -1;
        anchorNs = heardAtNs;
    }

    Count fileCount = Count::monotonic;
    Count count = Count::monotonic;
    // The file, decoded into the device's format.
    std::unique_ptr<MusicDecoder> decoder;
    int audioEnd = INT_MAX; // where the audio runs out: the declared length, or earlier where decoding failed
    // Counting, shared with the device callback, so changed only under the device lock.
    int64_t consumedFrames = 0;  // device frames heard since baseMs, as of the last callback
    int64_t deliveredFrames = 0; // device frames handed to the device since baseMs
    int64_t endFrames = -1;      // deliveredFrames at which the decoded audio ran out
    int64_t anchorNs = 0;        // monotonic time of the last callback or restart
};

class DeviceStreams final : public MusicStreams {
protected:
    void lock() override {
        if (gDevice) SDL_LockAudioDevice(gDevice);
    }
    void unlock() override {
        if (gDevice) SDL_UnlockAudioDevice(gDevice);
    }
    void playStarted() override {
        if (gDevice) SDL_PauseAudioDevice(gDevice, 0);
    }
};

// Never destroyed: the device's thread may still read the stream playing while the process exits.
DeviceStreams& deviceStreams() {
    static DeviceStreams* const streams = new DeviceStreams;
    return *streams;
}

// Fills `length` bytes of device frames: decoded audio of the stream playing, silence past it. A
// damaged file plays what was decoded, then stops.
void fillDevice(void*, Uint8* out, int length) {
    memset(out, 0, length);
    auto* s = dynamic_cast<DeviceStream*>(deviceStreams().playing());
    if (!s || s->count != Count::heardFrames || !s->playing || s->paused) return;
    const int frames = length / bytesPerDeviceFrame;
    const int64_t now = monotonicNowNs();
    if (s->endFrames >= 0 && s->deliveredFrames >= s->endFrames) {
        // The last real frame sounded (endFrames - consumedFrames) frames into the buffer taken last.
        s->runOnPastTheAudio(
            std::min(now, s->anchorNs + (s->endFrames - s->consumedFrames) * 1000000000 / gDeviceRate));
        return;
    }
    s->consumedFrames = s->deliveredFrames;
    s->anchorNs = now;
    if (s->endFrames < 0) {
        const int real = s->decoder->read(reinterpret_cast<int16_t*>(out), frames);
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
        gFileCount = driver && strcmp(driver, "dummy") == 0 ? Count::monotonic : Count::heardFrames;
    }
    return device;
}

} // namespace

MusicStreams& soundStreams() {
    return deviceStreams();
}

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
    auto s = std::make_unique<DeviceStream>();
    // Without any device nothing takes the samples: the stream keeps time on the clock.
    s->fileCount = s->count = gDevice ? gFileCount : Count::monotonic;
    s->path = path;
    s->decoder = openMusicDecoder(in, gDeviceRate, deviceChannels, reason);
    if (!s->decoder) {
        fprintf(stderr, "Cannot play music '%s': %s; the demo runs without it.\n", path, reason.c_str());
        return nullptr;
    }
    s->audioEnd = static_cast<int>(std::min<int64_t>(s->decoder->length(1000), INT_MAX));
    return deviceStreams().add(std::move(s));
}

void FSOUND_Close() {
    if (gDevice) {
        SDL_CloseAudioDevice(gDevice);
        gDevice = 0;
    }
    gFileCount = Count::heardFrames;
    if (SDL_WasInit(SDL_INIT_AUDIO)) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    deviceStreams().clear();
}
