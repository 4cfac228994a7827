// The music clock against a short Ogg file written here: 2 s of a 440 Hz tone with a 100 ms gap
// at 1.0 s. Devices come from SDL's dummy driver (real-time pacing, no sound) or its disk driver
// (writes what would be heard to a file).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vorbis/vorbisfile.h>

#include "platform/Sound.h"
#include "support/OggWriter.h"
#include "support/Process.h"

namespace {
constexpr int rate = 44100;
constexpr int trackMs = 2000;
constexpr int gapStartFrame = rate;         // 1.0 s
constexpr int gapEndFrame = rate * 11 / 10; // 1.1 s

std::string tempName(const char* suffix) {
    return (std::filesystem::temp_directory_path() / "lumorakka-sound-").string() + std::to_string(getpid()) +
           suffix;
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
        // Each test runs in a process of its own; the track goes with the process.
        atexit([] { unlink(trackPath().c_str()); });
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
    FSOUND_STREAM* openOnDriver(const char* driver, const std::string& path = trackPath()) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        EXPECT_TRUE(FSOUND_Init(44100, 16, 0));
        FSOUND_STREAM* stream = FSOUND_Stream_Open(path.c_str(), 0, 0, 0);
        EXPECT_NE(stream, nullptr);
        return stream;
    }
};
} // namespace

// A reading and the wall time around it, ms: the position was taken somewhere in [before, after],
// however long the thread was kept waiting on either side.
struct Reading {
    double before;
    int positionMs;
    double after;
};

Reading readTime(FSOUND_STREAM* stream) {
    double before = nowMs();
    int position = FSOUND_Stream_GetTime(stream);
    return {before, position, nowMs()};
}

// Frames the disk driver has written so far (silence included): what the device has been given.
long framesWritten(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size / 4) : 0;
}

// The device takes this many frames a callback: the most a heard position may trail what it has been
// given. The disk driver may ask for a second period before it writes the first (seen on a loaded
// machine: two periods given, none of them in the file yet), so up to two may not be written.
constexpr long devicePeriodFrames = 1024;
constexpr long unwrittenFrames = 2 * devicePeriodFrames;

// Both clocks must rise steadily with real time, never run ahead of it and never go back. On the
// disk driver the position is what the device has taken, within its period, however late the
// machine's load makes the device; on the dummy driver it is the monotonic clock since Play.
TEST_F(SoundTest, PositionFollowsRealTimeSmoothlyAndNeverGoesBack) {
    for (const char* driver : {"disk", "dummy"}) {
        SCOPED_TRACE(driver);
        const bool disk = std::string(driver) == "disk";
        const std::string heardPath = tempName(".raw");
        setenv("SDL_DISKAUDIOFILE", heardPath.c_str(), 1);
        FSOUND_STREAM* stream = openOnDriver(driver);
        ASSERT_TRUE(stream);
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
        const long writtenBeforePlay = framesWritten(heardPath);
        const double playBefore = nowMs();
        ASSERT_EQ(FSOUND_Stream_Play(0, stream), 0);
        const double playAfter = nowMs();
        const long writtenAfterPlay = framesWritten(heardPath);
        Reading previous{playBefore, 0, playAfter};
        int readings = 0, betweenCallbacks = 0;
        while (nowMs() - playAfter < 800) {
            const long writtenBefore = framesWritten(heardPath);
            const Reading r = readTime(stream);
            const long writtenAfter = framesWritten(heardPath);
            ASSERT_GE(r.positionMs, previous.positionMs);
            // Never ahead of the wall time that passed between the two readings (whole milliseconds).
            ASSERT_LE(r.positionMs - previous.positionMs, r.after - previous.before + 1.0) << readings;
            if (disk) {
                // Heard frames since Play, against the frames written since Play.
                const double heard = r.positionMs * rate / 1000.0;
                ASSERT_GE(heard, writtenBefore - writtenAfterPlay - devicePeriodFrames - rate / 1000.0)
                    << readings;
                ASSERT_LE(heard, writtenAfter - writtenBeforePlay + unwrittenFrames) << readings;
                // Followed with the clock between callbacks, not only stepped a period at a time.
                const long intoPeriod = static_cast<long>(heard) % devicePeriodFrames;
                betweenCallbacks += intoPeriod > rate / 500 && intoPeriod < devicePeriodFrames - rate / 500;
            } else {
                ASSERT_GE(r.positionMs, r.before - playAfter - 1.0) << readings;
                ASSERT_LE(r.positionMs, r.after - playBefore + 1.0) << readings;
            }
            previous = r;
            ++readings;
            sleepMs(1);
        }
        EXPECT_GT(previous.positionMs, 0);
        if (disk) {
            EXPECT_GT(betweenCallbacks, 0) << readings << " readings";
        }
        FSOUND_Close();
        unsetenv("SDL_DISKAUDIOFILE");
        unlink(heardPath.c_str());
    }
}

// The dummy driver's position is the monotonic clock since Play, resume or seek; checks against
// the wall time around each call hold however the machine schedules this thread.
TEST_F(SoundTest, PauseHoldsPositionAndResumesWhereItStopped) {
    FSOUND_STREAM* stream = openOnDriver("dummy");
    ASSERT_TRUE(stream);
    const double playBefore = nowMs();
    FSOUND_Stream_Play(0, stream);
    const double playAfter = nowMs();
    sleepMs(300);
    const double pauseBefore = nowMs();
    ASSERT_TRUE(FSOUND_SetPaused(0, 1));
    const double pauseAfter = nowMs();
    const int held = FSOUND_Stream_GetTime(stream);
    EXPECT_GE(held, pauseBefore - playAfter - 1);
    EXPECT_LE(held, pauseAfter - playBefore + 1);
    sleepMs(300);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), held);
    const double resumeBefore = nowMs();
    ASSERT_TRUE(FSOUND_SetPaused(0, 0));
    const double resumeAfter = nowMs();
    sleepMs(200);
    const Reading r = readTime(stream);
    EXPECT_GE(r.positionMs, held + r.before - resumeAfter - 1);
    EXPECT_LE(r.positionMs, held + r.after - resumeBefore + 1);
}

TEST_F(SoundTest, SeekBelowZeroGivesZeroAndPastTheEndLandsInTheSilence) {
    FSOUND_STREAM* stream = openOnDriver("dummy");
    ASSERT_TRUE(stream);
    FSOUND_Stream_Play(0, stream);
    sleepMs(200);
    struct Case {
        int targetMs, expectedMs;
    } cases[] = {{1500, 1500}, {100, 100}, {-300, 0}, {99999, 99999}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.targetMs);
        const double before = nowMs();
        FSOUND_Stream_SetTime(stream, c.targetMs);
        const Reading r = readTime(stream);
        EXPECT_GE(r.positionMs, c.expectedMs);
        EXPECT_LE(r.positionMs, c.expectedMs + r.after - before + 1);
    }
}

// Length of the audio in an Ogg file as vorbisfile declares it, ms.
int declaredMs(const std::string& path) {
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) return -1;
    int ms = static_cast<int>(ov_pcm_total(&file, -1) * 1000 / rate);
    ov_clear(&file);
    return ms;
}

// A track shorter than the show, or cut short, must not stop the clock: past the end of its audio
// the position runs on in real time, in silence, and says so once. Seeks and pause still work.
TEST_F(SoundTest, ClockRunsOnInSilencePastTheEndOfTheAudio) {
    const std::string cutPath = tempName("-cut.ogg");
    {
        // Cut inside the last Ogg page, as an interrupted copy would: the audio ends a page early.
        std::ifstream in(trackPath(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream(cutPath, std::ios::binary) << bytes.substr(0, bytes.rfind("OggS") + 10);
    }
    for (const char* driver : {"disk", "dummy"}) {
        for (const std::string& path : {trackPath(), cutPath}) {
            SCOPED_TRACE(std::string(driver) + " " + path);
            const int endMs = declaredMs(path);
            ASSERT_GT(endMs, 300);
            ASSERT_LE(endMs, trackMs);
            const std::string heardPath = tempName(".raw");
            setenv("SDL_DISKAUDIOFILE", heardPath.c_str(), 1);
            FSOUND_STREAM* stream = openOnDriver(driver, path);
            ASSERT_TRUE(stream);
            FSOUND_Stream_SetTime(stream, endMs - 250);
            testing::internal::CaptureStderr();
            FSOUND_Stream_Play(0, stream);
            int reached = 0;
            EXPECT_TRUE(
                waitUntil(10000, [&] { return (reached = FSOUND_Stream_GetTime(stream)) > endMs + 300; }))
                << "stopped at " << reached << " ms";
            // Running on in real time.
            const Reading a = readTime(stream);
            sleepMs(200);
            const Reading b = readTime(stream);
            EXPECT_GE(b.positionMs - a.positionMs, b.before - a.after - 1);
            EXPECT_LE(b.positionMs - a.positionMs, b.after - a.before + 1);
            // Pause holds it; resume goes on from there.
            EXPECT_TRUE(FSOUND_SetPaused(0, 1));
            const int held = FSOUND_Stream_GetTime(stream);
            sleepMs(100);
            EXPECT_EQ(FSOUND_Stream_GetTime(stream), held);
            EXPECT_TRUE(FSOUND_SetPaused(0, 0));
            EXPECT_GE(FSOUND_Stream_GetTime(stream), held);
            // A seek back lands in the audio again.
            const double seekBefore = nowMs();
            FSOUND_Stream_SetTime(stream, 100);
            const Reading back = readTime(stream);
            EXPECT_GE(back.positionMs, 100);
            EXPECT_LE(back.positionMs, 100 + back.after - seekBefore + 1);
            const std::string said = testing::internal::GetCapturedStderr();
            const size_t line = said.find("Music '" + path + "' ends at ");
            EXPECT_NE(line, std::string::npos) << said;
            EXPECT_EQ(said.find("Music '", line + 1), std::string::npos) << "said twice: " << said;
            FSOUND_Close();
            unsetenv("SDL_DISKAUDIOFILE");
            unlink(heardPath.c_str());
        }
    }
    unlink(cutPath.c_str());
}

TEST_F(SoundTest, SilentStreamKeepsRealTimeWithSeeksAndPause) {
    FSOUND_STREAM* stream = openSilentStream();
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
    const double playBefore = nowMs();
    ASSERT_EQ(FSOUND_Stream_Play(0, stream), 0);
    sleepMs(200);
    Reading r = readTime(stream);
    EXPECT_GE(r.positionMs, 150);
    EXPECT_LE(r.positionMs, r.after - playBefore + 1);
    FSOUND_Stream_SetTime(stream, 300000);
    EXPECT_GE(FSOUND_Stream_GetTime(stream), 300000);
    ASSERT_TRUE(FSOUND_SetPaused(0, 1));
    const int held = FSOUND_Stream_GetTime(stream);
    sleepMs(50);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), held);
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
    const double playBefore = nowMs();
    FSOUND_Stream_Play(0, stream);
    const double playAfter = nowMs();
    sleepMs(400);
    const Reading r = readTime(stream);
    EXPECT_GE(r.positionMs, r.before - playAfter - 1);
    EXPECT_LE(r.positionMs, r.after - playBefore + 1);
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
