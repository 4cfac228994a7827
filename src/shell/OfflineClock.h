#pragma once
// The show's clock set by the caller instead of read from playback, for rendering without a viewer
// (the offline renderer, the video export). Needs startShow with the caller clock
// (ShowOptions::headless).
//
// A viewer at N frames per second sees beats, pulses and flashes as the beat tracking meets them
// once per frame. Rendering a frame now and then would miss that, so between two rendered times
// the clock passes through every frame time of the rate on the way, each with the beat tracking
// alone, as a viewer's frames would.
class OfflineClock {
public:
    explicit OfflineClock(double framesPerSecond);

    // Sets the clock to `seconds` for the next renderFrame, first stepping the beat tracking through
    // the frame times from the last time set up to, not including, this one.
    void advanceTo(double seconds);
    // Sets the clock with no steps in between, as a seek does.
    void jumpTo(double seconds);

private:
    double stepSeconds;
    double lastSeconds = 0;
};
