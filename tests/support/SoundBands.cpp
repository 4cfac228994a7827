#include "support/SoundBands.h"

#include <cmath>
#include <algorithm>
#include <complex>

#include "review/Fft.h"

namespace {

constexpr size_t frameSize = 4096;

} // namespace

double BandSpectrum::energy(double lowHz, double highHz) const {
    double sum = 0.0;
    for (size_t k = 1; k < power.size(); ++k) {
        const double hz = static_cast<double>(k) * binHz;
        if (hz >= lowHz && hz < highHz) sum += power[k];
    }
    return sum;
}

double BandSpectrum::total() const {
    double sum = 0.0;
    for (size_t k = 1; k < power.size(); ++k) sum += power[k];
    return sum;
}

BandSpectrum& BandSpectrum::operator+=(const BandSpectrum& other) {
    if (power.empty()) {
        *this = other;
        return *this;
    }
    for (size_t k = 0; k < power.size() && k < other.power.size(); ++k) power[k] += other.power[k];
    return *this;
}

BandSpectrum bandSpectrum(const std::vector<float>& mono, int rate, size_t from, size_t to) {
    BandSpectrum spectrum;
    spectrum.binHz = static_cast<double>(rate) / frameSize;
    spectrum.power.assign(frameSize / 2 + 1, 0.0);
    std::vector<double> window(frameSize);
    for (size_t i = 0; i < frameSize; ++i)
        window[i] = 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / frameSize);
    to = std::min(to, mono.size());
    std::vector<std::complex<double>> frame(frameSize);
    for (size_t start = from; start + frameSize <= to; start += frameSize / 2) {
        for (size_t i = 0; i < frameSize; ++i) frame[i] = mono[start + i] * window[i];
        fft(frame);
        for (size_t k = 0; k <= frameSize / 2; ++k) spectrum.power[k] += std::norm(frame[k]);
    }
    return spectrum;
}

std::vector<double> thirdOctaveProfileDb(const BandSpectrum& spectrum) {
    const double total = spectrum.total() + 1e-30;
    std::vector<double> profile;
    for (double low = 31.25; low * std::cbrt(2.0) <= 16001.0; low *= std::cbrt(2.0))
        profile.push_back(10.0 * std::log10(spectrum.energy(low, low * std::cbrt(2.0)) / total + 1e-20));
    return profile;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
    const size_t n = std::min(a.size(), b.size());
    if (n == 0) return 0.0;
    double meanA = 0.0, meanB = 0.0;
    for (size_t i = 0; i < n; ++i) {
        meanA += a[i];
        meanB += b[i];
    }
    meanA /= static_cast<double>(n);
    meanB /= static_cast<double>(n);
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (size_t i = 0; i < n; ++i) {
        ab += (a[i] - meanA) * (b[i] - meanB);
        aa += (a[i] - meanA) * (a[i] - meanA);
        bb += (b[i] - meanB) * (b[i] - meanB);
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}
