#pragma once
// The beat clock: the show time, the beats counted on the 130 beats-per-minute grid and the pulse
// that decays after each, seeking, pausing and tapping. The demo has one, `demoContext`. It draws
// nothing and knows no registry: a host hands it each frame's time (the music's position, or a time
// of its own) and asks it to track the beat once the frame is drawn. Seeking and pausing act on the
// music stream (platform/Sound.h), whose position becomes the time of a later frame.
#include "base/GrowArray.h"

// Tap lines, oldest first; at most 19 are kept. Each is an 80-byte buffer the log frees.
class MessageLog : public GrowArray<char*> {
public:
    using GrowArray::GrowArray;
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;
    ~MessageLog() { clear(); }
    void clear() {
        for (char* line : *this) delete[] line;
        count = 0;
    }
};

// The show time a music position in whole milliseconds stands for, seconds.
inline float showSecondsFromMs(int positionMs) {
    return static_cast<float>(positionMs * 0.001);
}

class DemoContext {
public:
    DemoContext() = default;
    DemoContext(const DemoContext&) = delete;
    DemoContext& operator=(const DemoContext&) = delete;

    // Back to the start of a show: time 0, no beat counted, latch and pause cleared, no tap or seek
    // made and the tap log empty.
    void reset();

    // The music stream's position (musicStream), seconds.
    static float musicTime();
    // The time of the frame about to be drawn. A time before the last counted beat (a backward seek)
    // ends the pulse that beat started: it would read above 1 until the next beat and wash the frame
    // out.
    void setTime(float seconds);
    // setTime(musicTime()).
    void updateTime();
    // Seeks the music stream to the target (negative gives 0), truncated to whole milliseconds; the
    // time changes with the next frame's time.
    void seekTo(float targetSeconds);
    // Seeks `seconds` on from the position the last seek set while no frame has been drawn since,
    // otherwise from the last frame's time: presses quicker than the frames add up.
    void seekBy(float seconds);
    // Flips `paused` and pauses or resumes the music with it.
    void togglePause();
    // 1 - (time - lastBeatTime) / 0.3, never below 0.
    float beatPulse() const;
    // beatCount + 1, lastBeatTime := time.
    void countBeat();
    int getBeatCount() const { return beatCount; }
    // Counts a beat in the first drawn frame of each period of the beat grid (base/BeatGrid.h).
    // Once per drawn frame, after the frame.
    void detectBeat();
    // Space: logs the tap's time, gap and rate, then countBeat.
    void tapBeat();
    // Appends one line (at most 79 characters) to messageLog, dropping the oldest beyond 19.
    void logMessage(const char* format, ...) __attribute__((format(printf, 2, 3)));

    float time = 0;            // time of the frame being drawn, seconds
    float lastBeatTime = 0;    // time of the last counted beat, seconds
    int beatCount = 0;         // beats counted since the show began; never decreases within a show
    bool beatLatch = false;    // a beat was counted in this period's first part
    bool paused = false;       // the music stands still
    float pulseLength = 0.3f;  // decay of the beat pulse, seconds
    float previousTapTime = 0; // time of the previous Space tap, seconds
    bool seekPending = false;  // a seek was made since the last frame's time was set
    float seekTarget = 0;      // where that seek put the music, seconds
    MessageLog messageLog{16};
};

extern DemoContext demoContext;
