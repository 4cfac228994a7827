#pragma once
// Loudness as broadcasters and streaming services meter it (ITU-R BS.1770-4, EBU R128 and Tech 3342):
// K-weighted mean square of both channels, in LUFS; integrated loudness over gated 400 ms blocks; the
// loudness range over 3 s windows; and the true peak, the largest magnitude of the waveform
// reconstructed at four times the rate. For review_music.
#include <algorithm>
#include <cmath>
#include <vector>

class LoudnessMeter {
public:
    LoudnessMeter(const std::vector<float>& left, const std::vector<float>& right, long rate)
        : rate_(rate), sums_(std::min(left.size(), right.size()) + 1, 0.0) {
        std::vector<double> l = kWeighted(left, rate), r = kWeighted(right, rate);
        for (size_t n = 0; n + 1 < sums_.size(); ++n) sums_[n + 1] = sums_[n] + l[n] * l[n] + r[n] * r[n];
    }

    double seconds() const { return static_cast<double>(sums_.size() - 1) / static_cast<double>(rate_); }

    // Loudness of the stretch [from, to), LUFS; -inf-like for silence.
    double lufs(double fromSeconds, double toSeconds) const {
        return toLufs(meanSquare(fromSeconds, toSeconds));
    }
    // Short-term loudness: the 3 s ending at `seconds`.
    double shortTerm(double seconds) const { return lufs(seconds - 3.0, seconds); }

    // Integrated loudness: 400 ms blocks every 100 ms, those under -70 LUFS left out, then those more
    // than 10 LU under the mean of the rest.
    double integrated() const {
        std::vector<double> blocks;
        for (double t = 0.0; t + 0.4 <= seconds(); t += 0.1) blocks.push_back(meanSquare(t, t + 0.4));
        return toLufs(gatedMean(blocks, gatedMean(blocks, -1.0) * std::pow(10.0, -10.0 / 10.0)));
    }

    // Loudness range: the spread from the 10th to the 95th percentile of the short-term loudness, taken
    // every 100 ms, of windows above -70 LUFS and no more than 20 LU under their mean.
    double range() const {
        std::vector<double> windows;
        for (double t = 3.0; t <= seconds(); t += 0.1) windows.push_back(meanSquare(t - 3.0, t));
        const double gate = gatedMean(windows, -1.0) * std::pow(10.0, -20.0 / 10.0);
        std::vector<double> kept;
        for (double w : windows)
            if (w > absoluteGate() && w > gate) kept.push_back(toLufs(w));
        if (kept.empty()) return 0.0;
        std::sort(kept.begin(), kept.end());
        const auto at = [&](double share) {
            return kept[static_cast<size_t>(std::lround(share * static_cast<double>(kept.size() - 1)))];
        };
        return at(0.95) - at(0.10);
    }

private:
    // The K filter: a shelf of +4 dB above about 1.7 kHz (the head's effect), then a high pass around
    // 38 Hz; each is the standard's analogue prototype mapped to the rate by the bilinear transform,
    // which at 48 kHz gives the standard's own coefficients.
    static std::vector<double> kWeighted(const std::vector<float>& x, long rate) {
        const double fs = static_cast<double>(rate);
        std::vector<double> y(x.begin(), x.end());
        {
            const double k = std::tan(M_PI * 1681.974450955533 / fs), q = 0.7071752369554196;
            const double high = std::pow(10.0, 3.999843853973347 / 20.0), band = std::pow(high, 0.4996667741545416);
            const double a0 = 1.0 + k / q + k * k;
            biquad(y, (high + band * k / q + k * k) / a0, 2.0 * (k * k - high) / a0,
                   (high - band * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
        }
        {
            const double k = std::tan(M_PI * 38.13547087602444 / fs), q = 0.5003270373238773;
            const double a0 = 1.0 + k / q + k * k;
            biquad(y, 1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
        }
        return y;
    }
    // y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]
    static void biquad(std::vector<double>& x, double b0, double b1, double b2, double a1, double a2) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& v : x) {
            const double out = b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1, x1 = v, y2 = y1, y1 = out;
            v = out;
        }
    }
    static double absoluteGate() { return std::pow(10.0, (-70.0 + 0.691) / 10.0); }
    static double toLufs(double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare + 1e-30); }
    // The mean of the blocks above the absolute gate and above `relative` (a mean square).
    static double gatedMean(const std::vector<double>& blocks, double relative) {
        double sum = 0.0;
        size_t count = 0;
        for (double b : blocks) {
            if (b > absoluteGate() && b > relative) {
                sum += b;
                ++count;
            }
        }
        return count ? sum / static_cast<double>(count) : 0.0;
    }
    double meanSquare(double fromSeconds, double toSeconds) const {
        const size_t last = sums_.size() - 1;
        const auto at = [&](double s) {
            return std::min(last,
                            static_cast<size_t>(std::max(0.0, std::round(s * static_cast<double>(rate_)))));
        };
        const size_t from = at(fromSeconds), to = at(toSeconds);
        return to > from ? (sums_[to] - sums_[from]) / static_cast<double>(to - from) : 0.0;
    }

    long rate_;
    std::vector<double> sums_; // running sum of both channels' K-weighted squares
};

// The largest magnitude of either channel with the waveform between the samples reconstructed at four
// times the rate (a windowed sinc reaching 16 samples either side), as a ratio to full scale.
inline double truePeak(const std::vector<float>& left, const std::vector<float>& right) {
    constexpr int phases = 4, reach = 16;
    double taps[phases][2 * reach];
    for (int p = 0; p < phases; ++p) {
        const double offset = static_cast<double>(p) / phases;
        for (int k = 0; k < 2 * reach; ++k) {
            const double x = static_cast<double>(k - reach + 1) - offset;
            const double sinc = std::fabs(x) < 1e-12 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
            const double w = (x + reach) / (2.0 * reach);
            taps[p][k] = sinc * (0.42 - 0.5 * std::cos(2.0 * M_PI * w) + 0.08 * std::cos(4.0 * M_PI * w));
        }
    }
    double peak = 0.0;
    for (const std::vector<float>* channel : {&left, &right}) {
        const std::vector<float>& x = *channel;
        for (size_t n = 0; n < x.size(); ++n) {
            peak = std::max(peak, std::fabs(static_cast<double>(x[n])));
            const bool inside = n + 1 >= reach && n + reach < x.size();
            for (int p = 1; p < phases; ++p) {
                double value = 0.0;
                if (inside) {
                    const float* from = x.data() + n + 1 - reach;
                    for (int k = 0; k < 2 * reach; ++k) value += taps[p][k] * from[k];
                } else {
                    for (int k = 0; k < 2 * reach; ++k) {
                        const long at = static_cast<long>(n) + 1 - reach + k;
                        if (at >= 0 && at < static_cast<long>(x.size()))
                            value += taps[p][k] * x[static_cast<size_t>(at)];
                    }
                }
                peak = std::max(peak, std::fabs(value));
            }
        }
    }
    return peak;
}
