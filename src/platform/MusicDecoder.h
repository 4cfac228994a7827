#pragma once
// A music file decoded into one output format: a rate and a channel count, 16-bit samples. A file
// whose parts differ in rate or channel count (a chained Ogg file's links) is converted part by
// part, so each keeps its pitch and length; positions and lengths count each part at its own rate.
// The desktop's sound device (desktop/Sound.cpp) and the export's soundtrack (export/MusicFile.h)
// read the music through it; Ogg Vorbis is decoded by desktop/VorbisDecoder.cpp. The browser
// decodes its music itself (web/SoundWeb.cpp).
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class MusicDecoder {
public:
    MusicDecoder() = default;
    MusicDecoder(const MusicDecoder&) = delete;
    MusicDecoder& operator=(const MusicDecoder&) = delete;
    virtual ~MusicDecoder() = default;

    virtual int outputRate() const = 0;     // frames per second
    virtual int outputChannels() const = 0; // samples per frame

    // Length of the audio in `unitsPerSecond`, each part's rounded down.
    virtual int64_t length(int64_t unitsPerSecond) const = 0;
    // Moves to `position` in `unitsPerSecond` (clamped to 0 and the end), sample-exactly within the
    // part it falls in. False when the file can't seek.
    virtual bool seek(int64_t position, int64_t unitsPerSecond) = 0;
    // Up to `frames` output frames into `samples` (interleaved, room for frames x outputChannels);
    // returns how many, fewer only at the end of the audio or where decoding failed.
    virtual int read(int16_t* samples, int frames) = 0;
    // Decoding stopped at a damaged part of the file rather than at its end.
    virtual bool damaged() const = 0;
};

// Opens the music in `file`, which the decoder takes and closes (also when it fails). An output
// rate of 0 is the first link's; an output channel count of 0 is the most any link has. Null with
// why in `reason` when the file isn't Ogg Vorbis, a link has a rate or channel count that can't be
// converted (below 1000 Hz or above 384 kHz, more than 8 channels), or more than 16 MB of something
// else follow the last Ogg page. Less than that is left out: the audio ends with the last page.
std::unique_ptr<MusicDecoder> openMusicDecoder(FILE* file, int outputRate, int outputChannels,
                                               std::string& reason);
