#pragma once
// Stereo effects run block by block on the mix buses, and the master limiter run once over the whole
// rendered track. All of them process in place.

#include <cstdint>
#include <vector>

#include "music/synth/Dsp.h"

namespace music {

// Parallel damped feedback combs into series allpasses, one network per channel with slightly longer
// delays on the right for width. Output is the wet signal only.
class Reverb {
  public:
    Reverb(float roomSize, float damping);
    void process(float* left, float* right, int count);

  private:
    struct Comb {
        std::vector<float> line;
        size_t pos = 0;
        float store = 0.0f;
    };
    struct Allpass {
        std::vector<float> line;
        size_t pos = 0;
    };
    static constexpr int combs = 8, allpasses = 4;
    Comb comb_[2][combs];
    Allpass allpass_[2][allpasses];
    float feedback_, damping_;
    OnePole tone_[2];
};

// Two delay lines feeding each other: echoes alternate between the sides, each darker than the last.
class PingPongDelay {
  public:
    PingPongDelay(int64_t delaySamples, float feedback, float toneHz);
    void process(float* left, float* right, int count);

  private:
    std::vector<float> lineL_, lineR_;
    size_t pos_ = 0;
    float feedback_;
    OnePole toneL_, toneR_;
};

// Slowly modulated short delays mixed with the dry signal, a quarter cycle apart on the two sides.
class Chorus {
  public:
    Chorus(float rateHz, float depthSeconds, float mix);
    void process(float* left, float* right, int count);

  private:
    std::vector<float> lineL_, lineR_;
    size_t pos_ = 0;
    double phase_ = 0.0;
    float rate_, depth_, mix_;
};

// The largest magnitude of either channel around each sample, with the waveform between samples
// reconstructed at four times the rate: a sample peak misses the overs a converter (or a lossy
// decoder) puts between the samples. peaks[n] covers the stretch from sample n - 1 to n + 1.
std::vector<float> truePeaks(const std::vector<float>& left, const std::vector<float>& right);

// Bends the waveform's peaks above `knee` towards `ceiling` (softClip) on the waveform reconstructed at
// four times the rate, and brings back only the change, low-passed to the original band: samples
// whose neighbourhood stays under the knee are left exactly as they were, and the clipping's
// harmonics above half the rate do not fold back into the audible band.
void clipPeaks(std::vector<float>& left, std::vector<float>& right, float knee, float ceiling);

// Look-ahead peak limiter: the gain never lets the true peak (as truePeaks measures it) exceed
// `ceiling`, it falls over `lookahead` samples before a peak arrives (so nothing is clipped and no
// step is heard) and recovers with `releaseSeconds`. Processes a whole stereo track in place; the
// output is not delayed.
void limit(std::vector<float>& left, std::vector<float>& right, float ceiling, int lookahead,
           float releaseSeconds);

// The limiter's gain ride for any bound: sample n is multiplied by at most gain[n] (in (0, 1]), with
// the same ramp into each bound and release out of it.
void applyGainLimits(std::vector<float>& left, std::vector<float>& right, const std::vector<float>& gain,
                     int lookahead, float releaseSeconds);

} // namespace music
