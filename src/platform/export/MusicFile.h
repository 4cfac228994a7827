#pragma once
// Reading an Ogg Vorbis file's samples from a chosen point to its end, as 16-bit interleaved frames,
// for writing the soundtrack into something else (the video export). Playback is Sound.h's. The
// frames have the first link's rate, and two channels when any link has two: links of other
// formats are converted (platform/MusicDecoder.h).
#include <cstdint>
#include <memory>
#include <string>

class MusicDecoder;

class MusicFile {
public:
    MusicFile();
    ~MusicFile();
    MusicFile(const MusicFile&) = delete;
    MusicFile& operator=(const MusicFile&) = delete;

    // False with a reason naming the file when it can't be opened, isn't Ogg Vorbis, or has a link
    // that can't be converted or more than two channels.
    bool open(const std::string& path, std::string& error);
    int rate() const;     // frames per second
    int channels() const; // samples per frame
    // Moves to sample frame `frame` (clamped to the end). False when the file can't seek.
    bool seek(int64_t frame);
    // Up to `frames` frames into `samples` (room for frames x channels); returns how many were read,
    // fewer only at the end of the file, or -1 when decoding stops at a damaged part.
    int read(int16_t* samples, int frames);

private:
    std::unique_ptr<MusicDecoder> decoder; // null until opened
};
