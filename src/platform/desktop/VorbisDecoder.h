#pragma once
// Decoding an Ogg Vorbis file into one output format (rate and channel count, 16-bit samples). A
// chained file's links may each have another rate or channel count: each is converted with SDL's
// audio converter, so every link plays at its own pitch and length. Positions and lengths count
// each link at its own rate. Playback (Sound.h) and the export's soundtrack (MusicFile.h) decode
// through it.
#include <cstdint>
#include <cstdio>
#include <string>

class VorbisDecoder {
public:
    VorbisDecoder();
    ~VorbisDecoder();
    VorbisDecoder(const VorbisDecoder&) = delete;
    VorbisDecoder& operator=(const VorbisDecoder&) = delete;

    // Takes `file`, which the decoder closes (also when it fails). An output rate of 0 is the first
    // link's; an output channel count of 0 is the most any link has. False with why in `reason`
    // when the file isn't Ogg Vorbis, a link has a rate or channel count that can't be converted
    // (below 1000 Hz or above 384 kHz, more than 8 channels), or more than 16 MB of something else
    // follow the last Ogg page. Less than that is left out: the audio ends with the last page.
    bool open(FILE* file, int outputRate, int outputChannels, std::string& reason);
    bool isOpen() const;
    int outputRate() const;     // frames per second
    int outputChannels() const; // samples per frame

    // Length of the audio in `unitsPerSecond`, each link's rounded down.
    int64_t length(int64_t unitsPerSecond) const;
    // Moves to `position` in `unitsPerSecond` (clamped to 0 and the end), sample-exactly within the
    // link it falls in. False when the file can't seek.
    bool seek(int64_t position, int64_t unitsPerSecond);
    // Up to `frames` output frames into `samples` (interleaved, room for frames x outputChannels);
    // returns how many, fewer only at the end of the audio or where decoding failed.
    int read(int16_t* samples, int frames);
    // Decoding stopped at a damaged part of the file rather than at its end.
    bool damaged() const;

private:
    struct State;
    State* state;
};
