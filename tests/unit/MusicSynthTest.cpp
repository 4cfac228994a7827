#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "music/synth/Dsp.h"
#include "music/synth/Effects.h"
#include "music/synth/Instruments.h"

using namespace music;

namespace {

struct Rendered {
    std::vector<float> left, right;
};

Rendered play(Instrument instrument, const Note& note, int64_t samples) {
    Rendered r;
    r.left.assign(static_cast<size_t>(samples), 0.0f);
    r.right.assign(static_cast<size_t>(samples), 0.0f);
    Track track(instrument, {note});
    // An odd block size, so notes start and end inside blocks.
    const int block = 300;
    for (int64_t at = 0; at < samples; at += block) {
        int count = static_cast<int>(std::min<int64_t>(block, samples - at));
        // The mix skips a track for a block it says was silent: what it played there would be lost.
        if (!track.render(r.left.data() + at, r.right.data() + at, at, count)) {
            for (int64_t n = at; n < at + count; ++n)
                EXPECT_TRUE(r.left[n] == 0.0f && r.right[n] == 0.0f) << "sound from a silent track at " << n;
        }
    }
    return r;
}

} // namespace

// A voice that starts or stops on a non-zero sample clicks.
TEST(MusicVoices, EveryVoiceStartsAndEndsAtZero) {
    struct Case {
        const char* name;
        Instrument instrument;
        double gateSeconds;
        float pitch, param;
    };
    const Case cases[] = {
        {"kick", Instrument::Kick, 0.0, 0, 0},         {"soft kick", Instrument::Kick, 0.0, 0, 1},
        {"clap", Instrument::Clap, 0.0, 0, 0},         {"snare", Instrument::Snare, 0.0, 0, 0.07f},
        {"closed hat", Instrument::Hat, 0.0, 0, 0},    {"open hat", Instrument::Hat, 0.0, 0, 1},
        {"tick", Instrument::Tick, 0.0, 0, 0},         {"low tick", Instrument::Tick, 0.0, 0, 1},
        {"crash", Instrument::Crash, 0.0, 0, 0},       {"riser", Instrument::Riser, 1.5, 0, 0},
        {"choked crash", Instrument::Crash, 0.0, 0, 0.05f},
        {"bass", Instrument::Bass, 0.09, 45, 2200},    {"pad", Instrument::Pad, 1.0, 60, 1800},
        {"pluck", Instrument::Pluck, 0.09, 69, 3800},  {"supersaw", Instrument::Supersaw, 0.4, 76, 2600},
        {"short pad", Instrument::Pad, 0.1, 57, 1800}, {"high pluck", Instrument::Pluck, 0.05, 93, 4000},
        {"ride", Instrument::Ride, 0.0, 0, 0},         {"lead", Instrument::Lead, 0.9, 81, 3000},
        {"shaker", Instrument::Shaker, 0.0, 0, 0},

        {"keys", Instrument::Keys, 0.6, 60, 0.8f},     {"high keys", Instrument::Keys, 0.05, 96, 1.0f},
    };
    const int64_t start = 1234;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Note note;
        note.start = start;
        note.gate = static_cast<int64_t>(c.gateSeconds * sampleRate);
        note.pitch = c.pitch;
        note.param = c.param;
        Rendered r = play(c.instrument, note, 6 * sampleRate);

        float peak = 0.0f;
        int64_t last = -1;
        for (size_t n = 0; n < r.left.size(); ++n) {
            float m = std::max(std::fabs(r.left[n]), std::fabs(r.right[n]));
            ASSERT_TRUE(std::isfinite(m)) << "sample " << n;
            if (m > 0.0f) last = static_cast<int64_t>(n);
            peak = std::max(peak, m);
            if (static_cast<int64_t>(n) < start) {
                ASSERT_EQ(m, 0.0f) << "sound before the note, sample " << n;
            }
        }
        ASSERT_GT(peak, 0.05f) << "the voice is (nearly) silent";
        ASSERT_LT(last, static_cast<int64_t>(r.left.size()) - 1) << "the voice never ends";
        EXPECT_LT(std::fabs(r.left[start]) + std::fabs(r.right[start]), 1e-4f * peak) << "starts on a step";
        // The closing 0.2 ms must already be close to zero, or the end is a step.
        for (int64_t n = std::max(start, last - 8); n <= last; ++n) {
            float m = std::max(std::fabs(r.left[n]), std::fabs(r.right[n]));
            EXPECT_LT(m, 0.02f * peak) << "stops on a step at sample " << n << " of " << last;
        }
    }
}

// A limiter that lets a sample through above its ceiling, or that touches audio far from any peak.
TEST(MusicLimiter, HoldsCeilingAndLeavesQuietPassagesAlone) {
    const float ceiling = dbToGain(-2.5f);
    const size_t length = 2 * sampleRate;
    const size_t burstFrom = sampleRate, burstTo = sampleRate + sampleRate / 20;
    std::vector<float> left(length), right(length);
    for (size_t n = 0; n < length; ++n) {
        float amplitude = n >= burstFrom && n < burstTo ? 2.0f : 0.25f;
        left[n] = amplitude * static_cast<float>(std::sin(2.0 * pi * 440.0 * n / sampleRate));
        right[n] = -0.5f * left[n];
    }
    const std::vector<float> originalLeft = left;
    const int lookahead = 176;
    limit(left, right, ceiling, lookahead, 0.12f);

    float previousGain = 1.0f;
    for (size_t n = 0; n < length; ++n) {
        ASSERT_LE(std::fabs(left[n]), ceiling) << "sample " << n;
        ASSERT_LE(std::fabs(right[n]), ceiling) << "sample " << n;
        if (n + 2 * lookahead < burstFrom) {
            ASSERT_EQ(left[n], originalLeft[n]) << "changed before the peak";
        }
        if (std::fabs(originalLeft[n]) > 0.1f) {
            float gain = left[n] / originalLeft[n];
            // A gain that jumps is a click; the ramp over the look-ahead keeps each step small.
            EXPECT_LT(std::fabs(gain - previousGain), 0.05f) << "gain step at sample " << n;
            previousGain = gain;
        }
    }
    // Recovered well after the burst: the release brought the gain back up.
    size_t later = burstTo + sampleRate * 3 / 4;
    EXPECT_NEAR(left[later] / originalLeft[later], 1.0f, 0.02f);

    std::vector<float> empty;
    limit(empty, empty, ceiling, lookahead, 0.12f);
    EXPECT_TRUE(empty.empty());
}

// A tone at a quarter of the rate, sampled 45 degrees off its crests: every sample is 3 dB under the
// waveform's peak between them, which a limiter that looks only at samples lets through. The clipper
// must leave a quiet stretch exactly as it was and keep a loud one under its ceiling between the
// samples too.
TEST(MusicLimiter, HoldsTheTruePeakBetweenSamplesAsTheClipperDoes) {
    const size_t length = sampleRate / 2, loudFrom = length / 2;
    std::vector<float> left(length), right;
    for (size_t n = 0; n < length; ++n) left[n] = static_cast<float>(std::sin(pi * 0.5 * n + pi * 0.25));
    right = left;
    const float ceiling = dbToGain(-3.0f);
    limit(left, right, ceiling, 176, 0.12f);
    const float gain = std::fabs(left[length / 2]) / std::sqrt(0.5f);
    EXPECT_LE(gain, ceiling * 1.002f) << "the peaks between the samples pass the ceiling";
    EXPECT_GT(gain, ceiling * 0.95f) << "lowered far more than the ceiling asks";

    std::vector<float> tone(length);
    for (size_t n = 0; n < length; ++n)
        tone[n] =
            (n < loudFrom ? 0.2f : 1.0f) * static_cast<float>(std::sin(2.0 * pi * 1003.0 * n / sampleRate));
    left = right = tone;
    clipPeaks(left, right, 0.5f, 0.7f);
    for (size_t n = 0; n + 64 < loudFrom; ++n)
        ASSERT_EQ(left[n], tone[n]) << "quiet sample " << n << " changed";
    const std::vector<float> peaks = truePeaks(left, right);
    const float loudest = *std::max_element(peaks.begin() + loudFrom + 64, peaks.end() - 64);
    EXPECT_LT(loudest, 0.75f) << "the clipper let the peaks through";
    EXPECT_GT(loudest, 0.5f) << "the clipper flattened the tone";
}

// An unstable feedback network rings forever (or blows up); a misplaced delay tap puts echoes off the beat.
TEST(MusicEffects, ReverbDecaysAndEchoesLandOnTheirDelay) {
    Reverb reverb(0.86f, 0.35f);
    const int block = 512;
    std::vector<float> l(block), r(block);
    float early = 0.0f, late = 0.0f;
    for (int b = 0; b < 12 * sampleRate / block; ++b) {
        std::fill(l.begin(), l.end(), 0.0f);
        std::fill(r.begin(), r.end(), 0.0f);
        if (b == 0) l[0] = r[0] = 1.0f;
        reverb.process(l.data(), r.data(), block);
        for (int i = 0; i < block; ++i) {
            float m = std::max(std::fabs(l[i]), std::fabs(r[i]));
            ASSERT_TRUE(std::isfinite(m));
            if (b * block < sampleRate / 2) early = std::max(early, m);
            if (b * block > 10 * sampleRate) late = std::max(late, m);
        }
    }
    EXPECT_GT(early, 1e-3f) << "no reverberation at all";
    EXPECT_LT(late, early * 1e-4f) << "the tail does not die away";

    const int delay = 15265;
    PingPongDelay echo(delay, 0.5f, 20000.0f);
    std::vector<float> el(3 * delay + 10, 0.0f), er(el.size(), 0.0f);
    el[0] = er[0] = 1.0f;
    echo.process(el.data(), er.data(), static_cast<int>(el.size()));
    auto loudest = [](const std::vector<float>& v) {
        return std::max_element(v.begin(), v.end(),
                                [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
               v.begin();
    };
    EXPECT_EQ(loudest(el), delay) << "first echo, left";
    EXPECT_EQ(loudest(er), 2 * delay) << "second echo, right";
}
