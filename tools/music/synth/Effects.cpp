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

void limit(std::vector<float>& left, std::vector<float>& right, float ceiling, int lookahead,
           float releaseSeconds) {
    const size_t count = std::min(left.size(), right.size());
    if (count == 0 || lookahead < 1) return;
    const size_t window = static_cast<size_t>(lookahead);
    // wanted[n]: the largest gain sample n allows.
    std::vector<float> gain(count);
    for (size_t n = 0; n < count; ++n) {
        float peak = std::max(std::fabs(left[n]), std::fabs(right[n]));
        gain[n] = peak > ceiling ? ceiling / peak : 1.0f;
    }
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
