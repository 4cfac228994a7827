#include "shell/OfflineClock.h"

#include <algorithm>
#include <cmath>

#include "clock/DemoContext.h"
#include "demo/Timeline.h"

namespace {

// Frame times come from adding steps, so the next rendered time may sit a rounding error above
// the last step: that step is the rendered frame itself, not one before it.
constexpr double sameTimeSeconds = 1e-6;

const int lastShowMs = static_cast<int>(std::ceil(showEndSeconds * 1000)) - 1;

} // namespace

float offlineShowTime(double seconds) {
    if (seconds >= showEndSeconds) return static_cast<float>(showEndSeconds);
    return showSecondsFromMs(std::min(static_cast<int>(std::lround(seconds * 1000.0)), lastShowMs));
}

OfflineClock::OfflineClock(double framesPerSecond) : stepSeconds(1.0 / framesPerSecond) {}

float OfflineClock::advanceTo(double seconds) {
    for (double t = lastSeconds + stepSeconds; t < seconds - sameTimeSeconds; t += stepSeconds) {
        // Truncated, as the steps always were: a step never lands after the time it stands for.
        demoContext.setTime(showSecondsFromMs(static_cast<int>(t * 1000.0)));
        demoContext.detectBeat();
    }
    return jumpTo(seconds);
}

float OfflineClock::jumpTo(double seconds) {
    lastSeconds = seconds;
    return offlineShowTime(seconds);
}
