// Checks the soundtrack the build wrote, as the demo will play it: decoded, not as synthesised.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <vorbis/vorbisfile.h>

#include "base/BeatGrid.h"
#include "demo/Timeline.h"
#include "review/Loudness.h"
#include "support/Process.h"
#include "support/SoundBands.h"
#include "support/TempDir.h"

namespace {

constexpr int rate = 44100;
const std::string buildDir = LUMORAKKA_BUILD_DIR;
const std::string trackPath = buildDir + "/data/noisebiisi.ogg";
const std::string generator = buildDir + "/tools/make_music";

struct Decoded {
    long rate = 0;
    int channels = 0;
    ogg_int64_t declaredFrames = 0;
    std::vector<float> left, right;
    std::string error;
};

Decoded decode(const std::string& path) {
    Decoded d;
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) {
        d.error = "cannot open " + path + " as Ogg Vorbis";
        return d;
    }
    vorbis_info* info = ov_info(&file, -1);
    d.rate = info->rate;
    d.channels = info->channels;
    d.declaredFrames = ov_pcm_total(&file, -1);
    int section = 0;
    for (;;) {
        float** pcm = nullptr;
        long got = ov_read_float(&file, &pcm, 4096, &section);
        if (got == 0) break;
        if (got < 0) {
            d.error = "decode error " + std::to_string(got);
            break;
        }
        d.left.insert(d.left.end(), pcm[0], pcm[0] + got);
        d.right.insert(d.right.end(), pcm[d.channels > 1 ? 1 : 0], pcm[d.channels > 1 ? 1 : 0] + got);
    }
    ov_clear(&file);
    return d;
}

// The mono mix, as one speaker plays the track.
std::vector<float> monoMix(const Decoded& track) {
    std::vector<float> mono(track.left.size());
    for (size_t n = 0; n < mono.size(); ++n) mono[n] = 0.5f * (track.left[n] + track.right[n]);
    return mono;
}

// One-pole low pass run forwards and backwards `passes` times, so it adds no delay.
std::vector<float> zeroPhaseLowPass(std::vector<float> x, double hz, int passes = 1) {
    const float a = static_cast<float>(1.0 - std::exp(-2.0 * M_PI * hz / rate));
    for (int pass = 0; pass < passes; ++pass) {
        float s = 0.0f;
        for (float& v : x) v = s += a * (v - s);
        s = 0.0f;
        for (size_t n = x.size(); n-- > 0;) x[n] = s += a * (x[n] - s);
    }
    return x;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the generator; returns its exit status, what it printed in `output`.
int run(const std::vector<std::string>& argv, std::string& output) {
    CommandResult result = runCommand(argv, "/", {}, 120000);
    output = result.output + result.errors;
    return result.exitStatus;
}

class MusicFile : public testing::Test {
protected:
    static void SetUpTestSuite() { track = new Decoded(decode(trackPath)); }
    static void TearDownTestSuite() {
        delete track;
        track = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(track->error.empty()) << track->error; }

    static double rmsDb(size_t from, size_t to) {
        double sum = 0.0;
        for (size_t n = from; n < to; ++n)
            sum += track->left[n] * track->left[n] + track->right[n] * track->right[n];
        return 10.0 * std::log10(sum / (2.0 * static_cast<double>(to - from)) + 1e-30);
    }
    static Decoded* track;
};
Decoded* MusicFile::track = nullptr;

// The show ends at 206 s of music time: a shorter track, or a lost tail, would stop the clock early.
TEST_F(MusicFile, IsLongStereo44kAndCompletelyDecodable) {
    EXPECT_EQ(track->rate, rate);
    EXPECT_EQ(track->channels, 2);
    EXPECT_GE(track->left.size(), static_cast<size_t>(207 * rate));
    EXPECT_LE(track->left.size(), static_cast<size_t>(215 * rate));
    EXPECT_EQ(static_cast<ogg_int64_t>(track->left.size()), track->declaredFrames);
}

// A converter, or a player that resamples, rebuilds the waveform between the samples, and its peaks
// there can be higher than any sample: the true peak (4x oversampled) has to stay under -1 dBTP.
TEST_F(MusicFile, TruePeakStaysBelowMinusOneDbtpAndNoSampleIsNaN) {
    float peak = 0.0f;
    for (size_t n = 0; n < track->left.size(); ++n) {
        ASSERT_TRUE(std::isfinite(track->left[n]) && std::isfinite(track->right[n])) << "sample " << n;
        peak = std::max({peak, std::fabs(track->left[n]), std::fabs(track->right[n])});
    }
    const double truePeakDb = 20.0 * std::log10(truePeak(track->left, track->right));
    std::printf("decoded sample peak %.2f dBFS, true peak %.2f dBTP\n", 20.0 * std::log10(peak), truePeakDb);
    EXPECT_LE(truePeakDb, -1.0);
    EXPECT_GT(peak, 0.3f) << "the track is far too quiet";
}

// Gaps where the show runs on, up to its last beat, or sound after the end of the show.
TEST_F(MusicFile, PlaysThroughTheShowAndIsSilentByItsEnd) {
    const size_t window = rate / 2;
    const size_t lastBeat = static_cast<size_t>(beatTimeSeconds(446) * rate);
    for (size_t from = rate / 2; from + window <= lastBeat; from += window) {
        double level = rmsDb(from, from + window);
        EXPECT_GT(level, -40.0) << "near-silence at " << static_cast<double>(from) / rate << " s";
    }
    float tail = 0.0f;
    for (size_t n = 206 * rate; n < track->left.size(); ++n)
        tail = std::max({tail, std::fabs(track->left[n]), std::fabs(track->right[n])});
    EXPECT_LT(tail, 1e-3f) << "still sounding after 206 s";
}

// Every kick must land on the beat the show flashes on. The onset is where the low band (everything
// below about 150 Hz, filtered forwards and backwards so the filter adds no delay) first rises a quarter
// of the way from the level just before the beat to the kick's peak. The kick's sweep keeps the low band
// growing for tens of milliseconds, so a higher mark would measure the sweep, not the start.
TEST_F(MusicFile, KicksLandWithinFiveMillisecondsOfTheBeat) {
    std::vector<float> low = zeroPhaseLowPass(monoMix(*track), 150.0, 2);
    for (float& v : low) v = std::fabs(v);

    // Sections with a kick on every beat: the intro's soft kick from its first phrase through the
    // build-up up to the break before the drop, both drops, the soft kick before the second drop, the
    // start of the outro.
    const struct {
        double from, to;
    } sections[] = {{0.6, 29.0}, {30.2, 104.0}, {115.1, 121.3}, {122.5, 200.0}};
    const auto ms = [](double v) { return static_cast<size_t>(v * rate / 1000.0); };
    int checked = 0;
    double worst = 0.0, sum = 0.0;
    for (const auto& section : sections) {
        for (int k = 1; beatTimeSeconds(k) < section.to; ++k) {
            if (beatTimeSeconds(k) < section.from) continue;
            const size_t beat = static_cast<size_t>(std::llround(beatTimeSeconds(k) * rate));
            float before = *std::max_element(low.begin() + beat - ms(30), low.begin() + beat - ms(12));
            float peak = *std::max_element(low.begin() + beat, low.begin() + beat + ms(60));
            ASSERT_GT(peak, 2.0f * before + 0.01f)
                << "no kick at beat " << k << " (" << beatTimeSeconds(k) << " s)";
            float threshold = before + 0.25f * (peak - before);
            size_t onset = beat - ms(25);
            while (low[onset] < threshold) ++onset;
            double offsetMs = (static_cast<double>(onset) - static_cast<double>(beat)) * 1000.0 / rate;
            EXPECT_LE(std::fabs(offsetMs), 5.0) << "beat " << k << " at " << beatTimeSeconds(k) << " s";
            worst = std::max(worst, std::fabs(offsetMs));
            sum += offsetMs;
            ++checked;
        }
    }
    std::printf("%d kicks checked, mean offset %.2f ms, worst %.2f ms\n", checked, sum / checked, worst);
    EXPECT_GE(checked, 400);
}

// The soundtrack under the sequence's rows, row r spanning the eight beats from
// sequenceStartSeconds + r x sequenceRowSeconds. At row 25 the pictures start over, so rows i and
// i + 25 show the same thing; the drops are rows 0-19 and 25-44. Spectra are of the mono mix, as
// one speaker plays it, so a part spread wide in stereo counts for what it adds there.
constexpr int sequenceRows = 47; // whole rows before the show ends
constexpr int secondPassRow = 25;
const struct { int first, end; } dropRows[] = {{0, 20}, {25, 45}};

size_t rowSample(int row) {
    return static_cast<size_t>(std::llround((sequenceStartSeconds + row * sequenceRowSeconds) * rate));
}

const std::vector<BandSpectrum>& rowSpectra(const Decoded& track) {
    static const std::vector<BandSpectrum> spectra = [&] {
        const std::vector<float> mono = monoMix(track);
        std::vector<BandSpectrum> rows;
        for (int r = 0; r < sequenceRows; ++r)
            rows.push_back(bandSpectrum(mono, rate, rowSample(r), rowSample(r + 1)));
        return rows;
    }();
    return spectra;
}

// A melody a listener can follow has to stand out from the kick and the bass in the drops: when the
// sub-bass carries three quarters of the energy, the tune is lost under it.
TEST_F(MusicFile, DropsCarryAMidRangeVoiceOverTheSubBass) {
    BandSpectrum drops;
    for (const auto& section : dropRows)
        for (int r = section.first; r < section.end; ++r) drops += rowSpectra(*track)[r];
    const double total = drops.total();
    const double subShare = drops.energy(0.0, 120.0) / total;
    const double midDb = 10.0 * std::log10(drops.energy(500.0, 2000.0) / total);
    std::printf("drops: below 120 Hz %.1f %% of the energy, 500-2000 Hz %.1f dB of it\n", 100.0 * subShare,
                midDb);
    EXPECT_LE(subShare, 0.67) << "the sub-bass drowns the rest";
    EXPECT_GE(midDb, -9.5) << "little lead or melody in the mid range";
}

// When the pictures start over the music must not: a copied arrangement gives each row of the second
// pass the same spectral shape as its row in the first.
TEST_F(MusicFile, SecondPassOfTheSequenceIsANewArrangement) {
    std::vector<double> alike;
    std::string list;
    for (int i = 0; i + secondPassRow < sequenceRows; ++i) {
        alike.push_back(correlation(thirdOctaveProfileDb(rowSpectra(*track)[i]),
                                    thirdOctaveProfileDb(rowSpectra(*track)[i + secondPassRow])));
        char text[16];
        std::snprintf(text, sizeof text, " %.2f", alike.back());
        list += text;
    }
    std::sort(alike.begin(), alike.end());
    const size_t n = alike.size();
    const double median = n % 2 ? alike[n / 2] : 0.5 * (alike[n / 2 - 1] + alike[n / 2]);
    std::printf("rows i and i + %d: band profiles correlate%s; median %.3f\n", secondPassRow, list.c_str(),
                median);
    EXPECT_LE(median, 0.92) << "the second pass repeats the first";
}

// Drops that hold one loudness for minutes are a wall of sound: some rows must thin out and others
// build, so the show breathes.
TEST_F(MusicFile, DropsRiseAndFallInLoudness) {
    double quietest = 1e9, loudest = -1e9;
    for (const auto& section : dropRows) {
        for (int r = section.first; r < section.end; ++r) {
            const double level = rmsDb(rowSample(r), rowSample(r + 1));
            quietest = std::min(quietest, level);
            loudest = std::max(loudest, level);
        }
    }
    std::printf("drop rows from %.1f to %.1f dB RMS\n", quietest, loudest);
    EXPECT_GE(loudest - quietest, 3.0);
}

// A kick whose boom holds its low end for a tenth of a second covers the bass line between the kicks,
// and the harmony's roots with it. Below 150 Hz the first 50 ms after each beat of the drops must be
// 12 dB louder than 100-150 ms after it (median over the beats): the kick is gone by then, and the
// bass leaves that moment to it.
TEST_F(MusicFile, KicksInTheDropsAreShortAndLeaveTheLowEndToTheBass) {
    const std::vector<float> low = zeroPhaseLowPass(monoMix(*track), 150.0, 2);
    std::vector<double> sums(low.size() + 1, 0.0);
    for (size_t n = 0; n < low.size(); ++n) sums[n + 1] = sums[n] + double(low[n]) * low[n];
    const auto levelDb = [&](double from, double to) {
        const size_t a = static_cast<size_t>(from * rate), b = static_cast<size_t>(to * rate);
        return 10.0 * std::log10((sums[b] - sums[a]) / static_cast<double>(b - a) + 1e-30);
    };
    std::vector<double> falls;
    for (const auto& section : dropRows) {
        for (int k = 1; beatTimeSeconds(k) < static_cast<double>(rowSample(section.end)) / rate; ++k) {
            const double beat = beatTimeSeconds(k);
            if (beat * rate < static_cast<double>(rowSample(section.first))) continue;
            falls.push_back(levelDb(beat, beat + 0.05) - levelDb(beat + 0.1, beat + 0.15));
        }
    }
    ASSERT_GT(falls.size(), 300u);
    std::sort(falls.begin(), falls.end());
    const double median = falls[falls.size() / 2];
    std::printf("below 150 Hz the kick falls %.1f dB from its first 50 ms to 100-150 ms (median of %zu "
                "beats, the least %.1f dB)\n",
                median, falls.size(), falls.front());
    EXPECT_GE(median, 12.0) << "a long boom under the drops";
}

// Where an audible sound starts near each counted beat. The track is split into three bands (below
// 150 Hz for kicks, 150 Hz to 2 kHz for notes, above 2 kHz for ticks, hats and clicks), each filtered
// forwards and backwards so the bands add no delay. In each band, from 20 ms before the beat to 20 ms
// after, the onset is where the energy of the next 3 ms rises most over the 13 ms before it; it counts
// when that rise is at least 6 dB and reaches -45 dBFS. The band with the sharpest rise gives the
// beat's onset, so a sustained pad that swells a little does not stand for the tick that starts on it.
class BeatOnsets {
public:
    explicit BeatOnsets(const Decoded& track) {
        const size_t count = track.left.size();
        const std::vector<float> mono = monoMix(track);
        const std::vector<float> below150 = zeroPhaseLowPass(mono, 150.0);
        const std::vector<float> below2k = zeroPhaseLowPass(mono, 2000.0);
        std::vector<float> bands[3] = {below150, below2k, mono};
        for (size_t n = 0; n < count; ++n) {
            bands[1][n] -= below150[n];
            bands[2][n] -= below2k[n];
        }
        for (const std::vector<float>& band : bands) {
            // Running sums of squares, so any window's energy is one subtraction.
            std::vector<double> sums(count + 1, 0.0);
            for (size_t n = 0; n < count; ++n) sums[n + 1] = sums[n] + double(band[n]) * band[n];
            energySums_.push_back(std::move(sums));
        }
    }

    // Offset of the onset from beat k, milliseconds; none when no band rises near the beat.
    std::optional<double> offsetMs(int k) const {
        const long beat = std::lround(beatTimeSeconds(k) * rate);
        const auto ms = [](double v) { return std::lround(v * rate / 1000.0); };
        const double audible = std::pow(10.0, -45.0 / 10.0);
        double sharpest = 4.0; // a 6 dB rise at least
        std::optional<double> onset;
        for (const std::vector<double>& sums : energySums_) {
            for (long at = beat - ms(20); at <= beat + ms(20); ++at) {
                const double energy = mean(sums, at, at + ms(3));
                const double rise = energy / (mean(sums, at - ms(15), at - ms(2)) + 1e-12);
                if (energy >= audible && rise > sharpest) {
                    sharpest = rise;
                    onset = (at - beat) * 1000.0 / rate;
                }
            }
        }
        return onset;
    }

private:
    static double mean(const std::vector<double>& sums, long from, long to) {
        from = std::clamp<long>(from, 0, static_cast<long>(sums.size()) - 1);
        to = std::clamp<long>(to, from + 1, static_cast<long>(sums.size()) - 1);
        return (sums[to] - sums[from]) / static_cast<double>(to - from);
    }
    std::vector<std::vector<double>> energySums_;
};

// The picture flashes on every counted beat up to the end of the show, intro and breakdown
// included: each flash needs a sound that starts with it.
TEST_F(MusicFile, EveryCountedBeatCarriesAnOnsetWithinEightMilliseconds) {
    const BeatOnsets onsets(*track);
    const int beats = 446; // the last beat before the show ends at 206 s
    ASSERT_LT(beatTimeSeconds(beats), 206.0);
    ASSERT_GT(beatTimeSeconds(beats + 1), 206.0);
    int onTime = 0;
    std::string missed;
    for (int k = 1; k <= beats; ++k) {
        const std::optional<double> offset = onsets.offsetMs(k);
        if (offset && std::fabs(*offset) <= 8.0) {
            ++onTime;
        } else {
            char text[48];
            snprintf(text, sizeof text, " %d (%.2f s)", k, beatTimeSeconds(k));
            missed += text;
        }
    }
    std::printf("%d of %d counted beats carry an onset within 8 ms\n", onTime, beats);
    EXPECT_EQ(onTime, beats) << "beats without an onset:" << missed;
}

// The show ends on its last counted beat: the music must end there with a hit that stands out from
// the outro, still sounds in the show's last frames and dies away by itself, not cut off at the end.
TEST_F(MusicFile, FinalHitOnTheLastBeatStandsOutAndDiesAwayBeforeTheShowEnds) {
    const auto at = [](double seconds) { return static_cast<size_t>(std::llround(seconds * rate)); };
    const double lastBeat = beatTimeSeconds(446);
    const double fadedOutro = rmsDb(at(lastBeat - 0.35), at(lastBeat - 0.02));
    const double hit = rmsDb(at(lastBeat), at(lastBeat + 0.1));
    const double ringing = rmsDb(at(205.8), at(205.88));
    const double closing = rmsDb(at(205.90), at(205.95));
    std::printf(
        "outro before the last beat %.1f dB, final hit %.1f dB, at 205.8 s %.1f dB, at 205.9 s %.1f dB\n",
        fadedOutro, hit, ringing, closing);
    EXPECT_GT(hit, -16.0) << "no hit on the last beat";
    EXPECT_GT(hit, fadedOutro + 10.0) << "the last beat does not stand out from the outro";
    EXPECT_GT(ringing, -30.0) << "the hit has died away before the show ends";
    EXPECT_LT(closing, hit - 20.0) << "the hit is still sounding when the track is closed";
}

// The build must be reproducible: the same program writes the same bytes every time.
TEST(MusicGenerator, TwoRunsWriteIdenticalFiles) {
    TempDir scratch;
    const std::string dir = scratch.path;
    std::string output;
    for (const char* name : {"/first.ogg", "/second.ogg"}) {
        ASSERT_EQ(run({generator, dir + name}, output), 0) << output;
        std::printf("%s", output.c_str());
    }
    std::string first = readBytes(dir + "/first.ogg"), second = readBytes(dir + "/second.ogg");
    EXPECT_GT(first.size(), 1000000u);
    EXPECT_TRUE(first == second) << "two renders differ";
    EXPECT_TRUE(first == readBytes(trackPath)) << "the build's track differs from a fresh render";
    EXPECT_FALSE(std::filesystem::exists(dir + "/first.ogg.partial"));
}

TEST(MusicGenerator, UnwritableOutputFailsBeforeRenderingAndLeavesNothing) {
    TempDir scratch;
    const std::string dir = scratch.path + "/missing";
    std::string output;
    EXPECT_EQ(run({generator, dir + "/noisebiisi.ogg"}, output), 1);
    EXPECT_NE(output.find("cannot create '" + dir + "/noisebiisi.ogg.partial'"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(dir));

    EXPECT_EQ(run({generator}, output), 2);
    EXPECT_NE(output.find("usage: make_music <output.ogg>"), std::string::npos) << output;
}

} // namespace
