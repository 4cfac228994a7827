// review_music [track.ogg]: prints how the soundtrack sounds in numbers, measured on the decoded
// file (data/noisebiisi.ogg of the build directory it runs in by default), on the mid (L + R) / 2
// and side (L - R) / 2 signals:
//   - each drop's level over the 0.5 s after the picture's sequence starts (30.4 s, and 122.7 s where
//     it starts over) against the 0.5 s before, and the same around the drop's first beat; the
//     loudest 0.5 s of the 16 beats before the drop against the drop's first 8 beats;
//   - how far the kick's low end (below 150 Hz) falls from its first 50 ms to 100-150 ms after the
//     beat, median over the drops' beats;
//   - the strongest pitch class below 140 Hz in each bar of the drops, and how many different ones
//     each 8-bar block has (a bass that follows the chords changes it with them);
//   - per 8-bar block of the drops: 4-8 kHz against 60-120 Hz per Hz (air), side against mid
//     (width), and how closely its bar-by-bar chroma (25 Hz-5 kHz, each bar's summing to 1) follows
//     the first block's: over 0.85 it plays the same chords;
//   - the level jump at each beat in the quiet parts, where only the flash marks the beat;
//   - how long the last hit stays within 20 dB of its peak, and where it falls silent;
//   - the drops' share below 120 Hz and their 500-2000 Hz band, the figures the music tests hold.
// Bars and blocks follow the music's beats: the first drop's block k starts on beat 66 + 32k, the
// second drop's on beat 266 + 32k (the picture's rows start 0.14 s later).
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include <vorbis/vorbisfile.h>

#include "base/BeatGrid.h"
#include "demo/Timeline.h"
#include "review/Fft.h"

namespace {

struct Track {
    long rate = 0;
    std::vector<float> mid, side;
};

bool decode(const std::string& path, Track& track) {
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) return false;
    const vorbis_info* info = ov_info(&file, -1);
    track.rate = info->rate;
    const int channels = info->channels;
    int section = 0;
    for (;;) {
        float** pcm = nullptr;
        const long got = ov_read_float(&file, &pcm, 4096, &section);
        if (got == 0) break;
        if (got < 0) {
            ov_clear(&file);
            return false;
        }
        const float* right = pcm[channels > 1 ? 1 : 0];
        for (long n = 0; n < got; ++n) {
            track.mid.push_back(0.5f * (pcm[0][n] + right[n]));
            track.side.push_back(0.5f * (pcm[0][n] - right[n]));
        }
    }
    ov_clear(&file);
    return !track.mid.empty();
}

// Second-order Butterworth low pass run forwards and backwards: no delay, 24 dB per octave.
std::vector<float> zeroPhaseLowPass(std::vector<float> x, double hz, long rate) {
    const double w = std::tan(M_PI * hz / static_cast<double>(rate)), q = std::sqrt(0.5);
    const double norm = 1.0 / (1.0 + w / q + w * w);
    const double b0 = w * w * norm, b1 = 2.0 * b0, a1 = 2.0 * (w * w - 1.0) * norm,
                 a2 = (1.0 - w / q + w * w) * norm;
    auto pass = [&](auto begin, auto end) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (auto it = begin; it != end; ++it) {
            const double in = *it, out = b0 * in + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = in;
            y2 = y1;
            y1 = out;
            *it = static_cast<float>(out);
        }
    };
    pass(x.begin(), x.end());
    pass(x.rbegin(), x.rend());
    return x;
}

// Mean square of any stretch in one subtraction.
class Energy {
public:
    Energy(const std::vector<float>& x, long rate) : rate_(rate), sums_(x.size() + 1, 0.0) {
        for (size_t n = 0; n < x.size(); ++n) sums_[n + 1] = sums_[n] + static_cast<double>(x[n]) * x[n];
    }
    double mean(double fromSeconds, double toSeconds) const {
        const size_t last = sums_.size() - 1;
        const size_t from = std::min(last, static_cast<size_t>(std::max(0.0, fromSeconds * rate_)));
        const size_t to = std::min(last, static_cast<size_t>(std::max(0.0, toSeconds * rate_)));
        return to > from ? (sums_[to] - sums_[from]) / static_cast<double>(to - from) : 0.0;
    }
    double db(double fromSeconds, double toSeconds) const {
        return 10.0 * std::log10(mean(fromSeconds, toSeconds) + 1e-20);
    }

private:
    long rate_;
    std::vector<double> sums_;
};

// Power per bin of a stretch under one Hann window, zero-padded to `size` (a power of two): one
// long window resolves the semitones of the bass, which frames of a few thousand samples cannot.
struct Spectrum {
    double binHz = 0.0;
    std::vector<double> power;

    double energy(double lowHz, double highHz) const {
        double sum = 0.0;
        for (size_t k = 1; k < power.size(); ++k) {
            const double hz = static_cast<double>(k) * binHz;
            if (hz >= lowHz && hz < highHz) sum += power[k];
        }
        return sum;
    }
    // Energy per pitch class (0 = C) of the bins between the two frequencies.
    std::vector<double> chroma(double lowHz, double highHz) const {
        std::vector<double> classes(12, 0.0);
        for (size_t k = 1; k < power.size(); ++k) {
            const double hz = static_cast<double>(k) * binHz;
            if (hz < lowHz || hz >= highHz) continue;
            const long note = std::lround(69.0 + 12.0 * std::log2(hz / 440.0));
            classes[static_cast<size_t>(((note % 12) + 12) % 12)] += power[k];
        }
        return classes;
    }
};

Spectrum spectrum(const std::vector<float>& x, long rate, double fromSeconds, double toSeconds) {
    const size_t from = static_cast<size_t>(fromSeconds * rate);
    const size_t to = std::min(x.size(), static_cast<size_t>(toSeconds * rate));
    size_t size = 1;
    while (size < to - from) size <<= 1;
    std::vector<std::complex<double>> frame(size);
    for (size_t i = 0; i < to - from; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / (to - from));
        frame[i] = x[from + i] * hann;
    }
    fft(frame);
    Spectrum s;
    s.binHz = static_cast<double>(rate) / static_cast<double>(size);
    for (size_t k = 0; k <= size / 2; ++k) s.power.push_back(std::norm(frame[k]));
    return s;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
    double ma = 0, mb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        ma += a[i];
        mb += b[i];
    }
    ma /= static_cast<double>(a.size());
    mb /= static_cast<double>(b.size());
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        ab += (a[i] - ma) * (b[i] - mb);
        aa += (a[i] - ma) * (a[i] - ma);
        bb += (b[i] - mb) * (b[i] - mb);
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

const char* const pitchNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

// The drops, as the arrangement places them: first beat and number of 8-bar blocks.
const struct { int firstBeat, blocks; } drops[] = {{66, 5}, {266, 5}};
constexpr int blockBeats = 32, barBeats = 4;
// The row of the picture sequence where it starts over.
constexpr int secondPassRow = 25;

} // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "data/noisebiisi.ogg";
    if (argc > 2 || path == "--help") {
        std::fprintf(stderr, "usage: review_music [track.ogg]\n");
        return 2;
    }
    Track track;
    if (!decode(path, track)) {
        std::fprintf(stderr, "review_music: cannot decode '%s' as Ogg Vorbis\n", path.c_str());
        return 1;
    }
    const long rate = track.rate;
    const double lengthSeconds = static_cast<double>(track.mid.size()) / rate;
    std::printf("%s: %.2f s at %ld Hz\n", path.c_str(), lengthSeconds, rate);
    if (lengthSeconds < 207.0) {
        std::fprintf(stderr, "review_music: the track ends before the show (%.2f s)\n", lengthSeconds);
        return 1;
    }
    const Energy mid(track.mid, rate), side(track.side, rate);
    const std::vector<float> low = zeroPhaseLowPass(track.mid, 150.0, rate);
    const Energy lowEnergy(low, rate);

    std::printf("\ndrops: level over the 0.5 s after against the 0.5 s before\n");
    for (int d = 0; d < 2; ++d) {
        const double picture = sequenceStartSeconds + d * secondPassRow * sequenceRowSeconds;
        const double beat = beatTimeSeconds(drops[d].firstBeat);
        double loudest = -1e9;
        for (double t = beatTimeSeconds(drops[d].firstBeat - 16); t + 0.5 <= beat; t += 0.05)
            loudest = std::max(loudest, mid.db(t, t + 0.5));
        std::printf("  at %.2f s %+.1f dB; at its first beat (%d, %.2f s) %+.1f dB; the build-up's loudest "
                    "0.5 s %.1f dB under the drop's first 8 beats\n",
                    picture, mid.db(picture, picture + 0.5) - mid.db(picture - 0.5, picture),
                    drops[d].firstBeat, beat, mid.db(beat, beat + 0.5) - mid.db(beat - 0.5, beat),
                    mid.db(beat, beatTimeSeconds(drops[d].firstBeat + 8)) - loudest);
    }

    std::vector<double> falls;
    for (const auto& drop : drops) {
        for (int k = drop.firstBeat; k < drop.firstBeat + drop.blocks * blockBeats; ++k) {
            const double beat = beatTimeSeconds(k);
            falls.push_back(lowEnergy.db(beat, beat + 0.05) - lowEnergy.db(beat + 0.1, beat + 0.15));
        }
    }
    std::printf("\nkick below 150 Hz, first 50 ms against 100-150 ms after the beat: falls %.1f dB "
                "(median over %zu beats)\n",
                median(falls), falls.size());

    std::printf("\nper 8-bar block of the drops:\n"
                "  block  beats    bass pitch classes by bar   kinds  4-8k/60-120 Hz  side/mid  chords like "
                "block 0\n");
    std::vector<double> firstChroma;
    int blocks = 0, varied = 0, repeats = 0;
    double worstAir = 1e9, worstWidth = 1e9;
    double sub = 0, midRange = 0, total = 0;
    for (const auto& drop : drops) {
        for (int b = 0; b < drop.blocks; ++b, ++blocks) {
            const int first = drop.firstBeat + b * blockBeats;
            const double from = beatTimeSeconds(first), to = beatTimeSeconds(first + blockBeats);
            std::string classes;
            std::vector<int> kinds;
            std::vector<double> chroma;
            for (int bar = 0; bar < blockBeats / barBeats; ++bar) {
                const Spectrum s = spectrum(track.mid, rate, beatTimeSeconds(first + bar * barBeats),
                                            beatTimeSeconds(first + (bar + 1) * barBeats));
                const std::vector<double> bass = s.chroma(25.0, 140.0);
                const int strongest =
                    static_cast<int>(std::max_element(bass.begin(), bass.end()) - bass.begin());
                classes += std::string(classes.empty() ? "" : " ") + pitchNames[strongest];
                if (std::find(kinds.begin(), kinds.end(), strongest) == kinds.end())
                    kinds.push_back(strongest);
                const std::vector<double> notes = s.chroma(25.0, 5000.0);
                double sum = 0.0;
                for (double v : notes) sum += v;
                for (double v : notes) chroma.push_back(v / (sum + 1e-30));
            }
            const Spectrum whole = spectrum(track.mid, rate, from, to);
            const double air = 10.0 * std::log10((whole.energy(4000.0, 8000.0) / 4000.0) /
                                                 (whole.energy(60.0, 120.0) / 60.0));
            const double width = side.db(from, to) - mid.db(from, to);
            sub += whole.energy(0.0, 120.0);
            midRange += whole.energy(500.0, 2000.0);
            total += whole.energy(0.0, rate / 2.0);
            double alike = 1.0;
            if (firstChroma.empty()) {
                firstChroma = chroma;
            } else {
                alike = correlation(firstChroma, chroma);
                repeats += alike > 0.85;
            }
            varied += kinds.size() >= 3;
            worstAir = std::min(worstAir, air);
            worstWidth = std::min(worstWidth, width);
            std::printf("  %5d  %3d-%3d  %-26s  %5zu  %11.1f dB  %5.1f dB  %6.2f\n", blocks, first,
                        first + blockBeats - 1, classes.c_str(), kinds.size(), air, width, alike);
        }
    }
    std::printf("  blocks with 3 or more bass pitch classes: %d of %d\n", varied, blocks);
    std::printf("  air at its least %.1f dB, width at its least %.1f dB\n", worstAir, worstWidth);
    std::printf("  later blocks whose chords repeat block 0 (correlation > 0.85): %d of %d\n", repeats,
                blocks - 1);
    std::printf("  below 120 Hz %.0f %% of the energy, 500-2000 Hz %.1f dB of it\n", 100.0 * sub / total,
                10.0 * std::log10(midRange / total));

    const struct { double from, to; } quiet[] = {{0.3, 7.3}, {104.2, 111.6}};
    std::printf("\nquiet parts: level jump at each beat, 50 ms after against 50 ms before\n");
    for (const auto& part : quiet) {
        std::vector<double> jumps;
        for (int k = 1; beatTimeSeconds(k) < part.to; ++k) {
            const double beat = beatTimeSeconds(k);
            if (beat >= part.from) jumps.push_back(mid.db(beat, beat + 0.05) - mid.db(beat - 0.05, beat));
        }
        std::printf("  %.1f-%.1f s: median %+.1f dB, least %+.1f dB over %zu beats\n", part.from, part.to,
                    median(jumps), *std::min_element(jumps.begin(), jumps.end()), jumps.size());
    }

    // 10 ms windows from the last beat on; the hit's peak window and how long the level stays within
    // 20 dB of it.
    const double lastBeat = beatTimeSeconds(446), step = 0.01;
    double peak = -1e9, peakAt = lastBeat;
    for (double t = lastBeat; t < lastBeat + 0.1; t += step) {
        if (mid.db(t, t + step) > peak) {
            peak = mid.db(t, t + step);
            peakAt = t;
        }
    }
    double ringsUntil = peakAt, audibleUntil = peakAt;
    while (ringsUntil < lengthSeconds - step && mid.db(ringsUntil, ringsUntil + step) > peak - 20.0)
        ringsUntil += step;
    for (double t = peakAt; t < lengthSeconds - step; t += step)
        if (mid.db(t, t + step) > -70.0) audibleUntil = t + step;
    double tail = 0.0;
    for (size_t n = static_cast<size_t>(206.0 * rate); n < track.mid.size(); ++n)
        tail = std::max({tail, std::fabs(static_cast<double>(track.mid[n] + track.side[n])),
                         std::fabs(static_cast<double>(track.mid[n] - track.side[n]))});
    std::printf(
        "\nlast hit: peak %.1f dB at %.2f s, within 20 dB of it for %.2f s, above -70 dBFS until %.2f s; "
        "after 206 s at most %.1f dBFS\n",
        peak, peakAt, ringsUntil - peakAt, audibleUntil, 20.0 * std::log10(tail + 1e-20));
    return 0;
}
