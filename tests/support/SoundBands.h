#pragma once
// How a stretch of sound spreads over frequency, as a spectrum analyser shows it: the power of
// Hann-windowed frames of 4096 samples, half overlapping, summed over the stretch. The music tests
// use it to ask how much of the soundtrack each band carries and whether two passages are scored
// alike.
#include <cstddef>
#include <vector>

struct BandSpectrum {
    double binHz = 0.0;        // width of one bin, Hz
    std::vector<double> power; // summed power per bin, from 0 Hz up to half the rate
    // Energy of the bins whose centre lies in [lowHz, highHz), the 0 Hz bin left out.
    double energy(double lowHz, double highHz) const;
    double total() const;
    BandSpectrum& operator+=(const BandSpectrum& other);
};

// The spectrum of samples [from, to) of a mono signal; frames that would run past `to` are left out.
BandSpectrum bandSpectrum(const std::vector<float>& mono, int rate, size_t from, size_t to);

// Energy per third of an octave from 31 Hz to 16 kHz, each in dB of the spectrum's total: the shape
// of the spectrum, whatever its loudness.
std::vector<double> thirdOctaveProfileDb(const BandSpectrum& spectrum);

// Pearson correlation of two equally long series; 0 when either is constant.
double correlation(const std::vector<double>& a, const std::vector<double>& b);
