#include "shell/OfflineClock.h"

#include <algorithm>
#include <cmath>

#include "demo/Timeline.h"

namespace {

// Frame times come from adding steps, so the next rendered time may sit a rounding error above
// the last step: that step is the rendered frame itself, not one before it.
constexpr double sameTimeSeconds = 1e-6;

const int showEndMs = static_cast<int>(std::ceil(showEndSeconds * 1000));

} // namespace

int offlineShowMs(double seconds) {
    if (seconds >= showEndSeconds) return showEndMs;
    return std::min(static_cast<int>(std::lround(seconds * 1000.0)), showEndMs - 1);
}

OfflineClock::OfflineClock(double framesPerSecond) : stepSeconds(1.0 / framesPerSecond) {}

void OfflineClock::advanceTo(double seconds) {
    if (held) return;
    passedSeconds = frameSeconds + stepSeconds;
    frameSeconds = seconds;
}

void OfflineClock::jumpTo(double seconds) {
    frameSeconds = seconds;
    passedSeconds = seconds;
}

int OfflineClock::positionMs() {
    return offlineShowMs(frameSeconds);
}

bool OfflineClock::nextPassedFrameMs(int& positionMs) {
    if (passedSeconds >= frameSeconds - sameTimeSeconds || passedSeconds >= showEndSeconds) return false;
    // Truncated, as the steps always were: a step never lands after the time it stands for.
    positionMs = static_cast<int>(passedSeconds * 1000.0);
    passedSeconds += stepSeconds;
    return true;
}

void OfflineClock::moveToMs(int positionMs) {
    jumpTo(positionMs * 0.001);
}

void OfflineClock::hold(bool paused) {
    held = paused;
}
