#include "clock/TimeSource.h"

bool TimeSource::nextPassedFrameMs(int&) {
    return false;
}

int TimeSource::frameMs() {
    const int ms = positionMs();
    lastFrameSeconds = showSecondsFromMs(ms);
    seekPending = false;
    return ms;
}

void TimeSource::seekTo(float targetSeconds) {
    if (targetSeconds < 0) targetSeconds = 0;
    // Far past the end is as good as past it, and whole milliseconds must fit an int.
    if (targetSeconds > 1e6f) targetSeconds = 1e6f;
    const int targetMs = static_cast<int>(targetSeconds * 1000);
    moveToMs(targetMs);
    seekPending = true;
    seekTargetSeconds = showSecondsFromMs(targetMs);
}

void TimeSource::seekBy(float seconds) {
    seekTo((seekPending ? seekTargetSeconds : lastFrameSeconds) + seconds);
}

void TimeSource::togglePause() {
    isPaused = !isPaused;
    hold(isPaused);
}

void TimeSource::startOver() {
    if (isPaused) togglePause();
    seekTo(0);
}
