// Music in a browser: the track is decoded by the browser (Ogg Vorbis is one of its own formats)
// and played through Web Audio. A playing file stream's position is the sound being heard: the
// audio context's output timestamp, counted from when the track was started at its position.
// Until the track is decoded and the page may play sound (after the viewer's click), the position
// waits where it is, so the show waits with it. The other clocks are as in the program.
#include "platform/Sound.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "base/RegularFile.h"
#include "platform/MusicStream.h"

// The longest music file read into memory to decode, bytes: the show's track is a few megabytes.
static constexpr size_t longestMusicFile = 64u << 20;

// clang-format off
EM_JS(void, audioInit, (), {
    const page = Module.lumorakka;
    if (!page.audio) page.audio = new AudioContext();
    page.audioStatus = 0;
    page.audioBuffer = null;
    page.audioSource = null;
});

// Hands the file's bytes to the browser's decoder; audioStatus turns 1 when it is decoded, -1
// when it can't be.
EM_JS(void, audioDecode, (const unsigned char* bytes, int length), {
    const page = Module.lumorakka;
    const copy = HEAPU8.slice(bytes, bytes + length).buffer;
    page.audioStatus = 0;
    page.audio.decodeAudioData(copy).then(buffer => {
        page.audioBuffer = buffer;
        page.audioStatus = 1;
    }, error => {
        page.audioStatus = -1;
        page.audioError = String(error);
    });
});

EM_JS(int, audioStatus, (), {
    return Module.lumorakka.audioStatus;
});

EM_JS(int, audioLengthMs, (), {
    const buffer = Module.lumorakka.audioBuffer;
    return buffer ? Math.floor(buffer.duration * 1000) : 0;
});

EM_JS(int, audioRunning, (), {
    return Module.lumorakka.audio.state === 'running' ? 1 : 0;
});

// The context time of the sample being heard now.
EM_JS(double, audioHeardContextTime, (), {
    const context = Module.lumorakka.audio;
    if (context.getOutputTimestamp) {
        const stamp = context.getOutputTimestamp();
        if (stamp.contextTime > 0) {
            const since = (performance.now() - stamp.performanceTime) / 1000;
            return Math.min(stamp.contextTime + Math.max(since, 0), context.currentTime);
        }
    }
    return Math.max(context.currentTime - (context.outputLatency || context.baseLatency || 0), 0);
});

// Starts the track at `offsetMs`; returns the context time its first sample is played at.
EM_JS(double, audioStart, (int offsetMs), {
    const page = Module.lumorakka;
    if (page.audioSource) page.audioSource.stop();
    const source = page.audio.createBufferSource();
    source.buffer = page.audioBuffer;
    source.connect(page.audio.destination);
    const at = page.audio.currentTime;
    const offset = offsetMs / 1000;
    if (offset < page.audioBuffer.duration) source.start(at, offset);
    page.audioSource = source;
    page.audioStartedAt = { contextTime: at, offset: offset };
    return at;
});

EM_JS(void, audioStop, (), {
    const page = Module.lumorakka;
    if (page.audioSource) page.audioSource.stop();
    page.audioSource = null;
    page.audioStartedAt = null;
});
// clang-format on

namespace {

bool contextMade = false;

// The track as the browser plays it. Until it sounds, its position waits where it is; should the
// browser fail to decode it, the position runs on the monotonic clock instead, in silence.
struct AudioStream final : SilentStream {
    int64_t playedMs() override {
        startWhenAudible();
        if (silent) return SilentStream::playedMs();
        if (!started) return 0;
        return static_cast<int64_t>(std::max(0.0, (audioHeardContextTime() - startedAt) * 1000));
    }

    void restartAt(int positionMs) override {
        stopSound();
        SilentStream::restartAt(positionMs);
    }

    void stopPlaying() override {
        stopSound();
        playing = false;
    }

    int audioEndMs() override { return started ? audioLengthMs() : INT_MAX; }

    // Starts the sound once the track is decoded and the page may play sound.
    void startWhenAudible() {
        if (started || silent) return;
        const int status = audioStatus();
        if (status < 0) {
            fprintf(stderr,
                    "Cannot play music '%s': the browser could not decode it; the demo runs without it.\n",
                    path.c_str());
            silent = true;
            anchorNs = monotonicNowNs();
            return;
        }
        if (status == 0 || !audioRunning()) return;
        startedAt = audioStart(baseMs);
        started = true;
    }

    void stopSound() {
        if (started) audioStop();
        started = false;
    }

    bool started = false; // the browser plays the track from baseMs
    double startedAt = 0; // the context time it started at, seconds
    bool silent = false;  // the browser could not decode it
};

MusicStreams gStreams;

} // namespace

MusicStreams& soundStreams() {
    return gStreams;
}

signed char FSOUND_Init(int, int, unsigned int) {
    audioInit();
    contextMade = true;
    return 1;
}

FSOUND_STREAM* FSOUND_Stream_Open(const char* path, unsigned int, int, int) {
    std::string bytes;
    long long length = -1;
    const FileRead read = readWholeFile(path, longestMusicFile, bytes, &length);
    if (read != FileRead::whole || bytes.empty() || !contextMade) {
        const std::string why = !contextMade          ? "there is no audio context"
                                : read == FileRead::whole ? "it is empty"
                                                          : "it " + describeFileRead(read, longestMusicFile, length);
        fprintf(stderr, "Cannot open music '%s': %s; the demo runs without it.\n", path, why.c_str());
        return nullptr;
    }
    audioDecode(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    auto s = std::make_unique<AudioStream>();
    s->path = path;
    return gStreams.add(std::move(s));
}

void FSOUND_Close() {
    if (contextMade) audioStop();
    gStreams.clear();
}
