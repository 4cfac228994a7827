// review_music [track.ogg]: prints how the soundtrack sounds in numbers, measured on the decoded
// file (data/noisebiisi.ogg of the build directory it runs in by default), on the mid (L + R) / 2
// and side (L - R) / 2 signals:
//   - loudness as a PA or a player meters it (Loudness.h): integrated, range, true peak; where in the
//     beat the drops peak; the climax (beats 362-426) against the first drop's hook blocks (66-130,
//     162-226) by median short-term loudness, and its 250 Hz octave against its 1 kHz octave; each
//     build-up's first and last 3 s before its break, its loudest 3 s and its drop's first 3 s;
//   - each drop's level over the 0.5 s after the picture's sequence starts (30.4 s, and 122.7 s where
//     it starts over) against the 0.5 s before, and the same around the drop's first beat; the
//     loudest 0.5 s of the 16 beats before the drop against the drop's first 8 beats;
//   - how far the kick's low end (below 150 Hz) falls from its first 50 ms to 100-150 ms after the
//     beat, median over the drops' beats;
//   - the bass note of each bar of the drops, by its period (the bass restarts on every beat, so a
//     bar's spectrum has lines every 2 Hz or so and its strongest one can miss the note), and how
//     many different ones each 8-bar block has (a bass that follows the chords changes it with them);
//   - per 8-bar block of the drops: 4-8 kHz against 60-120 Hz per Hz (air), side against mid
//     (width), and how closely its bar-by-bar chroma (25 Hz-5 kHz, each bar's summing to 1) follows
//     the first block's: over 0.85 it plays the same chords;
//   - how many of the 13 eight-bar blocks (from beat 2 to 258 and 266 to 426) play the first drop's
//     first block's chords in any key;
//   - the level jump at each beat in the quiet parts, where only the flash marks the beat;
//   - the quietest 100 ms from the outro (beat 426) to the last hit; how long the last hit stays within
//     20 dB of its peak, how far under its peak it is at 205.90-205.95 s, and where it falls silent;
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
#include "review/Loudness.h"

namespace {

struct Track {
    long rate = 0;
    std::vector<float> left, right, mid, side;
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
            track.left.push_back(pcm[0][n]);
            track.right.push_back(right[n]);
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

double db(double ratio) {
    return 20.0 * std::log10(ratio + 1e-20);
}

// Each bar's chroma (25 Hz - 5 kHz, summing to 1) for the 8 bars from `firstBeat`, one after another.
std::vector<double> blockChroma(const std::vector<float>& mid, long rate, int firstBeat) {
    std::vector<double> chroma;
    for (int bar = 0; bar < 8; ++bar) {
        const Spectrum s = spectrum(mid, rate, beatTimeSeconds(firstBeat + 4 * bar),
                                    beatTimeSeconds(firstBeat + 4 * bar + 4));
        const std::vector<double> notes = s.chroma(25.0, 5000.0);
        double sum = 0.0;
        for (double v : notes) sum += v;
        for (double v : notes) chroma.push_back(v / (sum + 1e-30));
    }
    return chroma;
}

// The bass note of the bar from `firstBeat`, by its period: the bass strikes its note half a beat
// after each kick, so the 60 ms from 5 ms after that, where the kick has died away, hold little else
// below 150 Hz. Their autocorrelations, summed over the bar's beats, peak at the note's period (or a
// multiple, which names the same note). `low` is the mid below 150 Hz, every `step`-th sample.
// Returns the pitch class, or -1 when nothing there repeats.
int bassNoteByPeriod(const std::vector<float>& low, long rate, int step, int firstBeat) {
    const double lowRate = static_cast<double>(rate) / step;
    const long shortest = std::lround(lowRate / 140.0), longest = std::lround(lowRate / 25.0);
    const long length = std::lround(0.06 * lowRate);
    std::vector<double> sums(static_cast<size_t>(longest + 2), 0.0);
    for (int beat = firstBeat; beat < firstBeat + 4; ++beat) {
        const long from = std::lround((beatTimeSeconds(beat) + 0.5 * beatSeconds + 0.005) * lowRate);
        if (from < 0 || from + length + longest + 1 >= static_cast<long>(low.size())) return -1;
        const float* x = low.data() + from;
        for (long lag = shortest - 1; lag <= longest + 1; ++lag) {
            double xy = 0.0, xx = 0.0, yy = 0.0;
            for (long n = 0; n < length; ++n) {
                xy += static_cast<double>(x[n]) * x[n + lag];
                xx += static_cast<double>(x[n]) * x[n];
                yy += static_cast<double>(x[n + lag]) * x[n + lag];
            }
            sums[static_cast<size_t>(lag)] += xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0.0;
        }
    }
    long best = shortest;
    for (long lag = shortest; lag <= longest; ++lag)
        if (sums[static_cast<size_t>(lag)] > sums[static_cast<size_t>(best)]) best = lag;
    if (sums[static_cast<size_t>(best)] < 0.5 * 4) return -1;
    // A parabola through the peak and its neighbours places the period between the samples.
    const double a = sums[static_cast<size_t>(best - 1)], b = sums[static_cast<size_t>(best)],
                 c = sums[static_cast<size_t>(best + 1)];
    const double shift = a - 2.0 * b + c < 0.0 ? 0.5 * (a - c) / (a - 2.0 * b + c) : 0.0;
    const double hz = lowRate / (static_cast<double>(best) + shift);
    const long note = std::lround(69.0 + 12.0 * std::log2(hz / 440.0));
    return static_cast<int>(((note % 12) + 12) % 12);
}

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

    const LoudnessMeter meter(track.left, track.right, rate);
    double samplePeak = 0.0;
    for (size_t n = 0; n < track.left.size(); ++n)
        samplePeak =
            std::max({samplePeak, std::fabs(double(track.left[n])), std::fabs(double(track.right[n]))});
    std::printf(
        "\nloudness: integrated %.1f LUFS, range %.1f LU, true peak %.2f dBTP (sample peak %.2f dBFS)\n",
        meter.integrated(), meter.range(), db(truePeak(track.left, track.right)), db(samplePeak));
    // Where in the beat the drops peak: on the kick, or after it, where the sustained parts are back
    // from under the kick and the bass and the hats strike the off-beat.
    std::vector<double> onBeat, offBeat;
    for (const auto& drop : drops) {
        for (int k = drop.firstBeat; k < drop.firstBeat + drop.blocks * blockBeats; ++k) {
            double peaks[2] = {0.0, 0.0};
            const size_t from = static_cast<size_t>(beatTimeSeconds(k) * rate),
                         to = static_cast<size_t>(beatTimeSeconds(k + 1) * rate),
                         split = static_cast<size_t>((beatTimeSeconds(k) + 0.4 * beatSeconds) * rate);
            for (size_t n = from; n < to; ++n)
                peaks[n >= split] = std::max(
                    {peaks[n >= split], std::fabs(double(track.left[n])), std::fabs(double(track.right[n]))});
            onBeat.push_back(db(peaks[0]));
            offBeat.push_back(db(peaks[1]));
        }
    }
    std::printf("  the drops' peaks, median per beat: on the kick (its first 0.4 beat) %.2f dBFS, after it "
                "%.2f dBFS\n",
                median(onBeat), median(offBeat));
    const auto medianShortTerm = [&](std::initializer_list<std::pair<int, int>> spans) {
        std::vector<double> values;
        for (const auto& span : spans)
            for (double t = beatTimeSeconds(span.first) + 3.0; t <= beatTimeSeconds(span.second); t += 0.1)
                values.push_back(meter.shortTerm(t));
        return median(values);
    };
    const double hooks = medianShortTerm({{66, 130}, {162, 226}}), climax = medianShortTerm({{362, 426}});
    const Spectrum top = spectrum(track.mid, rate, beatTimeSeconds(362), beatTimeSeconds(426));
    const auto octave = [&](double centreHz) {
        return top.energy(centreHz / std::sqrt(2.0), centreHz * std::sqrt(2.0));
    };
    std::printf(
        "  short-term, median: the first drop's hook blocks (beats 66-130, 162-226) %.1f LUFS, the climax "
        "(362-426) %.1f LUFS, %+.1f LU; the climax's 250 Hz octave %+.1f dB on its 1 kHz octave\n",
        hooks, climax, climax - hooks, 10.0 * std::log10(octave(250.0) / octave(1000.0)));
    // Build-ups from their first beat to the break two beats before their drop.
    const struct { int first, drop; } buildUps[] = {{42, 66}, {250, 266}};
    for (const auto& b : buildUps) {
        const double start = beatTimeSeconds(b.first), brk = beatTimeSeconds(b.drop - 2);
        double loudest = -1e9;
        for (double t = start + 3.0; t <= beatTimeSeconds(b.drop); t += 0.05)
            loudest = std::max(loudest, meter.shortTerm(t));
        const double first = meter.lufs(start, start + 3.0), last = meter.shortTerm(brk),
                     drop = meter.lufs(beatTimeSeconds(b.drop), beatTimeSeconds(b.drop) + 3.0);
        std::printf(
            "  build-up from beat %d: its first 3 s %.1f LUFS, its last 3 s before the break %.1f LUFS "
            "(%+.1f LU); its loudest 3 s %.1f LUFS, %.1f LU under the drop's first 3 s\n",
            b.first, first, last, last - first, loudest, drop - loudest);
    }

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

    // The low band at a quarter of the rate is plenty for periods of 7 to 40 ms.
    constexpr int lowStep = 4;
    std::vector<float> lowQuarter;
    for (size_t n = 0; n < low.size(); n += lowStep) lowQuarter.push_back(low[n]);
    std::printf("\nper 8-bar block of the drops:\n"
                "  block  beats    bass note by period, by bar  kinds  4-8k/60-120 Hz  side/mid  chords like "
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
            for (int bar = 0; bar < blockBeats / barBeats; ++bar) {
                const int note = bassNoteByPeriod(lowQuarter, rate, lowStep, first + bar * barBeats);
                classes += std::string(classes.empty() ? "" : " ") + (note < 0 ? "-" : pitchNames[note]);
                if (note >= 0 && std::find(kinds.begin(), kinds.end(), note) == kinds.end())
                    kinds.push_back(note);
            }
            const std::vector<double> chroma = blockChroma(track.mid, rate, first);
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
    std::printf("  blocks with 3 or more bass notes: %d of %d\n", varied, blocks);
    std::printf("  air at its least %.1f dB, width at its least %.1f dB\n", worstAir, worstWidth);
    std::printf("  later blocks whose chords repeat block 0 (correlation > 0.85): %d of %d\n", repeats,
                blocks - 1);
    std::printf("  below 120 Hz %.0f %% of the energy, 500-2000 Hz %.1f dB of it\n", 100.0 * sub / total,
                10.0 * std::log10(midRange / total));

    // Blocks in any key: the best correlation over the twelve ways to turn one block's pitch classes.
    std::printf("\nchords of the first drop's first block (beat 66) in any key, chroma correlation by 8-bar "
                "block:\n ");
    int anyKey = 0, allBlocks = 0;
    std::vector<int> starts;
    for (int b = 2; b <= 226; b += blockBeats) starts.push_back(b);
    for (int b = 266; b < 426; b += blockBeats) starts.push_back(b);
    for (int first : starts) {
        const std::vector<double> chroma = blockChroma(track.mid, rate, first);
        double best = -1.0;
        for (int shift = 0; shift < 12; ++shift) {
            std::vector<double> turned(chroma.size());
            for (size_t i = 0; i < chroma.size(); ++i)
                turned[i] = chroma[i - i % 12 + (i % 12 + static_cast<size_t>(shift)) % 12];
            best = std::max(best, correlation(firstChroma, turned));
        }
        anyKey += best > 0.85;
        ++allBlocks;
        std::printf(" %d: %.2f", first, best);
    }
    std::printf("\n  blocks that repeat them (above 0.85), the first drop's first block included: %d of %d\n",
                anyKey, allBlocks);

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
    // Both channels' 100 ms RMS, every 10 ms, from the outro to the last hit.
    double quietest = 1e9, quietestAt = 0.0;
    for (double t = beatTimeSeconds(426); t + 0.1 <= lastBeat; t += 0.01) {
        const double level = 10.0 * std::log10(mid.mean(t, t + 0.1) + side.mean(t, t + 0.1) + 1e-20);
        if (level < quietest) {
            quietest = level;
            quietestAt = t;
        }
    }
    const auto samplePeakDb = [&](double from, double to) {
        double most = 0.0;
        for (size_t n = static_cast<size_t>(from * rate);
             n < static_cast<size_t>(to * rate) && n < track.left.size(); ++n)
            most = std::max({most, std::fabs(double(track.left[n])), std::fabs(double(track.right[n]))});
        return db(most);
    };
    const double hitPeak = samplePeakDb(lastBeat, lastBeat + 0.15);
    std::printf(
        "\nending: the quietest 100 ms from the outro (beat 426) to the last hit %.1f dBFS, at %.2f s\n",
        quietest, quietestAt);
    std::printf(
        "last hit: peak %.1f dB at %.2f s, within 20 dB of it for %.2f s, above -70 dBFS until %.2f s; "
        "205.90-205.95 s peaks %.1f dB under its peak; after 206 s %s\n",
        peak, peakAt, ringsUntil - peakAt, audibleUntil, hitPeak - samplePeakDb(205.90, 205.95),
        tail > 0.0 ? ("at most " + std::to_string(std::lround(db(tail))) + " dBFS").c_str() : "silent");
    return 0;
}
