#pragma once
// Where a show's time comes from. A host hands one to the frame step (shell/Shell.h), which reads
// each frame's time from it, and to the keys, which seek and pause through it: the program and the
// page the music being heard (clock/MusicTime.h: the desktop's sound device, or Web Audio in the
// browser), the offline renderer and the video export frames counted at their rate
// (shell/OfflineClock.h). A source knows nothing of beats: the beat clock (clock/DemoContext.h)
// counts them from the times it is given.

// The show time a position in whole milliseconds stands for, seconds.
inline float showSecondsFromMs(int positionMs) {
    return static_cast<float>(positionMs * 0.001);
}

class TimeSource {
public:
    TimeSource() = default;
    TimeSource(const TimeSource&) = delete;
    TimeSource& operator=(const TimeSource&) = delete;
    virtual ~TimeSource() = default;

    // Where the show stands now, whole milliseconds, as the next frame would read it.
    virtual int positionMs() = 0;
    // The time of a frame a viewer at the source's frame rate would have seen since the last frame
    // was drawn and before the next one, oldest first; false when there is none left. Only a source
    // that draws fewer frames than a viewer sees has them (the offline clock between the times its
    // host asks for); the frame step passes each through the beat tracking before the next frame.
    virtual bool nextPassedFrameMs(int& positionMs);

    // The time of the frame about to be drawn (positionMs), for the frame step: the next seek goes
    // on from it.
    int frameMs();

    // Seeks to the target (negative gives 0), truncated to whole milliseconds; the next frame is
    // drawn there.
    void seekTo(float targetSeconds);
    // Seeks `seconds` on from where the last seek put the show while no frame has been drawn since,
    // otherwise from the last frame's time: presses quicker than the frames add up.
    void seekBy(float seconds);
    // Stops the show's time where it is, or lets it run on from there.
    void togglePause();
    bool paused() const { return isPaused; }
    // Back to the start of the show, running.
    void startOver();

protected:
    // Puts the show at `positionMs` (0 or more); positionMs reads on from there.
    virtual void moveToMs(int positionMs) = 0;
    // Holds the show's time (and its sound) where it is, or lets it run on.
    virtual void hold(bool paused) = 0;

private:
    float lastFrameSeconds = 0; // the last frame's time
    bool seekPending = false;   // a seek was made since
    float seekTargetSeconds = 0;
    bool isPaused = false;
};
