#include "shell/export/ExportProgress.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int barWidth = 24; // characters
// A terminal redraw costs little, but many per second only flicker.
constexpr double redrawIntervalSeconds = 0.2;
} // namespace

std::string durationText(double seconds) {
    const long total = std::lround(std::max(seconds, 0.0));
    char text[32];
    if (total >= 3600)
        snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

std::string sizeText(long long bytes) {
    char text[32];
    if (bytes < 1000)
        snprintf(text, sizeof text, "%lld bytes", bytes);
    else if (bytes < 1000000)
        snprintf(text, sizeof text, "%.1f kB", bytes / 1e3);
    else if (bytes < 1000000000)
        snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    else
        snprintf(text, sizeof text, "%.2f GB", bytes / 1e9);
    return text;
}

std::string progressLine(long done, long total, double elapsedSeconds) {
    const double fraction = total > 0 ? static_cast<double>(done) / total : 1.0;
    const int filled = static_cast<int>(fraction * barWidth);
    std::string line = "[" + std::string(filled, '#') + std::string(barWidth - filled, '.') + "]";
    char figures[128];
    if (done > 0 && elapsedSeconds > 0) {
        const double rate = done / elapsedSeconds;
        snprintf(figures, sizeof figures, " %3d%%  %ld/%ld frames  %.1f fps  %s left",
                 static_cast<int>(fraction * 100), done, total, rate,
                 durationText((total - done) / rate).c_str());
    } else {
        snprintf(figures, sizeof figures, " %3d%%  %ld/%ld frames  -- fps  -- left",
                 static_cast<int>(fraction * 100), done, total);
    }
    return line + figures;
}

ProgressReport::ProgressReport(FILE* out, long total, bool terminal, double logIntervalSeconds)
    : out(out), total(total), terminal(terminal), logIntervalSeconds(logIntervalSeconds) {}

void ProgressReport::update(long done, double elapsedSeconds) {
    const bool last = done >= total;
    const double interval = terminal ? redrawIntervalSeconds : logIntervalSeconds;
    if (!last && lastShownSeconds >= 0 && elapsedSeconds - lastShownSeconds < interval) return;
    lastShownSeconds = elapsedSeconds;
    if (terminal) {
        // Back to the line's start, then clear what a longer line left behind.
        fprintf(out, "\r%s\033[K", progressLine(done, total, elapsedSeconds).c_str());
        lineOpen = true;
    } else {
        fprintf(out, "%s\n", progressLine(done, total, elapsedSeconds).c_str());
    }
    fflush(out);
}

void ProgressReport::close() {
    if (lineOpen) fputc('\n', out);
    lineOpen = false;
    fflush(out);
}
