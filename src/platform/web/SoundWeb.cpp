// Music in a browser: the track is decoded by the browser (Ogg Vorbis is one of its own formats)
// and played through Web Audio. A playing file stream's position is the sound being heard: the
// audio context's output timestamp, counted from when the track was started at its position.
// Until the track is decoded and the page may play sound (after the viewer's click), the position
// waits where it is, so the show waits with it. The other clocks are as in the program.
#include "platform/Sound.h"

#include <emscripten.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/RegularFile.h"

FSOUND_STREAM* musicStream = nullptr;

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

enum class Clock { file, monotonic, caller };

} // namespace

struct FSOUND_STREAM {
    Clock clock = Clock::monotonic;
    std::string path;
    bool playing = false;
    bool paused = false;
    int baseMs = 0;         // position when counting restarted
    double anchor = 0;      // monotonic: milliseconds then; file: context time the track started
    bool started = false;   // file: the browser plays the track from baseMs
    int lastReportedMs = 0; // readings never go backwards
    bool endAnnounced = false;
};

namespace {

std::vector<FSOUND_STREAM*> streams;
FSOUND_STREAM* playingStream = nullptr;
int playingChannel = -1;
bool contextMade = false;

void restartCount(FSOUND_STREAM* s, int positionMs) {
    if (s->clock == Clock::file && s->started) audioStop();
    s->baseMs = positionMs;
    s->anchor = emscripten_get_now();
    s->started = false;
    s->lastReportedMs = positionMs;
}

// A file stream starts sounding once its track is decoded and the page may play sound.
void startWhenAudible(FSOUND_STREAM* s) {
    if (s->started || !s->playing || s->paused) return;
    const int status = audioStatus();
    if (status < 0) {
        fprintf(stderr,
                "Cannot play music '%s': the browser could not decode it; the demo runs without it.\n",
                s->path.c_str());
        s->clock = Clock::monotonic;
        s->anchor = emscripten_get_now();
        return;
    }
    if (status == 0 || !audioRunning()) return;
    s->anchor = audioStart(s->baseMs);
    s->started = true;
}

int positionMs(FSOUND_STREAM* s) {
    if (!s->playing || s->paused) return s->lastReportedMs;
    double ms = s->baseMs;
    switch (s->clock) {
    case Clock::caller:
        break;
    case Clock::monotonic:
        ms += emscripten_get_now() - s->anchor;
        break;
    case Clock::file:
        startWhenAudible(s);
        if (s->clock == Clock::monotonic)
            ms += emscripten_get_now() - s->anchor;
        else if (s->started)
            ms += std::max(0.0, (audioHeardContextTime() - s->anchor) * 1000);
        break;
    }
    const int reading = static_cast<int>(std::min<double>(std::max<double>(ms, s->lastReportedMs), INT_MAX));
    s->lastReportedMs = reading;
    if (s->clock == Clock::file && !s->endAnnounced && s->started) {
        const int lengthMs = audioLengthMs();
        if (reading >= lengthMs) {
            s->endAnnounced = true;
            fprintf(stderr, "Music '%s' ends at %.3f s; the clock runs on in silence.\n", s->path.c_str(),
                    lengthMs * 0.001);
        }
    }
    return reading;
}

FSOUND_STREAM* openClockStream(Clock clock) {
    auto* s = new FSOUND_STREAM;
    s->clock = clock;
    s->anchor = emscripten_get_now();
    streams.push_back(s);
    return s;
}

} // namespace

signed char FSOUND_Init(int, int, unsigned int) {
    audioInit();
    contextMade = true;
    return 1;
}

FSOUND_STREAM* FSOUND_Stream_Open(const char* path, unsigned int, int, int) {
    FILE* file = openRegularFile(path);
    if (!file) {
        fprintf(stderr, "Cannot open music '%s': no such file; the demo runs without it.\n", path);
        return nullptr;
    }
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    const bool failed = ferror(file) != 0;
    fclose(file);
    if (failed || bytes.empty() || !contextMade) {
        fprintf(stderr, "Cannot open music '%s': %s; the demo runs without it.\n", path,
                !contextMade ? "no audio context" : "it can't be read");
        return nullptr;
    }
    audioDecode(bytes.data(), static_cast<int>(bytes.size()));
    FSOUND_STREAM* s = openClockStream(Clock::file);
    s->path = path;
    return s;
}

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream) {
    if (!stream) return -1;
    if (channel < 0) channel = 0;
    if (playingStream && playingStream != stream) {
        if (playingStream->clock == Clock::file && playingStream->started) audioStop();
        playingStream->started = false;
        playingStream->playing = false;
    }
    restartCount(stream, positionMs(stream));
    stream->playing = true;
    stream->paused = false;
    playingStream = stream;
    playingChannel = channel;
    return channel;
}

int FSOUND_Stream_GetTime(FSOUND_STREAM* stream) {
    return stream ? positionMs(stream) : 0;
}

signed char FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int positionMs) {
    if (!stream) return 0;
    restartCount(stream, std::max(positionMs, 0));
    return 1;
}

signed char FSOUND_SetPaused(int channel, signed char paused) {
    FSOUND_STREAM* s = playingStream;
    if (!s || channel != playingChannel || !s->playing) return 0;
    if ((paused != 0) == s->paused) return 1;
    const int at = positionMs(s);
    restartCount(s, at);
    s->paused = paused != 0;
    return 1;
}

void FSOUND_Close() {
    if (contextMade) audioStop();
    for (FSOUND_STREAM* s : streams) delete s;
    streams.clear();
    playingStream = nullptr;
    playingChannel = -1;
}

FSOUND_STREAM* openCallerClockStream() {
    return openClockStream(Clock::caller);
}

FSOUND_STREAM* openSilentStream() {
    return openClockStream(Clock::monotonic);
}

void setCallerClockTime(FSOUND_STREAM* stream, int positionMs) {
    if (!stream || stream->clock != Clock::caller) return;
    restartCount(stream, positionMs);
}
