// The loudness meter against the signals the broadcast loudness standard's own checks use: stereo
// 1 kHz tones whose levels are known in LUFS, stretches the gates must leave out, a range of two
// levels, and a tone whose samples all miss its crests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "review/Loudness.h"

namespace {

constexpr long rate = 44100;

// A 1 kHz tone on both channels, `seconds` long at each level in turn (dBFS, of its peak).
std::vector<float> tones(std::initializer_list<std::pair<double, double>> levels) {
    std::vector<float> out;
    for (const auto& level : levels) {
        const double amplitude = std::pow(10.0, level.second / 20.0);
        for (long n = 0; n < std::lround(level.first * rate); ++n)
            out.push_back(static_cast<float>(amplitude * std::sin(2.0 * M_PI * 1000.0 * n / rate)));
    }
    return out;
}

} // namespace

TEST(LoudnessMeter, ReadsTheStandardsTestTonesAndGatesOutQuietStretches) {
    const struct {
        const char* name;
        std::vector<float> signal;
        double integrated, range;
    } cases[] = {
        {"-23 dBFS", tones({{10, -23}}), -23.0, 0.0},
        {"-33 dBFS", tones({{10, -33}}), -33.0, 0.0},
        {"relative gate", tones({{5, -36}, {30, -23}, {5, -36}}), -23.0, NAN},
        {"absolute gate", tones({{10, -72}, {5, -36}, {30, -23}, {5, -36}, {10, -72}}), -23.0, NAN},
        {"range of two levels", tones({{10, -20}, {10, -30}}), -22.6, 10.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LoudnessMeter meter(c.signal, c.signal, rate);
        EXPECT_NEAR(meter.integrated(), c.integrated, 0.1);
        if (!std::isnan(c.range)) {
            EXPECT_NEAR(meter.range(), c.range, c.range > 0.0 ? 1.0 : 0.1);
        }
    }
}

// Every sample of a tone at a quarter of the rate, 45 degrees off its crests, is 3 dB under its peak.
// It fades in and out: a tone that starts on a step overshoots between the samples.
TEST(LoudnessMeter, TruePeakFindsTheCrestsBetweenTheSamples) {
    std::vector<float> tone(rate);
    for (size_t n = 0; n < tone.size(); ++n) {
        const double fade = std::min({1.0, n / 2000.0, (tone.size() - n) / 2000.0});
        tone[n] = static_cast<float>(0.5 * fade * std::sin(M_PI * 0.5 * n + M_PI * 0.25));
    }
    EXPECT_NEAR(20.0 * std::log10(truePeak(tone, tone)), 20.0 * std::log10(0.5), 0.1);
}
