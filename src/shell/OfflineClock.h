#pragma once
// The show's clock kept by the caller instead of read from playback, for rendering without a viewer
// (the offline renderer, the video export).
//
// A viewer at N frames per second sees beats, pulses and flashes as the beat tracking meets them
// once per frame. Rendering a frame now and then would miss that, so between two rendered times
// the clock passes through every frame time of the rate on the way, each with the beat tracking
// alone, as a viewer's frames would.
class OfflineClock {
public:
    explicit OfflineClock(double framesPerSecond);

    // Steps the beat tracking through the frame times from the last time given up to, not
    // including, `seconds`; returns the show time to draw the frame at `seconds` with
    // (renderFrame), in whole milliseconds as the music clock counts them.
    float advanceTo(double seconds);
    // The show time for `seconds` with no steps in between, as after a seek.
    float jumpTo(double seconds);

private:
    double stepSeconds;
    double lastSeconds = 0;
};

// `seconds` in whole milliseconds, rounded to the nearest, as the show time a music clock gives. A
// time before the end of the show stays before it: rounding never turns a frame of the show into
// its end.
float offlineShowTime(double seconds);
