#pragma once
// The beat clock: the show time, the beats counted on the 130 beats-per-minute grid and the pulse
// that decays after each, and tapping. The demo has one, `demoContext`. It draws nothing, knows no
// registry and keeps no time of its own: the frame step hands it each frame's time, read from the
// host's time source (clock/TimeSource.h, through which seeking and pausing go), and asks it to
// track the beat once the frame is drawn.
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

class DemoContext {
public:
    DemoContext() = default;
    DemoContext(const DemoContext&) = delete;
    DemoContext& operator=(const DemoContext&) = delete;

    // Back to the start of a show: time 0, no beat counted, latch cleared, no tap made and the tap
    // log empty.
    void reset();

    // The time of the frame about to be drawn. A time before the last counted beat (a backward seek)
    // ends the pulse that beat started: it would read above 1 until the next beat and wash the frame
    // out.
    void setTime(float seconds);
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
    float pulseLength = 0.3f;  // decay of the beat pulse, seconds
    float previousTapTime = 0; // time of the previous Space tap, seconds
    MessageLog messageLog{16};
};

extern DemoContext demoContext;
