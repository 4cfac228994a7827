#pragma once
// The rules every music stream keeps, whatever plays its sound: it plays from where it stands, seeks,
// pauses and resumes; a reading never goes back; one stream plays at a time; and the first reading
// past the end of its audio says so on standard error, once. A host's sound module (the desktop's
// SDL audio device, the browser's Web Audio) says how far a playing stream of its own has got since
// its count last restarted and moves its sound with it; the rest is here, with the two streams no
// host needs sound for: the silent one on the monotonic clock and the one its caller sets.
// Platform/Sound.h's calls are these, on the host's set of streams.
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct FSOUND_STREAM {
    FSOUND_STREAM() = default;
    FSOUND_STREAM(const FSOUND_STREAM&) = delete;
    FSOUND_STREAM& operator=(const FSOUND_STREAM&) = delete;
    virtual ~FSOUND_STREAM() = default;

    // How far the stream has got since its count restarted at baseMs, ms, never negative. Asked only
    // while it plays unpaused.
    virtual int64_t playedMs() = 0;
    // Counting restarts at `positionMs`: a play, a seek, a pause or a resume leaves the stream
    // there. A stream with sound moves (or stops) its sound with it.
    virtual void restartAt(int positionMs);
    // Another stream starts playing in this one's place: its sound stops.
    virtual void stopPlaying() { playing = false; }
    // Where its audio runs out as far as known now, ms; INT_MAX when it has none (or none yet).
    virtual int audioEndMs() { return INT_MAX; }

    std::string path;        // of its file, for the line said when the audio runs out
    bool playing = false;    // started, and not replaced by another stream since
    bool paused = false;     // stands still where it was paused
    int baseMs = 0;          // position when counting last restarted
    int lastReportedMs = 0;  // the last reading: later ones never go below it
    bool endAnnounced = false;
};

// Steady time for streams that count it, nanoseconds.
int64_t monotonicNowNs();

// The monotonic clock since the count restarted, with no end: the show's clock when its music
// can't play.
struct SilentStream : FSOUND_STREAM {
    int64_t playedMs() override;
    void restartAt(int positionMs) override;
    int64_t anchorNs = monotonicNowNs(); // when counting restarted
};

// Whatever its caller set last (restartAt); it never moves by itself.
struct CallerClockStream final : FSOUND_STREAM {
    int64_t playedMs() override { return 0; }
};

// The streams one sound module has opened and the one playing on its channel. Each call takes the
// module's lock for its whole length: a device that reads a stream from a thread of its own locks it.
class MusicStreams {
public:
    MusicStreams() = default;
    MusicStreams(const MusicStreams&) = delete;
    MusicStreams& operator=(const MusicStreams&) = delete;
    virtual ~MusicStreams() = default;

    // Keeps the stream until clear(); returns it.
    FSOUND_STREAM* add(std::unique_ptr<FSOUND_STREAM> stream);
    // Starts the stream from its position on `channel` (-1 picks 0), in place of the one playing.
    // Returns the channel, or -1 for a null stream.
    int play(int channel, FSOUND_STREAM* stream);
    // The stream's position, ms; 0 for a null stream. See FSOUND_Stream_GetTime.
    int positionMs(FSOUND_STREAM* stream);
    // Moves the stream to `positionMs` (a negative one is 0). False for a null stream.
    bool seek(FSOUND_STREAM* stream, int positionMs);
    // Pauses or resumes the stream playing on `channel`. False when none plays there.
    bool setPaused(int channel, bool paused);
    // Puts a caller clock at `positionMs`; other streams are left alone.
    void setCallerTime(FSOUND_STREAM* stream, int positionMs);
    // Forgets every stream.
    void clear();
    // The stream playing, or null. Read under the lock.
    FSOUND_STREAM* playing() const { return playingStream; }

protected:
    virtual void lock() {}
    virtual void unlock() {}
    // After play, outside the lock: a device that stands still until there is sound starts.
    virtual void playStarted() {}

private:
    class Hold;
    // The reading, under the lock.
    int readingMs(FSOUND_STREAM& stream);

    std::vector<std::unique_ptr<FSOUND_STREAM>> streams;
    FSOUND_STREAM* playingStream = nullptr;
    int playingChannel = -1;
};

// The host's sound module's streams: every call of platform/Sound.h but the device's and the file's
// opening goes to them.
MusicStreams& soundStreams();
