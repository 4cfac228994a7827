#include "music/synth/Effects.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace music {

namespace {
// Comb and allpass lengths in samples: mutually prime-ish so their echoes do not pile up into a pitch.
constexpr int combLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr int allpassLengths[4] = {556, 441, 341, 225};
constexpr int stereoSpread = 23;
} // namespace

Reverb::Reverb(float roomSize, float damping) : feedback_(roomSize), damping_(damping) {
    for (int c = 0; c < 2; ++c) {
        for (int k = 0; k < combs; ++k) comb_[c][k].line.assign(combLengths[k] + c * stereoSpread, 0.0f);
        for (int k = 0; k < allpasses; ++k)
            allpass_[c][k].line.assign(allpassLengths[k] + c * stereoSpread, 0.0f);
        tone_[c].set(9000.0f);
    }
}

void Reverb::process(float* left, float* right, int count) {
    float* channels[2] = {left, right};
    for (int i = 0; i < count; ++i) {
        float input = (left[i] + right[i]) * 0.015f;
        for (int c = 0; c < 2; ++c) {
            float out = 0.0f;
            for (Comb& comb : comb_[c]) {
                float delayed = comb.line[comb.pos];
                comb.store = delayed * (1.0f - damping_) + comb.store * damping_;
                comb.line[comb.pos] = input + comb.store * feedback_;
                if (++comb.pos == comb.line.size()) comb.pos = 0;
                out += delayed;
            }
            for (Allpass& ap : allpass_[c]) {
                float delayed = ap.line[ap.pos];
                ap.line[ap.pos] = out + delayed * 0.5f;
                out = delayed - out;
                if (++ap.pos == ap.line.size()) ap.pos = 0;
            }
            channels[c][i] = tone_[c].process(out);
        }
    }
}

PingPongDelay::PingPongDelay(int64_t delaySamples, float feedback, float toneHz)
    : lineL_(static_cast<size_t>(delaySamples), 0.0f), lineR_(static_cast<size_t>(delaySamples), 0.0f),
      feedback_(feedback) {
    toneL_.set(toneHz);
    toneR_.set(toneHz);
}

void PingPongDelay::process(float* left, float* right, int count) {
    for (int i = 0; i < count; ++i) {
        float outL = lineL_[pos_], outR = lineR_[pos_];
        // The input enters on the left only; the cross feed makes the first echo left, the next right...
        lineL_[pos_] = toneL_.process(0.5f * (left[i] + right[i]) + outR * feedback_);
        lineR_[pos_] = toneR_.process(outL);
        if (++pos_ == lineL_.size()) pos_ = 0;
        left[i] = outL;
        right[i] = outR;
    }
}

Chorus::Chorus(float rateHz, float depthSeconds, float mix)
    : lineL_(4096, 0.0f), lineR_(4096, 0.0f), rate_(rateHz), depth_(depthSeconds * sampleRate), mix_(mix) {}

void Chorus::process(float* left, float* right, int count) {
    const size_t size = lineL_.size();
    const float base = 0.014f * sampleRate;
    auto tap = [&](const std::vector<float>& line, float delay) {
        float position = static_cast<float>(pos_) + static_cast<float>(size) - delay;
        size_t whole = static_cast<size_t>(position);
        float frac = position - static_cast<float>(whole);
        float a = line[whole % size], b = line[(whole + 1) % size];
        return a + (b - a) * frac;
    };
    for (int i = 0; i < count; ++i) {
        lineL_[pos_] = left[i];
        lineR_[pos_] = right[i];
        float modL = static_cast<float>(std::sin(2.0 * pi * phase_));
        float modR = static_cast<float>(std::cos(2.0 * pi * phase_));
        phase_ += rate_ / sampleRate;
        if (phase_ >= 1.0) phase_ -= 1.0;
        float wetL = tap(lineL_, base + depth_ * modL);
        float wetR = tap(lineR_, base + depth_ * modR);
        left[i] = left[i] * (1.0f - mix_) + wetL * mix_;
        right[i] = right[i] * (1.0f - mix_) + wetR * mix_;
        if (++pos_ == size) pos_ = 0;
    }
}

namespace {

// Windowed-sinc interpolation at a quarter, a half and three quarters of the way from one sample to
// the next: `halfTaps` samples on either side, under a Blackman window.
constexpr int oversampling = 4, halfTaps = 8;
struct Interpolator {
    float taps[oversampling - 1][2 * halfTaps];
    Interpolator() {
        for (int phase = 1; phase < oversampling; ++phase) {
            const double offset = static_cast<double>(phase) / oversampling;
            double sum = 0.0;
            for (int k = 0; k < 2 * halfTaps; ++k) {
                // Tap k weighs sample n - halfTaps + 1 + k for the point n + offset.
                const double x = static_cast<double>(k - halfTaps + 1) - offset;
                const double sinc = std::sin(pi * x) / (pi * x);
                const double w = (x + halfTaps) / (2.0 * halfTaps);
                const double window = 0.42 - 0.5 * std::cos(2.0 * pi * w) + 0.08 * std::cos(4.0 * pi * w);
                taps[phase - 1][k] = static_cast<float>(sinc * window);
                sum += sinc * window;
            }
            // Unity gain at 0 Hz, so a constant stays constant between the samples.
            for (float& tap : taps[phase - 1]) tap = static_cast<float>(tap / sum);
        }
    }
};

} // namespace

std::vector<float> truePeaks(const std::vector<float>& left, const std::vector<float>& right) {
    static const Interpolator interpolator;
    const size_t count = std::min(left.size(), right.size());
    // Between samples n and n + 1, for each n; the stretches past either end read silence.
    std::vector<float> between(count, 0.0f);
    for (const std::vector<float>* channel : {&left, &right}) {
        const float* x = channel->data();
        for (size_t n = 0; n < count; ++n) {
            const bool inside = n + 1 >= halfTaps && n + halfTaps < count;
            float most = between[n];
            for (const auto& taps : interpolator.taps) {
                float value = 0.0f;
                if (inside) {
                    const float* from = x + n + 1 - halfTaps;
                    for (int k = 0; k < 2 * halfTaps; ++k) value += taps[k] * from[k];
                } else {
                    for (int k = 0; k < 2 * halfTaps; ++k) {
                        const int64_t at = static_cast<int64_t>(n) + 1 - halfTaps + k;
                        if (at >= 0 && at < static_cast<int64_t>(count)) value += taps[k] * x[at];
                    }
                }
                most = std::max(most, std::fabs(value));
            }
            between[n] = most;
        }
    }
    std::vector<float> peaks(count);
    for (size_t n = 0; n < count; ++n) {
        float most = std::max({std::fabs(left[n]), std::fabs(right[n]), between[n]});
        if (n > 0) most = std::max(most, between[n - 1]);
        peaks[n] = most;
    }
    return peaks;
}

void clipPeaks(std::vector<float>& left, std::vector<float>& right, float knee, float ceiling) {
    static const Interpolator interpolator;
    // The low pass back to the original band, at four times the rate: a windowed sinc cut at half the
    // original rate, reaching `reach` samples of the original rate either side.
    constexpr int reach = 8, span = oversampling * reach;
    static const std::vector<float> lowPass = [] {
        std::vector<float> h(2 * span + 1);
        double sum = 0.0;
        for (int k = -span; k <= span; ++k) {
            const double x = static_cast<double>(k) / oversampling;
            const double sinc = k == 0 ? 1.0 : std::sin(pi * x) / (pi * x);
            const double w = static_cast<double>(k + span) / (2.0 * span);
            const double window = 0.42 - 0.5 * std::cos(2.0 * pi * w) + 0.08 * std::cos(4.0 * pi * w);
            h[static_cast<size_t>(k + span)] = static_cast<float>(sinc * window);
            sum += sinc * window;
        }
        for (float& tap : h) tap = static_cast<float>(tap / sum);
        return h;
    }();
    const size_t count = std::min(left.size(), right.size());
    const std::vector<float> peaks = truePeaks(left, right);
    for (std::vector<float>* channel : {&left, &right}) {
        const std::vector<float> x = *channel;
        for (size_t n = 0; n < count; ++n) {
            if (peaks[n] <= knee) continue;
            // The reconstructed points from sample n up to (not including) n + 1, and what clipping
            // changes in each; the change is spread over the original samples around them.
            for (int phase = 0; phase < oversampling; ++phase) {
                float value = x[n];
                if (phase > 0) {
                    value = 0.0f;
                    for (int k = 0; k < 2 * halfTaps; ++k) {
                        const int64_t at = static_cast<int64_t>(n) + 1 - halfTaps + k;
                        if (at >= 0 && at < static_cast<int64_t>(count))
                            value += interpolator.taps[phase - 1][k] * x[static_cast<size_t>(at)];
                    }
                }
                const float change = softClip(value, knee, ceiling) - value;
                if (change == 0.0f) continue;
                // Original sample m sits `oversampling * (m - n) - phase` points from this one.
                const int64_t position = static_cast<int64_t>(n) * oversampling + phase;
                for (int64_t m = (position - span + oversampling - 1) / oversampling;
                     m * oversampling <= position + span; ++m) {
                    if (m < 0 || m >= static_cast<int64_t>(count)) continue;
                    const int64_t k = m * oversampling - position;
                    (*channel)[static_cast<size_t>(m)] += change * lowPass[static_cast<size_t>(k + span)];
                }
            }
        }
    }
}

void limit(std::vector<float>& left, std::vector<float>& right, float ceiling, int lookahead,
           float releaseSeconds) {
    std::vector<float> allowed = truePeaks(left, right);
    for (float& g : allowed) g = g > ceiling ? ceiling / g : 1.0f;
    applyGainLimits(left, right, allowed, lookahead, releaseSeconds);
}

void applyGainLimits(std::vector<float>& left, std::vector<float>& right, const std::vector<float>& gain,
                     int lookahead, float releaseSeconds) {
    const size_t count = std::min({left.size(), right.size(), gain.size()});
    if (count == 0 || lookahead < 1) return;
    const size_t window = static_cast<size_t>(lookahead);
    // Minimum over the next `window` samples (a monotonic deque), then a release that only ever rises
    // slowly and never above that minimum.
    std::vector<float> held(count);
    std::deque<size_t> candidates;
    size_t ahead = 0;
    const float release = static_cast<float>(1.0 - std::exp(-1.0 / (releaseSeconds * sampleRate)));
    float smooth = 1.0f;
    for (size_t n = 0; n < count; ++n) {
        for (; ahead < count && ahead < n + window; ++ahead) {
            while (!candidates.empty() && gain[candidates.back()] >= gain[ahead]) candidates.pop_back();
            candidates.push_back(ahead);
        }
        while (candidates.front() < n) candidates.pop_front();
        float minimum = gain[candidates.front()];
        smooth = minimum < smooth ? minimum : smooth + (minimum - smooth) * release;
        held[n] = smooth;
    }
    // A moving average over the same window: every term covers sample n, so the average stays at or
    // below what n allows, and the gain now ramps into each peak instead of stepping.
    double sum = 0.0;
    for (size_t n = 0; n < count; ++n) {
        sum += held[n];
        if (n >= window) sum -= held[n - window];
        size_t terms = std::min(n + 1, window);
        float g = static_cast<float>(sum / static_cast<double>(terms));
        // Rounding in the running sum must not let a sample through above the ceiling.
        g = std::min(g, gain[n]);
        left[n] *= g;
        right[n] *= g;
    }
}

} // namespace music
