// The rules both sound modules' streams keep, on streams whose progress the test sets: readings that
// never go back, pause and resume, seeks, one stream playing at a time, and the end of the audio said
// once.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "platform/MusicStream.h"

namespace {

// A stream whose progress since its last restart is whatever the test says; it records where each
// restart left it and whether another stream took its place.
struct SetStream final : FSOUND_STREAM {
    int64_t playedMs() override { return played; }
    void restartAt(int positionMs) override {
        FSOUND_STREAM::restartAt(positionMs);
        played = 0;
        restarts.push_back(positionMs);
    }
    void stopPlaying() override {
        FSOUND_STREAM::stopPlaying();
        ++stops;
    }
    int audioEndMs() override { return audioEnd; }

    int64_t played = 0;
    int audioEnd = INT_MAX;
    std::vector<int> restarts;
    int stops = 0;
};

struct Streams {
    MusicStreams set;
    SetStream* add(const char* path = "track.ogg") {
        auto stream = std::make_unique<SetStream>();
        stream->path = path;
        return static_cast<SetStream*>(set.add(std::move(stream)));
    }
};

} // namespace

TEST(MusicStreamTest, ReadingsNeverGoBackAndPauseHoldsWhereTheSoundStopped) {
    Streams streams;
    SetStream* s = streams.add();
    EXPECT_EQ(streams.set.positionMs(s), 0); // not yet playing
    s->played = 700;
    EXPECT_EQ(streams.set.positionMs(s), 0);
    ASSERT_EQ(streams.set.play(-1, s), 0);
    EXPECT_EQ(s->restarts, std::vector<int>{0});
    s->played = 500;
    EXPECT_EQ(streams.set.positionMs(s), 500);
    s->played = 300; // a source that steps back (a late device callback)
    EXPECT_EQ(streams.set.positionMs(s), 500);

    EXPECT_TRUE(streams.set.setPaused(0, true));
    EXPECT_EQ(s->restarts.back(), 500); // the sound stops where it was heard
    s->played = 9000;
    EXPECT_EQ(streams.set.positionMs(s), 500);
    EXPECT_TRUE(streams.set.setPaused(0, true)); // pausing twice changes nothing
    EXPECT_EQ(s->restarts.size(), 2u);
    EXPECT_TRUE(streams.set.setPaused(0, false));
    EXPECT_EQ(s->restarts.back(), 500);
    s->played = 250;
    EXPECT_EQ(streams.set.positionMs(s), 750);

    // Seeks land exactly, back or forth, paused or not; a negative one lands at 0.
    struct Case {
        int targetMs, expectedMs;
        bool paused;
    } seeks[] = {{200, 200, false}, {60000, 60000, true}, {-5, 0, true}, {-1, 0, false}};
    for (const Case& c : seeks) {
        SCOPED_TRACE(c.targetMs);
        streams.set.setPaused(0, c.paused);
        EXPECT_TRUE(streams.set.seek(s, c.targetMs));
        EXPECT_EQ(streams.set.positionMs(s), c.expectedMs);
        s->played = 40;
        EXPECT_EQ(streams.set.positionMs(s), c.paused ? c.expectedMs : c.expectedMs + 40);
    }

    // Readings stop at the largest position there is.
    streams.set.seek(s, INT_MAX - 10);
    s->played = 1000;
    EXPECT_EQ(streams.set.positionMs(s), INT_MAX);
}

TEST(MusicStreamTest, OneStreamPlaysAtATimeOnItsChannel) {
    Streams streams;
    SetStream* first = streams.add("first.ogg");
    SetStream* second = streams.add("second.ogg");
    EXPECT_FALSE(streams.set.setPaused(0, true)); // nothing plays
    streams.set.play(3, first);
    first->played = 1200;
    EXPECT_FALSE(streams.set.setPaused(0, true)); // not its channel
    EXPECT_FALSE(first->paused);

    streams.set.play(0, second);
    EXPECT_EQ(first->stops, 1);
    EXPECT_FALSE(first->playing);
    EXPECT_EQ(streams.set.playing(), second);
    EXPECT_EQ(streams.set.positionMs(first), 1200); // stands where it stopped
    first->played = 5000;
    EXPECT_EQ(streams.set.positionMs(first), 1200);
    second->played = 800;
    EXPECT_TRUE(streams.set.setPaused(0, true));
    EXPECT_TRUE(second->paused);
    // Played again, a stream goes on from where it stood, unpaused.
    streams.set.play(0, second);
    EXPECT_FALSE(second->paused);
    EXPECT_EQ(second->restarts.back(), 800);

    // A missing stream (a track that could not be opened) answers without harm.
    EXPECT_EQ(streams.set.play(0, nullptr), -1);
    EXPECT_EQ(streams.set.positionMs(nullptr), 0);
    EXPECT_FALSE(streams.set.seek(nullptr, 5000));
    streams.set.clear();
    EXPECT_EQ(streams.set.playing(), nullptr);
    EXPECT_FALSE(streams.set.setPaused(0, true));
}

TEST(MusicStreamTest, EndOfTheAudioIsSaidOnceWithTheFileAndTheTime) {
    Streams streams;
    SetStream* s = streams.add("data/short.ogg");
    s->audioEnd = 1500;
    streams.set.play(0, s);
    testing::internal::CaptureStderr();
    s->played = 1499;
    streams.set.positionMs(s);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    testing::internal::CaptureStderr();
    s->played = 1500;
    streams.set.positionMs(s);
    s->played = 2000;
    streams.set.positionMs(s);
    streams.set.seek(s, 100);
    s->played = 3000;
    streams.set.positionMs(s);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Music 'data/short.ogg' ends at 1.500 s; the clock runs on in silence.\n");
}

TEST(MusicStreamTest, CallerClockMovesOnlyWhenSetAndOnlyItself) {
    Streams streams;
    FSOUND_STREAM* clock = streams.set.add(std::make_unique<CallerClockStream>());
    SetStream* track = streams.add();
    streams.set.play(0, clock);
    streams.set.setCallerTime(clock, 123456);
    EXPECT_EQ(streams.set.positionMs(clock), 123456);
    EXPECT_EQ(streams.set.positionMs(clock), 123456);
    streams.set.setCallerTime(track, 5000);
    EXPECT_TRUE(track->restarts.empty());
    EXPECT_EQ(streams.set.positionMs(track), 0);
}
