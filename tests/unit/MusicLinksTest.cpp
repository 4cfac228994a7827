// Chained Ogg files, whose links may each have another rate and channel count, decoded as playback
// (the device's format) and the export's soundtrack (the first link's rate) decode them.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/RegularFile.h"
#include "platform/MusicDecoder.h"
#include "platform/export/MusicFile.h"
#include "support/OggWriter.h"
#include "support/TempDir.h"

namespace {

// Rising zero crossings of channel 0 per second, over [fromSeconds, toSeconds).
double pitchHertz(const std::vector<int16_t>& samples, int channels, int rate, double fromSeconds,
                  double toSeconds) {
    const long first = std::lround(fromSeconds * rate), last = std::lround(toSeconds * rate);
    int rises = 0;
    for (long i = first + 1; i < last && static_cast<size_t>(i * channels) < samples.size(); ++i)
        if (samples[static_cast<size_t>((i - 1) * channels)] < 0 && samples[static_cast<size_t>(i * channels)] >= 0)
            ++rises;
    return rises / (toSeconds - fromSeconds);
}

std::vector<int16_t> readAll(MusicDecoder& decoder) {
    std::vector<int16_t> all, chunk(static_cast<size_t>(4096 * decoder.outputChannels()));
    for (int got; (got = decoder.read(chunk.data(), 4096)) > 0;)
        all.insert(all.end(), chunk.begin(), chunk.begin() + got * decoder.outputChannels());
    return all;
}

class MusicLinks : public testing::Test {
protected:
    void SetUp() override {
        // A second of 440 Hz in each link: stereo at 44.1 kHz, mono at 11.025 kHz, stereo at 48 kHz.
        ASSERT_TRUE(writeOggVorbis(path, sineSamples(1, 440, 2, 44100), 2, 44100));
        ASSERT_TRUE(writeOggVorbis(path, sineSamples(1, 440, 1, 11025), 1, 11025, true));
        ASSERT_TRUE(writeOggVorbis(path, sineSamples(1, 440, 2, 48000), 2, 48000, true));
    }
    TempDir scratch;
    const std::string path = scratch.path + "/chained.ogg";
};

} // namespace

TEST_F(MusicLinks, EveryLinkKeepsItsPitchAndLengthInEitherOutputFormat) {
    const struct {
        int rate, channels; // asked for; 0 takes the file's
        int expectedRate, expectedChannels;
    } outputs[] = {{44100, 2, 44100, 2}, {22050, 1, 22050, 1}, {0, 0, 44100, 2}};
    for (const auto& output : outputs) {
        SCOPED_TRACE(testing::Message() << "output " << output.rate << " Hz, " << output.channels << " channels");
        std::string reason;
        const std::unique_ptr<MusicDecoder> opened =
            openMusicDecoder(openRegularFile(path.c_str()), output.rate, output.channels, reason);
        ASSERT_TRUE(opened) << reason;
        MusicDecoder& decoder = *opened;
        EXPECT_EQ(decoder.outputRate(), output.expectedRate);
        EXPECT_EQ(decoder.outputChannels(), output.expectedChannels);
        EXPECT_NEAR(decoder.length(1000), 3000, 2);

        const std::vector<int16_t> all = readAll(decoder);
        EXPECT_FALSE(decoder.damaged());
        const int rate = decoder.outputRate(), channels = decoder.outputChannels();
        EXPECT_NEAR(static_cast<double>(all.size()) / channels / rate, 3.0, 0.01);
        for (int link = 0; link < 3; ++link)
            EXPECT_NEAR(pitchHertz(all, channels, rate, link + 0.1, link + 0.9), 440, 5) << "link " << link + 1;

        // A seek into the mono link lands there, and the converter starts afresh.
        ASSERT_TRUE(decoder.seek(1500, 1000));
        std::vector<int16_t> part(static_cast<size_t>(rate / 2 * channels));
        EXPECT_EQ(decoder.read(part.data(), rate / 2), rate / 2);
        EXPECT_NEAR(pitchHertz(part, channels, rate, 0.05, 0.45), 440, 8);
    }
}

TEST_F(MusicLinks, ExportReadsStereoAtTheFirstLinksRateWhenAnyLinkIsStereo) {
    const std::string monoFirst = scratch.path + "/mono-first.ogg";
    ASSERT_TRUE(writeOggVorbis(monoFirst, sineSamples(0.5, 440, 1, 22050), 1, 22050));
    ASSERT_TRUE(writeOggVorbis(monoFirst, sineSamples(0.5, 440, 2, 44100), 2, 44100, true));
    MusicFile music;
    std::string error;
    ASSERT_TRUE(music.open(monoFirst, error)) << error;
    EXPECT_EQ(music.rate(), 22050);
    EXPECT_EQ(music.channels(), 2);
    std::vector<int16_t> samples(22050 * 2 * 2);
    EXPECT_NEAR(music.read(samples.data(), 22050 * 2), 22050, 2);
    samples.resize(22050 * 2);
    EXPECT_NEAR(pitchHertz(samples, 2, 22050, 0.55, 0.95), 440, 5);
}
