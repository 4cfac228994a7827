// The music clock against a short Ogg file written here: 2 s of a 440 Hz tone with a 100 ms gap
// at 1.0 s. Devices come from SDL's dummy driver (real-time pacing, no sound) or its disk driver
// (writes what would be heard to a file).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vorbis/vorbisfile.h>

#include "platform/Sound.h"
#include "support/OggWriter.h"

namespace {
constexpr int rate = 44100;
constexpr int trackMs = 2000;
constexpr int gapStartFrame = rate;         // 1.0 s
constexpr int gapEndFrame = rate * 11 / 10; // 1.1 s

std::string tempName(const char* suffix) {
    return std::string("/tmp/lumorakka-sound-") + std::to_string(getpid()) + suffix;
}

const std::string& trackPath() {
    static std::string path;
    if (path.empty()) {
        path = tempName(".ogg");
        std::vector<int16_t> samples(rate * trackMs / 1000 * 2);
        for (size_t frame = 0; frame < samples.size() / 2; ++frame) {
            bool gap = frame >= gapStartFrame && frame < gapEndFrame;
            double value = gap ? 0 : 0.5 * sin(2 * M_PI * 440 * frame / rate);
            samples[2 * frame] = samples[2 * frame + 1] = static_cast<int16_t>(value * 32767);
        }
        EXPECT_TRUE(writeOggVorbis(path, samples, 2, rate));
    }
    return path;
}

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

double nowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The first frame at or after `from` that is loud, and the first frame after that which starts a
// 200-frame stretch of near silence: the tone's start and the gap's start.
std::pair<long, long> toneAndGap(const std::vector<int16_t>& left, long from) {
    long tone = -1, gap = -1;
    for (long i = from; i < static_cast<long>(left.size()); ++i)
        if (std::abs(left[i]) > 8192) {
            tone = i;
            break;
        }
    if (tone < 0) return {tone, gap};
    long quiet = 0;
    for (long i = tone; i < static_cast<long>(left.size()); ++i) {
        quiet = std::abs(left[i]) < 650 ? quiet + 1 : 0;
        if (quiet == 200) {
            gap = i - 199;
            break;
        }
    }
    return {tone, gap};
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override { trackPath(); }
    void TearDown() override {
        FSOUND_Close();
        unsetenv("SDL_AUDIODRIVER");
    }
    FSOUND_STREAM* openOnDriver(const char* driver) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        EXPECT_TRUE(FSOUND_Init(44100, 16, 0));
        FSOUND_STREAM* stream = FSOUND_Stream_Open(trackPath().c_str(), 0, 0, 0);
        EXPECT_NE(stream, nullptr);
        return stream;
    }
};
} // namespace

// On the disk driver the position counts the frames the device took; on the dummy driver it
// follows the clock. Both must read as a steady, real-time clock.
TEST_F(SoundTest, PositionFollowsRealTimeSmoothlyAndNeverGoesBack) {
    for (const char* driver : {"disk", "dummy"}) {
        SCOPED_TRACE(driver);
        const std::string heardPath = tempName(".raw");
        setenv("SDL_DISKAUDIOFILE", heardPath.c_str(), 1);
        FSOUND_STREAM* stream = openOnDriver(driver);
        ASSERT_TRUE(stream);
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
        ASSERT_EQ(FSOUND_Stream_Play(0, stream), 0);
        const double start = nowMs();
        double previousReading = start;
        int previous = 0, readings = 0, distinct = 0;
        double worstLead = 0; // how far a step ran ahead of the wall time between two readings, ms
        while (nowMs() - start < 800) {
            int position = FSOUND_Stream_GetTime(stream);
            const double now = nowMs();
            ASSERT_GE(position, previous);
            worstLead = std::max(worstLead, (position - previous) - (now - previousReading));
            distinct += position != previous;
            previous = position;
            previousReading = now;
            ++readings;
            sleepMs(1);
        }
        const double elapsed = nowMs() - start;
        EXPECT_NEAR(previous, elapsed, 80);
        // Smoothed between callbacks: a reading never jumps ahead by the device's period (1024 frames,
        // 23 ms) but rises with the wall clock, whatever this thread's scheduling; 2 ms cover the
        // whole-millisecond readings.
        EXPECT_LE(worstLead, 2.0) << readings << " readings";
        EXPECT_GT(distinct, readings / 4);
        FSOUND_Close();
        unsetenv("SDL_DISKAUDIOFILE");
        unlink(heardPath.c_str());
    }
}

TEST_F(SoundTest, PauseHoldsPositionAndResumesWhereItStopped) {
    FSOUND_STREAM* stream = openOnDriver("dummy");
    ASSERT_TRUE(stream);
    FSOUND_Stream_Play(0, stream);
    sleepMs(300);
    ASSERT_TRUE(FSOUND_SetPaused(0, 1));
    const int held = FSOUND_Stream_GetTime(stream);
    EXPECT_NEAR(held, 300, 80);
    sleepMs(300);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), held);
    ASSERT_TRUE(FSOUND_SetPaused(0, 0));
    EXPECT_NEAR(FSOUND_Stream_GetTime(stream), held, 5);
    sleepMs(200);
    EXPECT_NEAR(FSOUND_Stream_GetTime(stream), held + 200, 80);
}

TEST_F(SoundTest, SeekClampsToTrackAndNextReadingIsTheTarget) {
    FSOUND_STREAM* stream = openOnDriver("dummy");
    ASSERT_TRUE(stream);
    FSOUND_Stream_Play(0, stream);
    sleepMs(200);
    struct Case {
        int targetMs, expectedMs;
    } cases[] = {{1500, 1500}, {100, 100}, {-300, 0}, {99999, trackMs}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.targetMs);
        FSOUND_Stream_SetTime(stream, c.targetMs);
        EXPECT_NEAR(FSOUND_Stream_GetTime(stream), c.expectedMs, 2);
    }
}

TEST_F(SoundTest, StopsAtTheEndAndStaysAtTheTrackLength) {
    for (const char* driver : {"disk", "dummy"}) {
        SCOPED_TRACE(driver);
        const std::string heardPath = tempName(".raw");
        setenv("SDL_DISKAUDIOFILE", heardPath.c_str(), 1);
        FSOUND_STREAM* stream = openOnDriver(driver);
        ASSERT_TRUE(stream);
        FSOUND_Stream_SetTime(stream, trackMs - 250);
        FSOUND_Stream_Play(0, stream);
        sleepMs(150);
        EXPECT_LT(FSOUND_Stream_GetTime(stream), trackMs);
        sleepMs(500);
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), trackMs);
        sleepMs(200);
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), trackMs);
        FSOUND_Close();
        unsetenv("SDL_DISKAUDIOFILE");
        unlink(heardPath.c_str());
    }
}

// A page seek lands up to half a second early; what is heard after the seek must start at the
// requested frame. The disk driver's file holds exactly what the device was given.
TEST_F(SoundTest, SeekLandsOnTheExactSample) {
    const std::string heardPath = tempName(".raw");
    setenv("SDL_DISKAUDIOFILE", heardPath.c_str(), 1);
    FSOUND_STREAM* stream = openOnDriver("disk");
    ASSERT_TRUE(stream);
    const int seekMs = 900;
    FSOUND_Stream_SetTime(stream, seekMs);
    FSOUND_Stream_Play(0, stream);
    sleepMs(500);
    FSOUND_Close();
    unsetenv("SDL_DISKAUDIOFILE");

    std::ifstream in(heardPath, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    in.close();
    unlink(heardPath.c_str());
    std::vector<int16_t> heard; // left channel, 16-bit little-endian stereo frames
    for (size_t i = 0; i + 3 < bytes.size(); i += 4)
        heard.push_back(
            static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));

    // Reference: the same file decoded straight through, no seeking.
    OggVorbis_File file;
    ASSERT_EQ(ov_fopen(trackPath().c_str(), &file), 0);
    std::vector<int16_t> decoded;
    char buffer[4096];
    int section = 0;
    long n;
    while ((n = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) > 0)
        for (long i = 0; i + 3 < n; i += 4) decoded.push_back(*reinterpret_cast<int16_t*>(buffer + i));
    ov_clear(&file);

    auto [refTone, refGap] = toneAndGap(decoded, seekMs * rate / 1000);
    auto [tone, gap] = toneAndGap(heard, 0);
    ASSERT_GE(refGap, 0);
    ASSERT_GE(gap, 0) << heard.size() << " frames heard";
    EXPECT_EQ(gap - tone, refGap - refTone);
    EXPECT_NEAR(refGap, gapStartFrame, 300);
}

TEST_F(SoundTest, MissingFileGivesNoStreamAndTimeZero) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    FSOUND_Init(44100, 16, 0);
    testing::internal::CaptureStderr();
    FSOUND_STREAM* stream = FSOUND_Stream_Open("data/no-such-track.ogg", 0, 0, 0);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(stream, nullptr);
    EXPECT_NE(said.find("data/no-such-track.ogg"), std::string::npos) << said;
    EXPECT_EQ(FSOUND_Stream_Play(0, stream), -1);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
    FSOUND_Stream_SetTime(stream, 5000);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
}

TEST_F(SoundTest, FileThatIsNotVorbisGivesNoStream) {
    const std::string path = tempName(".notogg");
    FILE* out = fopen(path.c_str(), "wb");
    ASSERT_TRUE(out);
    fputs("not an ogg file at all", out);
    fclose(out);
    testing::internal::CaptureStderr();
    FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
    std::string said = testing::internal::GetCapturedStderr();
    unlink(path.c_str());
    EXPECT_EQ(stream, nullptr);
    EXPECT_NE(said.find(path), std::string::npos) << said;
}

TEST_F(SoundTest, NoAudioDeviceFallsBackToSilentRealTime) {
    testing::internal::CaptureStderr();
    FSOUND_STREAM* stream = openOnDriver("no-such-audio-driver");
    std::string said = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(stream);
    EXPECT_NE(said.find("No audio device"), std::string::npos) << said;
    FSOUND_Stream_Play(0, stream);
    const double start = nowMs();
    sleepMs(400);
    EXPECT_NEAR(FSOUND_Stream_GetTime(stream), nowMs() - start, 80);
}

TEST_F(SoundTest, CallerClockAnswersTheSameCalls) {
    FSOUND_STREAM* clock = openCallerClockStream();
    EXPECT_EQ(FSOUND_Stream_GetTime(clock), 0);
    setCallerClockTime(clock, 123456);
    EXPECT_EQ(FSOUND_Stream_GetTime(clock), 123456);
    EXPECT_EQ(FSOUND_Stream_Play(0, clock), 0);
    FSOUND_SetPaused(0, 1);
    FSOUND_Stream_SetTime(clock, 5000);
    EXPECT_EQ(FSOUND_Stream_GetTime(clock), 5000);
    sleepMs(50);
    EXPECT_EQ(FSOUND_Stream_GetTime(clock), 5000); // never moves by itself
}
