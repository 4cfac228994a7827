#pragma once
// Small signal-processing blocks shared by the instruments and effects. Everything runs at one fixed
// sample rate and is deterministic: noise comes from a seeded generator, never from std::random.

#include <cmath>
#include <cstdint>

namespace music {

constexpr int sampleRate = 44100;
constexpr double pi = 3.14159265358979323846;

inline double midiToHz(double note) {
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}
inline float dbToGain(float db) {
    return std::pow(10.0f, db / 20.0f);
}

// Unchanged up to `knee`, then bending smoothly towards `ceiling`, which it never reaches: takes the
// tips off peaks without the edge of a hard clip.
inline float softClip(float x, float knee, float ceiling) {
    const float magnitude = std::fabs(x);
    if (magnitude <= knee) return x;
    const float room = ceiling - knee;
    return std::copysign(knee + room * std::tanh((magnitude - knee) / room), x);
}

// xorshift32: the same sequence for the same seed on every platform.
struct Noise {
    uint32_t state;
    explicit Noise(uint32_t seed = 0x9e3779b9u) : state(seed ? seed : 1u) {}
    // Uniform in [-1, 1).
    float next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(static_cast<int32_t>(state)) * (1.0f / 2147483648.0f);
    }
};

// Band-limited sawtooth: a naive ramp with a polynomial correction around each wrap, which keeps the
// aliasing of high notes low enough for leads without oversampling.
struct SawOsc {
    double phase = 0.0;     // cycles, [0, 1)
    double increment = 0.0; // cycles per sample

    void setFrequency(double hz) { increment = hz / sampleRate; }
    float next() {
        double t = phase;
        double value = 2.0 * t - 1.0;
        double dt = increment;
        if (t < dt) {
            double x = t / dt;
            value -= x + x - x * x - 1.0;
        } else if (t > 1.0 - dt) {
            double x = (t - 1.0) / dt;
            value -= x * x + x + x + 1.0;
        }
        phase += dt;
        if (phase >= 1.0) phase -= 1.0;
        return static_cast<float>(value);
    }
};

// Trapezoidal state-variable filter: stable under fast cutoff modulation, gives low, band and high pass
// from one state. Cutoff in Hz, resonance as damping k = 2 - 2 * resonance (resonance in [0, 1)).
struct Svf {
    float g = 0.0f, k = 1.4f, a1 = 0.0f, a2 = 0.0f, a3 = 0.0f;
    float ic1 = 0.0f, ic2 = 0.0f;
    float low = 0.0f, band = 0.0f, high = 0.0f;

    void set(float cutoffHz, float resonance) {
        float limited = std::fmin(std::fmax(cutoffHz, 10.0f), 0.45f * sampleRate);
        g = static_cast<float>(std::tan(pi * limited / sampleRate));
        k = 2.0f - 2.0f * std::fmin(std::fmax(resonance, 0.0f), 0.98f);
        a1 = 1.0f / (1.0f + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    void process(float in) {
        float v3 = in - ic2;
        float v1 = a1 * ic1 + a2 * v3;
        float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        low = v2;
        band = v1;
        high = in - k * v1 - v2;
    }
};

// One-pole low pass, for damping inside feedback paths.
struct OnePole {
    float coefficient = 0.0f, state = 0.0f;
    void set(float cutoffHz) {
        coefficient = static_cast<float>(1.0 - std::exp(-2.0 * pi * cutoffHz / sampleRate));
    }
    float process(float in) {
        state += coefficient * (in - state);
        return state;
    }
};

// Envelope with a linear attack from zero, an exponential decay to a sustain level, and a release that
// reaches exactly zero at its end (a normalised exponential), so no voice starts or stops on a step.
// Times in seconds; the gate is the held length of the note in samples.
struct Envelope {
    float attack = 0.005f, decay = 0.2f, sustain = 1.0f, release = 0.1f;

    // Total length of a note with this gate, release included, in samples.
    int64_t lengthSamples(int64_t gate) const {
        return gate + static_cast<int64_t>(std::ceil(release * sampleRate)) + 1;
    }
    // Level `n` samples after the note start.
    float at(int64_t n, int64_t gate) const {
        if (n < 0) return 0.0f;
        if (n < gate) return held(static_cast<float>(n) / sampleRate);
        float released = static_cast<float>(n - gate) / sampleRate;
        if (released >= release) return 0.0f;
        float from = held(static_cast<float>(gate) / sampleRate);
        const float steep = 4.0f, floor = 0.018315639f; // exp(-steep)
        float x = released / release;
        float shape = (std::exp(-steep * x) - floor) / (1.0f - floor);
        return from * shape;
    }

  private:
    float held(float t) const {
        if (t < attack) return t / attack;
        float d = t - attack;
        return sustain + (1.0f - sustain) * std::exp(-d / decay);
    }
};

// An envelope evaluated every `interval` samples and interpolated in between: exact at the note's
// start and end (both zero), and a fraction of the cost of evaluating it on every sample.
struct EnvelopeFollower {
    float value = 0.0f, step = 0.0f;
    // Call with the voice's sample index; recomputes on multiples of `interval`.
    float next(const Envelope& env, int64_t n, int64_t gate, int interval) {
        if (n % interval == 0) {
            value = env.at(n, gate);
            step = (env.at(n + interval, gate) - value) / static_cast<float>(interval);
        } else {
            value += step;
        }
        return value;
    }
};

} // namespace music
