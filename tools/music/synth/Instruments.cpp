#include "music/synth/Instruments.h"

#include <algorithm>
#include <cmath>

#include "music/synth/Dsp.h"

namespace music {
namespace {

constexpr float twoPi = static_cast<float>(2.0 * pi);
// Filters are retuned every this many samples: tan() per sample would dominate the render time.
constexpr int controlInterval = 16;

int64_t secondsToSamples(double seconds) {
    return static_cast<int64_t>(std::llround(seconds * sampleRate));
}

void panGains(float pan, float& left, float& right) {
    float angle = (std::clamp(pan, -1.0f, 1.0f) + 1.0f) * static_cast<float>(pi / 4.0);
    left = std::cos(angle) * 1.41421356f;
    right = std::sin(angle) * 1.41421356f;
}

// Linear fade over the last `fade` samples of a voice of `length` samples: the closing edge of every
// percussive envelope, so a decay never stops on a non-zero value.
float tailFade(int64_t n, int64_t length, int64_t fade) {
    int64_t left = length - n;
    return left >= fade ? 1.0f : static_cast<float>(left) / static_cast<float>(fade);
}

float attackRamp(int64_t n, int64_t samples) {
    return n >= samples ? 1.0f : static_cast<float>(n) / static_cast<float>(samples);
}

// Calls f(index in block, sample index within the voice) for the part of the voice inside the block;
// returns whether the voice still has samples after this block.
template <typename F>
bool forEachSample(const Note& note, int64_t length, int64_t blockStart, int count, F f) {
    int64_t first = std::max(note.start, blockStart);
    int64_t last = std::min(note.start + length, blockStart + count);
    for (int64_t s = first; s < last; ++s) f(static_cast<int>(s - blockStart), s - note.start);
    return blockStart + count < note.start + length;
}

uint32_t seedFor(const Note& note, uint32_t salt) {
    uint32_t h = static_cast<uint32_t>(note.start) * 2654435761u;
    h ^= static_cast<uint32_t>(note.pitch * 16.0f) * 40503u;
    return (h ^ salt) | 1u;
}

// A sine swept down onto A (55 Hz), so the kick sits in the key, and gone within a tenth of a second:
// the bass line owns the low end between kicks. The soft kick (param > 0.5) is rounder and lower,
// for the quiet parts.
class KickVoice : public Voice {
public:
    explicit KickVoice(const Note& n) : Voice(n), soft_(n.param > 0.5f), noise_(seedFor(n, 0x4b1cu)) {
        length_ = secondsToSamples(soft_ ? 0.3 : 0.24);
        click_.set(soft_ ? 1800.0f : 4200.0f, 0.2f);
    }
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        const double fStart = soft_ ? 140.0 : 175.0, fEnd = soft_ ? 52.0 : 53.0;
        const double sweep = soft_ ? 0.03 : 0.01, decay = soft_ ? 0.085 : 0.038;
        const float drive = soft_ ? 1.1f : 2.2f, norm = 1.0f / std::tanh(drive);
        const float clickLevel = soft_ ? 0.04f : 0.3f;
        return forEachSample(note, length_, blockStart, count, [&](int i, int64_t n) {
            double t = static_cast<double>(n) / sampleRate;
            // Full for the first 10 ms, then an exponential fall: the punch, then out of the bass's way.
            double held = std::max(0.0, t - 0.01);
            float amp =
                attackRamp(n, 26) * static_cast<float>(std::exp(-held / decay)) * tailFade(n, length_, 441);
            float body = static_cast<float>(std::sin(2.0 * pi * phase_));
            phase_ += (fEnd + (fStart - fEnd) * std::exp(-t / sweep)) / sampleRate;
            float clickEnv = n < 600 ? attackRamp(n, 8) * static_cast<float>(std::exp(-t / 0.0025)) : 0.0f;
            click_.process(noise_.next());
            float v = std::tanh(drive * body * amp) * norm + click_.band * clickEnv * clickLevel;
            v *= note.velocity;
            left[i] += v;
            right[i] += v;
        });
    }

private:
    bool soft_;
    int64_t length_;
    double phase_ = 0.0;
    Noise noise_;
    Svf click_;
};

// Noise bursts through a band pass, a separate noise on each side so the clap has width.
class ClapVoice : public Voice {
public:
    explicit ClapVoice(const Note& n)
        : Voice(n), noise_{Noise(seedFor(n, 0xc1a9u)), Noise(seedFor(n, 0x3c1u))} {
        length_ = secondsToSamples(0.34);
        for (int c = 0; c < 2; ++c) {
            band_[c].set(c ? 1250.0f : 1080.0f, 0.45f);
            high_[c].set(650.0f, 0.1f);
        }
    }
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        return forEachSample(note, length_, blockStart, count, [&](int i, int64_t n) {
            float t = static_cast<float>(n) / sampleRate;
            float env = 0.0f;
            for (float at : {0.0f, 0.0095f, 0.0185f}) env += burst(t - at, 0.0045f);
            env += 0.8f * burst(t - 0.027f, 0.075f);
            env *= tailFade(n, length_, 882) * note.velocity * 1.6f;
            float* out[2] = {left, right};
            for (int c = 0; c < 2; ++c) {
                band_[c].process(noise_[c].next());
                high_[c].process(band_[c].band);
                out[c][i] += high_[c].high * env;
            }
        });
    }

private:
    static float burst(float t, float decay) {
        if (t <= 0.0f) return 0.0f;
        const float rise = 0.0004f;
        return t < rise ? t / rise : std::exp(-(t - rise) / decay);
    }
    int64_t length_;
    Noise noise_[2];
    Svf band_[2], high_[2];
};

class SnareVoice : public Voice {
public:
    explicit SnareVoice(const Note& n) : Voice(n), noise_(seedFor(n, 0x5a4eu)) {
        decay_ = n.param > 0.0f ? n.param : 0.13f;
        length_ = secondsToSamples(decay_ * 5.0f);
        high_.set(1700.0f, 0.1f);
        low_.set(7000.0f, 0.1f);
    }
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        float l, r;
        panGains(note.pan, l, r);
        return forEachSample(note, length_, blockStart, count, [&](int i, int64_t n) {
            double t = static_cast<double>(n) / sampleRate;
            float shape = attackRamp(n, 22) * tailFade(n, length_, length_ / 5);
            float tone = static_cast<float>(std::sin(2.0 * pi * phase_) * std::exp(-t / 0.05));
            phase_ += (180.0 + 70.0 * std::exp(-t / 0.012)) / sampleRate;
            high_.process(noise_.next());
            low_.process(high_.high);
            float rattle = low_.low * static_cast<float>(std::exp(-t / decay_));
            float v = (0.55f * tone + 0.8f * rattle) * shape * note.velocity;
            left[i] += v * l;
            right[i] += v * r;
        });
    }

private:
    float decay_;
    int64_t length_;
    double phase_ = 0.0;
    Noise noise_;
    Svf high_, low_;
};

// Noise between a high pass and a low pass, its weight from 4 to 8 kHz, where a hat is heard: air
// without hiss. Each side has a noise of its own, so the hats are as wide as the room. param > 0.5
// gives the open hat; the shaker swells in over 14 ms instead of striking, which gives a run of
// sixteenths its energy without the peaks of as many hats.
class HatVoice : public Voice {
public:
    HatVoice(const Note& n, bool shaker)
        : Voice(n), noise_{Noise(seedFor(n, 0x4a7u)), Noise(seedFor(n, 0x7a4u))} {
        decay_ = shaker ? 0.045f : (n.param > 0.5f ? 0.16f : 0.026f);
        attack_ = shaker ? secondsToSamples(0.014) : 9;
        length_ = secondsToSamples(decay_ * 6.0f);
        for (int c = 0; c < 2; ++c) {
            first_[c].set(3600.0f, 0.2f);
            second_[c].set(8500.0f, 0.3f);
        }
    }
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        float gains[2];
        panGains(note.pan, gains[0], gains[1]);
        float* out[2] = {left, right};
        return forEachSample(note, length_, blockStart, count, [&](int i, int64_t n) {
            float t = static_cast<float>(n) / sampleRate;
            float env = attackRamp(n, attack_) * std::exp(-t / decay_) * tailFade(n, length_, length_ / 4) *
                        note.velocity;
            for (int c = 0; c < 2; ++c) {
                first_[c].process(noise_[c].next());
                second_[c].process(first_[c].high);
                out[c][i] += second_[c].low * env * gains[c];
            }
        });
    }

private:
    float decay_;
    int64_t attack_, length_;
    Noise noise_[2];
    Svf first_[2], second_[2];
};

// A ride cymbal: six square waves at unrelated pitches, the metallic cluster of a struck plate, through a
// band pass high up, with a little noise for the wash. Rings long and quietly under the beat.
class RideVoice : public Voice {
public:
    explicit RideVoice(const Note& n) : Voice(n), noise_(seedFor(n, 0x21d3u)) {
        length_ = secondsToSamples(1.3);
        const double hz[partials] = {355.0, 528.0, 641.0, 906.0, 937.0, 1386.0};
        for (int k = 0; k < partials; ++k) increment_[k] = hz[k] / sampleRate;
        band_.set(8200.0f, 0.35f);
        high_.set(5200.0f, 0.1f);
        pingDecay_ = static_cast<float>(std::exp(-1.0 / (0.06 * sampleRate)));
        washDecay_ = static_cast<float>(std::exp(-1.0 / (0.42 * sampleRate)));
    }
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        float l, r;
        panGains(note.pan, l, r);
        return forEachSample(note, length_, blockStart, count, [&](int i, int64_t n) {
            float metal = 0.0f;
            for (int k = 0; k < partials; ++k) {
                phase_[k] += increment_[k];
                if (phase_[k] >= 1.0) phase_[k] -= 1.0;
                metal += phase_[k] < 0.5 ? 1.0f : -1.0f;
            }
            band_.process(metal * (1.0f / partials) + 0.35f * noise_.next());
            high_.process(band_.band);
            // A bright ping over a long, quieter wash, each decaying by a constant factor per sample.
            float env = attackRamp(n, 30) * (ping_ + wash_) * tailFade(n, length_, length_ / 4);
            ping_ *= pingDecay_;
            wash_ *= washDecay_;
            float v = high_.high * env * note.velocity;
            left[i] += v * l;
            right[i] += v * r;
        });
    }

private:
    static constexpr int partials = 6;
    int64_t length_;
    double phase_[partials] = {}, increment_[partials] = {};
    float ping_ = 0.55f, wash_ = 0.45f, pingDecay_, washDecay_;
    Noise noise_;
    Svf band_, high_;
};

// A dry wooden tick, like a clave or a clock: two damped partials over a short click of noise.
// param > 0.5 gives the lower "tock" that marks the start of a bar.
class TickVoice : public Voice {
public:
    explicit TickVoice(const Note& n) : Voice(n), noise_(seedFor(n, 0x71c4u)) {
        const bool low = n.param > 0.5f;
        hz_[0] = low ? 1700.0 : 2500.0;
        hz_[1] = low ? 2800.0 : 4100.0;
        length_ = secondsToSamples(0.09);
        click_.set(5200.0f, 0.3f);
    }
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        float l, r;
        panGains(note.pan, l, r);
        return forEachSample(note, length_, blockStart, count, [&](int i, int64_t n) {
            double t = static_cast<double>(n) / sampleRate;
            float body = static_cast<float>(0.7 * std::sin(2.0 * pi * hz_[0] * t) * std::exp(-t / 0.014) +
                                            0.35 * std::sin(2.0 * pi * hz_[1] * t) * std::exp(-t / 0.007));
            click_.process(noise_.next());
            float clickEnv = static_cast<float>(std::exp(-t / 0.0015));
            float v = (body + 0.4f * click_.band * clickEnv) * attackRamp(n, 6) * tailFade(n, length_, 441) *
                      note.velocity;
            left[i] += v * l;
            right[i] += v * r;
        });
    }

private:
    double hz_[2];
    int64_t length_;
    Noise noise_;
    Svf click_;
};

// param > 0: the decay in seconds of a cymbal choked by hand; otherwise it rings for seconds.
class CrashVoice : public Voice {
public:
    explicit CrashVoice(const Note& n)
        : Voice(n), decay_(n.param > 0.0f ? n.param : 0.9f), noiseL_(seedFor(n, 0xc7a5u)),
          noiseR_(seedFor(n, 0x77u)) {
        length_ = secondsToSamples(decay_ * 3.3f);
        for (Svf* f : {&highL_, &highR_}) f->set(4800.0f, 0.15f);
    }
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        return forEachSample(note, length_, blockStart, count, [&](int i, int64_t n) {
            float t = static_cast<float>(n) / sampleRate;
            float env = attackRamp(n, 88) * std::exp(-t / decay_) * tailFade(n, length_, length_ / 6);
            env *= note.velocity;
            highL_.process(noiseL_.next());
            highR_.process(noiseR_.next());
            left[i] += highL_.high * env;
            right[i] += highR_.high * env;
        });
    }

private:
    float decay_;
    int64_t length_;
    Noise noiseL_, noiseR_;
    Svf highL_, highR_;
};

// White noise swept upwards through a band pass, growing louder until it stops at the end of its gate.
class RiserVoice : public Voice {
public:
    explicit RiserVoice(const Note& n) : Voice(n), noiseL_(seedFor(n, 0x415eu)), noiseR_(seedFor(n, 0x99u)) {}
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        const int64_t length = note.gate;
        return forEachSample(note, length, blockStart, count, [&](int i, int64_t n) {
            float progress = static_cast<float>(n) / static_cast<float>(length);
            if (n % controlInterval == 0) {
                float cutoff = 350.0f * std::pow(30.0f, progress);
                bandL_.set(cutoff, 0.55f);
                bandR_.set(cutoff * 1.07f, 0.55f);
            }
            float env = progress * progress * attackRamp(n, 441) * tailFade(n, length, 661) * note.velocity;
            bandL_.process(noiseL_.next());
            bandR_.process(noiseR_.next());
            left[i] += bandL_.band * env;
            right[i] += bandR_.band * env;
        });
    }

private:
    Noise noiseL_, noiseR_;
    Svf bandL_, bandR_;
};

// A saw through a resonant low pass whose cutoff opens at the note start and closes within a few tens
// of milliseconds, over a sine an octave down. param = how far the filter opens, Hz.
class BassVoice : public Voice {
public:
    explicit BassVoice(const Note& n) : Voice(n) {
        env_.attack = 0.003f;
        env_.decay = 0.12f;
        env_.sustain = 0.75f;
        env_.release = 0.025f;
        length_ = env_.lengthSamples(n.gate);
        hz_ = midiToHz(n.pitch);
        saw_.setFrequency(hz_);
        subIncrement_ = 0.5 * hz_ / sampleRate;
    }
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        return forEachSample(note, length_, blockStart, count, [&](int i, int64_t n) {
            if (n % controlInterval == 0) {
                float t = static_cast<float>(n) / sampleRate;
                filter_.set(240.0f + note.param * std::exp(-t / 0.085f), 0.35f);
            }
            float sub = static_cast<float>(std::sin(2.0 * pi * subPhase_));
            subPhase_ += subIncrement_;
            if (subPhase_ >= 1.0) subPhase_ -= 1.0;
            filter_.process(0.6f * saw_.next());
            // The sine an octave down carries the weight the short kick leaves to the bass.
            float v = (std::tanh(1.4f * filter_.low) + 0.7f * sub) *
                      follow_.next(env_, n, note.gate, controlInterval) * note.velocity;
            left[i] += v;
            right[i] += v;
        });
    }

private:
    Envelope env_;
    EnvelopeFollower follow_;
    int64_t length_;
    double hz_, subPhase_ = 0.0, subIncrement_;
    SawOsc saw_;
    Svf filter_;
};

// Three detuned saws per note, spread across the stereo field, under a gentle low pass (param, Hz).
class PadVoice : public Voice {
public:
    explicit PadVoice(const Note& n) : Voice(n) {
        env_.attack = 0.55f;
        env_.decay = 1.2f;
        env_.sustain = 0.8f;
        env_.release = 0.9f;
        length_ = env_.lengthSamples(n.gate);
        Noise phases(seedFor(n, 0x9adu));
        const float cents[3] = {-11.0f, 0.0f, 12.0f};
        for (int k = 0; k < 3; ++k) {
            saws_[k].setFrequency(midiToHz(n.pitch + cents[k] / 100.0f));
            saws_[k].phase = 0.5 + 0.5 * phases.next();
        }
        filterL_.set(n.param, 0.15f);
        filterR_.set(n.param * 1.04f, 0.15f);
    }
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        return forEachSample(note, length_, blockStart, count, [&](int i, int64_t n) {
            float a = saws_[0].next(), b = saws_[1].next(), c = saws_[2].next();
            filterL_.process(a + 0.6f * b);
            filterR_.process(c + 0.6f * b);
            float env = follow_.next(env_, n, note.gate, controlInterval) * note.velocity;
            left[i] += filterL_.low * env;
            right[i] += filterR_.low * env;
        });
    }

private:
    Envelope env_;
    EnvelopeFollower follow_;
    int64_t length_;
    SawOsc saws_[3];
    Svf filterL_, filterR_;
};

// Two saws a few cents apart through a low pass that snaps shut: a plucked string-like note.
// param = filter brightness at the attack, Hz.
class PluckVoice : public Voice {
public:
    explicit PluckVoice(const Note& n) : Voice(n) {
        env_.attack = 0.002f;
        env_.decay = 0.3f;
        env_.sustain = 0.0f;
        env_.release = 0.06f;
        length_ = env_.lengthSamples(n.gate);
        a_.setFrequency(midiToHz(n.pitch - 0.07f));
        b_.setFrequency(midiToHz(n.pitch + 0.07f));
        b_.phase = 0.31;
        panGains(n.pan, gainL_, gainR_);
    }
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        return forEachSample(note, length_, blockStart, count, [&](int i, int64_t n) {
            if (n % controlInterval == 0) {
                float t = static_cast<float>(n) / sampleRate;
                filter_.set(220.0f + note.param * std::exp(-t / 0.11f), 0.3f);
            }
            filter_.process(0.5f * (a_.next() + b_.next()));
            float v = filter_.low * follow_.next(env_, n, note.gate, controlInterval) * note.velocity;
            left[i] += v * gainL_;
            right[i] += v * gainR_;
        });
    }

private:
    Envelope env_;
    EnvelopeFollower follow_;
    int64_t length_;
    SawOsc a_, b_;
    Svf filter_;
    float gainL_, gainR_;
};

// Seven detuned saws spread from left to right. param = low-pass cutoff, Hz.
class SupersawVoice : public Voice {
public:
    explicit SupersawVoice(const Note& n) : Voice(n) {
        env_.attack = 0.008f;
        env_.decay = 0.3f;
        env_.sustain = 0.7f;
        env_.release = 0.2f;
        length_ = env_.lengthSamples(n.gate);
        const float cents[voices] = {-29.0f, -17.0f, -7.0f, 0.0f, 8.0f, 18.0f, 30.0f};
        const float pans[voices] = {-0.9f, 0.6f, -0.35f, 0.0f, 0.35f, -0.6f, 0.9f};
        Noise phases(seedFor(n, 0x5a5au));
        for (int k = 0; k < voices; ++k) {
            saws_[k].setFrequency(midiToHz(n.pitch + cents[k] / 100.0f));
            saws_[k].phase = 0.5 + 0.5 * phases.next();
            panGains(pans[k], gl_[k], gr_[k]);
        }
    }
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        return forEachSample(note, length_, blockStart, count, [&](int i, int64_t n) {
            if (n % controlInterval == 0) {
                float t = static_cast<float>(n) / sampleRate;
                float cutoff = note.param + 2500.0f * std::exp(-t / 0.18f);
                filterL_.set(cutoff, 0.2f);
                filterR_.set(cutoff, 0.2f);
            }
            float l = 0.0f, r = 0.0f;
            for (int k = 0; k < voices; ++k) {
                float s = saws_[k].next();
                l += s * gl_[k];
                r += s * gr_[k];
            }
            filterL_.process(l);
            filterR_.process(r);
            float env = follow_.next(env_, n, note.gate, controlInterval) * note.velocity * 0.38f;
            left[i] += filterL_.low * env;
            right[i] += filterR_.low * env;
        });
    }

private:
    static constexpr int voices = 7;
    Envelope env_;
    EnvelopeFollower follow_;
    int64_t length_;
    SawOsc saws_[voices];
    float gl_[voices], gr_[voices];
    Svf filterL_, filterR_;
};

// The melody voice: a hollow pulse (two saws a third of a cycle apart, one subtracted) and a saw a few
// cents above it, through a low pass that opens on the attack and a high pass that keeps it out of the
// bass. The pulse leans left and the saw right, so their beating moves across the middle; a slow
// vibrato comes in as a note is held. param = filter brightness, Hz.
class LeadVoice : public Voice {
public:
    explicit LeadVoice(const Note& n) : Voice(n) {
        env_.attack = 0.006f;
        env_.decay = 0.28f;
        env_.sustain = 0.72f;
        env_.release = 0.14f;
        length_ = env_.lengthSamples(n.gate);
        hz_ = midiToHz(n.pitch);
        pulseB_.phase = 1.0 / 3.0;
        saw_.phase = 0.6;
        for (Svf& high : high_) high.set(230.0f, 0.1f);
    }
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        return forEachSample(note, length_, blockStart, count, [&](int i, int64_t n) {
            if (n % controlInterval == 0) {
                float t = static_cast<float>(n) / sampleRate;
                float depth = std::clamp((t - 0.2f) / 0.35f, 0.0f, 1.0f) * 0.0075f;
                double hz = hz_ * (1.0 + depth * std::sin(twoPi * 5.3f * t));
                pulseA_.setFrequency(hz);
                pulseB_.setFrequency(hz);
                saw_.setFrequency(hz * 1.0052);
                float cutoff = note.param + 2200.0f * std::exp(-t / 0.09f);
                low_[0].set(cutoff, 0.25f);
                low_[1].set(cutoff * 1.06f, 0.25f);
            }
            float pulse = pulseA_.next() - pulseB_.next(), saw = saw_.next();
            float env = follow_.next(env_, n, note.gate, controlInterval) * note.velocity;
            const float mix[2] = {0.8f, 0.2f};
            float* out[2] = {left, right};
            for (int c = 0; c < 2; ++c) {
                low_[c].process(mix[c] * pulse + mix[1 - c] * saw);
                high_[c].process(low_[c].low);
                out[c][i] += high_[c].high * env;
            }
        });
    }

private:
    Envelope env_;
    EnvelopeFollower follow_;
    int64_t length_;
    double hz_;
    SawOsc pulseA_, pulseB_, saw_;
    Svf low_[2], high_[2];
};

// An electric piano: a sine phase-modulated by a sine at its own pitch, the modulation fading as the
// note rings (a bright attack, a round tail), and a high partial that dies within milliseconds for
// the knock of the tine. param = how bright the attack is, 0..1.
class KeysVoice : public Voice {
public:
    explicit KeysVoice(const Note& n) : Voice(n) {
        env_.attack = 0.002f;
        env_.decay = 0.8f;
        env_.sustain = 0.3f;
        env_.release = 0.35f;
        length_ = env_.lengthSamples(n.gate);
        increment_ = midiToHz(n.pitch) / sampleRate;
        tineIncrement_ = std::min(14.0 * increment_, 0.4);
        panGains(n.pan, gainL_, gainR_);
    }
    bool render(float* left, float* right, int64_t blockStart, int count) override {
        return forEachSample(note, length_, blockStart, count, [&](int i, int64_t n) {
            if (n % controlInterval == 0) {
                float t = static_cast<float>(n) / sampleRate;
                index_ = 0.3f + 2.2f * note.param * std::exp(-t / 0.3f);
                tineLevel_ = 0.18f * note.param * std::exp(-t / 0.018f);
            }
            float modulator = std::sin(twoPi * static_cast<float>(phase_));
            float v = std::sin(twoPi * static_cast<float>(phase_) + index_ * modulator) +
                      tineLevel_ * std::sin(twoPi * static_cast<float>(tinePhase_));
            phase_ += increment_;
            if (phase_ >= 1.0) phase_ -= 1.0;
            tinePhase_ += tineIncrement_;
            if (tinePhase_ >= 1.0) tinePhase_ -= 1.0;
            v *= follow_.next(env_, n, note.gate, controlInterval) * note.velocity;
            left[i] += v * gainL_;
            right[i] += v * gainR_;
        });
    }

private:
    Envelope env_;
    EnvelopeFollower follow_;
    int64_t length_;
    double phase_ = 0.0, increment_, tinePhase_ = 0.0, tineIncrement_;
    float index_ = 0.0f, tineLevel_ = 0.0f;
    float gainL_, gainR_;
};

} // namespace

std::unique_ptr<Voice> makeVoice(Instrument instrument, const Note& note) {
    switch (instrument) {
    case Instrument::Kick:
        return std::make_unique<KickVoice>(note);
    case Instrument::Clap:
        return std::make_unique<ClapVoice>(note);
    case Instrument::Snare:
        return std::make_unique<SnareVoice>(note);
    case Instrument::Hat:
        return std::make_unique<HatVoice>(note, false);
    case Instrument::Shaker:
        return std::make_unique<HatVoice>(note, true);
    case Instrument::Ride:
        return std::make_unique<RideVoice>(note);
    case Instrument::Tick:
        return std::make_unique<TickVoice>(note);
    case Instrument::Crash:
        return std::make_unique<CrashVoice>(note);
    case Instrument::Riser:
        return std::make_unique<RiserVoice>(note);
    case Instrument::Bass:
        return std::make_unique<BassVoice>(note);
    case Instrument::Pad:
        return std::make_unique<PadVoice>(note);
    case Instrument::Pluck:
        return std::make_unique<PluckVoice>(note);
    case Instrument::Supersaw:
        return std::make_unique<SupersawVoice>(note);
    case Instrument::Lead:
        return std::make_unique<LeadVoice>(note);
    case Instrument::Keys:
        return std::make_unique<KeysVoice>(note);
    }
    return nullptr;
}

Track::Track(Instrument instrument, std::vector<Note> notes)
    : instrument_(instrument), notes_(std::move(notes)) {
    std::stable_sort(notes_.begin(), notes_.end(),
                     [](const Note& a, const Note& b) { return a.start < b.start; });
}

bool Track::render(float* left, float* right, int64_t blockStart, int count) {
    while (next_ < notes_.size() && notes_[next_].start < blockStart + count) {
        active_.push_back(makeVoice(instrument_, notes_[next_]));
        ++next_;
    }
    size_t kept = 0;
    for (size_t v = 0; v < active_.size(); ++v) {
        if (active_[v]->render(left, right, blockStart, count)) active_[kept++] = std::move(active_[v]);
    }
    const bool sounded = !active_.empty();
    active_.resize(kept);
    return sounded;
}

} // namespace music
