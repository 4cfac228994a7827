#pragma once
// The show's time kept by its host instead of read from playback, for rendering without a viewer
// (the offline renderer, the video export, the page's still): the host says which time the next
// frame is drawn at.
//
// A viewer at N frames per second sees beats, pulses and flashes as the beat tracking meets them
// once per frame. Rendering a frame now and then would miss that, so between two rendered times the
// clock hands the frame step every frame time of the rate on the way (nextPassedFrameMs), whose
// beats it tracks as a viewer's frames would. None lies at or past the end of the show, where no
// frame is drawn: however far past it a time is, the frame step never counts its way there.
#include "clock/TimeSource.h"

class OfflineClock final : public TimeSource {
public:
    explicit OfflineClock(double framesPerSecond);

    // The next frame is drawn at `seconds`, with the frame times of the rate from the last time
    // given up to, not including, it passed on the way. Paused, the show stands where it is.
    void advanceTo(double seconds);
    // The next frame is drawn at `seconds`, with no frames in between, as after a seek.
    void jumpTo(double seconds);

    // The next frame's show time, in whole milliseconds as the music clock counts them
    // (offlineShowMs).
    int positionMs() override;
    bool nextPassedFrameMs(int& positionMs) override;

protected:
    void moveToMs(int positionMs) override;
    void hold(bool paused) override;

private:
    double stepSeconds;
    double frameSeconds = 0;    // of the next frame
    double passedSeconds = 0;   // of the next frame passed on the way to it
    bool held = false;
};

// `seconds` in whole milliseconds, rounded to the nearest, as the show time a music clock gives. A
// time before the end of the show stays before it: rounding never turns a frame of the show into
// its end. Any time at or past the end is the end.
int offlineShowMs(double seconds);
