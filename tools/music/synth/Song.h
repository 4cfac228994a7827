#pragma once
// The track: its arrangement and the mix. Everything is placed on the grid the show counts beats
// on, so the picture flashes with the kick.

#include <cstdint>
#include <vector>

#include "base/BeatGrid.h"
#include "music/synth/Dsp.h"

namespace music {

constexpr double trackSeconds = 208.0;
// The rendered mix peaks at most here; the lossy encoding adds a little on top, which must still stay
// below -1 dBFS in the decoded file.
constexpr float masterCeilingDb = -2.7f;

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
