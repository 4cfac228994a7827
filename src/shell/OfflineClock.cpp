#include "shell/OfflineClock.h"

#include <cmath>

#include "clock/DemoContext.h"
#include "platform/Sound.h"

namespace {

// The caller clock counts whole milliseconds, as the music's does.
int toMilliseconds(double seconds) {
    return static_cast<int>(std::lround(seconds * 1000.0));
}

// Frame times come from adding steps, so the next rendered time may sit a rounding error above
// the last step: that step is the rendered frame itself, not one before it.
constexpr double sameTimeSeconds = 1e-6;

} // namespace

OfflineClock::OfflineClock(double framesPerSecond) : stepSeconds(1.0 / framesPerSecond) {}

void OfflineClock::advanceTo(double seconds) {
    for (double t = lastSeconds + stepSeconds; t < seconds - sameTimeSeconds; t += stepSeconds) {
        // Truncated, as the steps always were: a step never lands after the time it stands for.
        setCallerClockTime(musicStream, static_cast<int>(t * 1000.0));
        demoContext.updateTime();
        demoContext.endFrame();
    }
    jumpTo(seconds);
}

void OfflineClock::jumpTo(double seconds) {
    setCallerClockTime(musicStream, toMilliseconds(seconds));
    lastSeconds = seconds;
}
