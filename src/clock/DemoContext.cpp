#include "clock/DemoContext.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/BeatGrid.h"

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
    previousTapTime = 0;
    messageLog.clear();
}

void DemoContext::setTime(float seconds) {
    // Placed a whole pulse back, the last beat's pulse has run out.
    if (seconds < lastBeatTime) lastBeatTime = seconds - 2 * pulseLength;
    time = seconds;
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
