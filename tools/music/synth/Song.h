#pragma once
// The track: its arrangement and the mix. Everything is placed on the grid the show counts beats
// on, so the picture flashes with the kick.

#include <cstdint>
#include <vector>

#include "base/BeatGrid.h"
#include "music/synth/Dsp.h"

namespace music {

constexpr double trackSeconds = 208.0;
// The master bends the mix's peaks above clipKneeDb towards clipCeilingDb, and its limiter holds the
// true peak under masterCeilingDb. The lossy encoding moves peaks by a dB or two either way; the
// encoder lowers what it put above decodedTruePeakDb, which keeps the decoded file under -1 dBTP with
// a little to spare.
constexpr float clipKneeDb = -3.0f, clipCeilingDb = -2.0f;
constexpr float masterCeilingDb = -3.0f;
constexpr float decodedTruePeakDb = -1.2f;

// First sample of beat `beat` (1 = the first beat the show counts). Fractional beats address the
// sixteenths in between; every event of the track is placed through this one rounding.
int64_t beatSample(double beat);
int64_t trackSamples();

struct StereoBuffer {
    std::vector<float> left, right;
};

// Renders samples [0, sampleCount) of the track, mixed, faded and limited. A short render matches the
// start of the full one except for its last few milliseconds, which the limiter sees without look-ahead.
StereoBuffer renderSong(int64_t sampleCount);

} // namespace music
