#include "clock/DemoContext.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/BeatGrid.h"
#include "platform/Sound.h"

DemoContext demoContext;

namespace {
// The grid in single precision, as the phase is computed.
constexpr float beatPeriod = static_cast<float>(beatSeconds);
constexpr float beatPhaseOffset = static_cast<float>(beatOffsetSeconds);
constexpr float latchSetBelow = 0.4f; // phase fractions
constexpr float latchClearAbove = 0.6f;
constexpr int logLineBytes = 80;
constexpr int logLinesKept = 19;
} // namespace

void DemoContext::reset() {
    time = 0;
    lastBeatTime = 0;
    beatCount = 0;
    beatLatch = false;
    paused = false;
    previousTapTime = 0;
    seekPending = false;
    seekTarget = 0;
    messageLog.clear();
}

float DemoContext::musicTime() {
    return showSecondsFromMs(FSOUND_Stream_GetTime(musicStream));
}

void DemoContext::setTime(float seconds) {
    // Placed a whole pulse back, the last beat's pulse has run out.
    if (seconds < lastBeatTime) lastBeatTime = seconds - 2 * pulseLength;
    time = seconds;
    seekPending = false;
}

void DemoContext::updateTime() {
    setTime(musicTime());
}

void DemoContext::seekTo(float targetSeconds) {
    if (targetSeconds < 0) targetSeconds = 0;
    // Far past the end is as good as past it, and whole milliseconds must fit an int.
    if (targetSeconds > 1e6f) targetSeconds = 1e6f;
    const int targetMs = static_cast<int>(targetSeconds * 1000);
    FSOUND_Stream_SetTime(musicStream, targetMs);
    seekPending = true;
    seekTarget = showSecondsFromMs(targetMs);
}

void DemoContext::seekBy(float seconds) {
    seekTo((seekPending ? seekTarget : time) + seconds);
}

void DemoContext::togglePause() {
    paused = !paused;
    FSOUND_SetPaused(0, paused);
}

float DemoContext::beatPulse() const {
    float value = 1 - (time - lastBeatTime) / pulseLength;
    return value < 0 ? 0 : value;
}

void DemoContext::countBeat() {
    beatCount += 1;
    lastBeatTime = time;
}

void DemoContext::detectBeat() {
    float phase = (time + beatPhaseOffset) / beatPeriod;
    float fraction = phase - static_cast<float>(static_cast<int>(phase));
    if (!beatLatch && fraction < latchSetBelow) {
        countBeat();
        beatLatch = true;
    } else if (fraction > latchClearAbove) {
        beatLatch = false;
    }
}

void DemoContext::tapBeat() {
    float tap = time;
    float gap = tap - previousTapTime;
    previousTapTime = tap;
    logMessage("Beat %.2f delta %.2f bpm %.0f", tap, gap, 60 / gap);
    countBeat();
}

void DemoContext::logMessage(const char* format, ...) {
    char* line = new char[logLineBytes];
    va_list args;
    va_start(args, format);
    vsnprintf(line, logLineBytes, format, args);
    va_end(args);
    if (messageLog.count >= logLinesKept) {
        delete[] messageLog[0];
        memmove(&messageLog[0], &messageLog[1], (messageLog.count - 1) * sizeof(char*));
        messageLog.count = logLinesKept - 1;
    }
    messageLog.append(line);
}
