#pragma once
// How far a long export has come, on standard error: on a terminal one line redrawn in place, in a
// log one line every few seconds. The texts are plain functions of the figures, so they can be
// checked without a clock.
#include <cstdio>
#include <string>

// "[########............]  40%  4944/12360 frames  23.4 fps  5:17 left"; before the first frame
// the rate and the time left are not known yet and show as "--".
std::string progressLine(long done, long total, double elapsedSeconds);
// Hours only when needed: "0:09", "4:05", "1:02:03". Rounded to whole seconds.
std::string durationText(double seconds);
// "999 bytes", "12.0 kB", "345.6 MB", "1.20 GB" (powers of 1000).
std::string sizeText(long long bytes);

class ProgressReport {
public:
    // `terminal`: redraw one line in place; otherwise write a line every `logIntervalSeconds`.
    ProgressReport(FILE* out, long total, bool terminal, double logIntervalSeconds = 5);
    void update(long done, double elapsedSeconds);
    // Ends the redrawn line, so what follows starts on a line of its own.
    void close();

private:
    FILE* out;
    long total;
    bool terminal;
    double logIntervalSeconds;
    double lastShownSeconds = -1;
    bool lineOpen = false;
};
