#include "shell/desktop/CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "base/TimeText.h"
#include "demo/Timeline.h"
#include "platform/export/VideoFile.h"

#ifndef LUMORAKKA_VERSION
#define LUMORAKKA_VERSION "unknown"
#endif

namespace {

constexpr int maxFramesPerSecond = 240;
constexpr int maxVideoSide = 8192; // pixels
constexpr int maxVideoMbits = 100;

bool parseSeconds(const std::string& text, double& value) {
    return ::parseSeconds(text.c_str(), value) && std::isfinite(value);
}

bool parseInteger(const std::string& text, long& value) {
    if (text.empty() || !(text[0] >= '0' && text[0] <= '9')) return false;
    char* end = nullptr;
    errno = 0;
    value = strtol(text.c_str(), &end, 10);
    return *end == '\0' && errno == 0;
}

// "WxH" with two positive integers.
bool parseSize(const std::string& text, long& width, long& height) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    return parseInteger(text.substr(0, x), width) && parseInteger(text.substr(x + 1), height);
}

class Parser {
public:
    Parser(int argc, const char* const* argv) : argc(argc), argv(argv) {}

    CommandLine run() {
        bool exporting = false, fpsGiven = false, sizeGiven = false, endGiven = false, bitrateGiven = false;
        for (index = 1; index < argc && result.action != CommandLine::Action::usageError; ++index) {
            std::string name = argv[index];
            inlineValue.reset();
            const size_t equals = name.find('=');
            if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
                inlineValue = name.substr(equals + 1);
                name.erase(equals);
            }
            if (name == "--help" || name == "-h") {
                if (noValue(name)) result.action = CommandLine::Action::help;
                if (result.action == CommandLine::Action::help) return result;
            } else if (name == "--version") {
                if (noValue(name)) result.action = CommandLine::Action::version;
                if (result.action == CommandLine::Action::version) return result;
            } else if (name == "--windowed") {
                if (noValue(name)) result.windowed = true;
            } else if (name == "--desktop") {
                if (noValue(name)) result.desktop = true;
            } else if (name == "--start") {
                std::string text;
                if (value(name, text) && !parseSeconds(text, result.startSeconds))
                    fail("--start needs a time in seconds, not '" + text + "'");
            } else if (name == "--export") {
                std::string text;
                if (value(name, text)) {
                    if (text.empty()) fail("--export needs a file name");
                    result.exportSettings.path = text;
                    exporting = true;
                }
            } else if (name == "--fps") {
                long fps = 0;
                if (wholeNumber(name, "frames per second", maxFramesPerSecond, fps)) {
                    result.exportSettings.framesPerSecond = static_cast<int>(fps);
                    fpsGiven = true;
                }
            } else if (name == "--size") {
                std::string text;
                long width = 0, height = 0;
                if (value(name, text)) {
                    if (!parseSize(text, width, height) || width < 16 || height < 16 ||
                        width > maxVideoSide || height > maxVideoSide || width % 2 != 0 || height % 2 != 0)
                        fail("--size needs WIDTHxHEIGHT in even pixels from 16 to " +
                             std::to_string(maxVideoSide) + ", such as 1920x1080, not '" + text + "'");
                    result.exportSettings.width = static_cast<int>(width);
                    result.exportSettings.height = static_cast<int>(height);
                    sizeGiven = true;
                }
            } else if (name == "--bitrate") {
                long mbits = 0;
                if (wholeNumber(name, "Mbit/s", maxVideoMbits, mbits)) {
                    result.exportSettings.videoMbits = static_cast<int>(mbits);
                    bitrateGiven = true;
                }
            } else if (name == "--end") {
                std::string text;
                if (value(name, text) && !parseSeconds(text, result.exportSettings.endSeconds))
                    fail("--end needs a time in seconds, not '" + text + "'");
                endGiven = true;
            } else {
                fail(name.rfind('-', 0) == 0 ? "unknown option '" + name + "'"
                                             : "unexpected argument '" + name + "'");
            }
        }
        if (result.action == CommandLine::Action::usageError) return result;

        if (!exporting && (fpsGiven || sizeGiven || endGiven || bitrateGiven)) {
            fail(std::string(fpsGiven    ? "--fps"
                             : sizeGiven ? "--size"
                             : endGiven  ? "--end"
                                         : "--bitrate") +
                 " only goes with --export");
            return result;
        }
        if (result.desktop && (result.windowed || exporting)) {
            fail(std::string("--desktop plays the show full screen; it doesn't go with ") +
                 (result.windowed ? "--windowed" : "--export"));
            return result;
        }
        if (result.startSeconds < 0 || result.startSeconds >= showEndSeconds) {
            fail("--start needs a time from 0 up to the end of the show, " + seconds(showEndSeconds));
            return result;
        }
        if (exporting) {
            ExportSettings& settings = result.exportSettings;
            settings.startSeconds = result.startSeconds;
            if (!endGiven) settings.endSeconds = showEndSeconds;
            if (settings.endSeconds > showEndSeconds || settings.endSeconds <= settings.startSeconds) {
                fail("--end needs a time after --start and no later than " + seconds(showEndSeconds));
                return result;
            }
            // A range narrower than a frame's rounding holds no frame at all: nothing to export.
            if (exportFrameCount(settings) == 0) {
                fail("--start " + seconds(settings.startSeconds) + " to --end " + seconds(settings.endSeconds) +
                     " holds no frame at " + std::to_string(settings.framesPerSecond) + " frames per second");
                return result;
            }
            result.action = CommandLine::Action::exportVideo;
        }
        return result;
    }

private:
    static std::string seconds(double value) {
        char text[32];
        snprintf(text, sizeof text, "%.12g s", value);
        return text;
    }

    void fail(const std::string& message) {
        if (result.action == CommandLine::Action::usageError) return;
        result.action = CommandLine::Action::usageError;
        result.error = message;
    }

    bool noValue(const std::string& name) {
        if (inlineValue) fail(name + " takes no value");
        return !inlineValue.has_value();
    }

    // The option's value, a whole number from 1 to `most`; false when there is no value at all.
    bool wholeNumber(const std::string& name, const std::string& unit, long most, long& number) {
        std::string text;
        if (!value(name, text)) return false;
        if (!parseInteger(text, number) || number < 1 || number > most)
            fail(name + " needs a whole number of " + unit + " from 1 to " + std::to_string(most) +
                 ", not '" + text + "'");
        return true;
    }

    // The option's value: after '=' or the next argument.
    bool value(const std::string& name, std::string& text) {
        if (inlineValue) {
            text = *inlineValue;
            return true;
        }
        if (index + 1 >= argc) {
            fail(name + " needs a value");
            return false;
        }
        text = argv[++index];
        return true;
    }

    const int argc;
    const char* const* argv;
    int index = 1;
    std::optional<std::string> inlineValue; // "--name=value" gives "value"
    CommandLine result;
};

} // namespace

long exportFrameCount(const ExportSettings& settings) {
    // A frame time that is the end time up to rounding is the end, not a frame before it.
    const double frames = (settings.endSeconds - settings.startSeconds) * settings.framesPerSecond;
    return std::max(0L, static_cast<long>(std::ceil(frames - 1e-6)));
}

CommandLine parseCommandLine(int argc, const char* const* argv) {
    return Parser(argc, argv).run();
}

std::string usageText() {
    return "usage: lumorakka [--windowed | --desktop] [--start SECONDS]\n"
           "       lumorakka --export FILE.mp4 [--fps N] [--size WxH] [--bitrate MBITS]\n"
           "                 [--start SECONDS] [--end SECONDS]\n"
           "       lumorakka --help | --version\n"
           "\n"
           "Plays the show from the build directory (it reads data/ there).\n"
           "  --windowed         open a window instead of switching the display to 800x600;\n"
           "                     the show is drawn at the window's size\n"
           "  --desktop          full screen at the display's own size, no mode switch: the\n"
           "                     4:3 show is drawn at that size in the middle\n"
           "  --start SECONDS    begin the show there, as if seeked\n"
           "  --export FILE.mp4  render the show offline into a video with its soundtrack\n"
           "                     (H.264 and AAC); needs a display, such as Xvfb, but shows nothing\n"
           "  --fps N            video frames per second (default 60)\n"
           "  --size WxH         video size in even pixels (default 800x600); the 4:3 picture is\n"
           "                     drawn at that size in the middle, with black bars\n"
           "  --bitrate MBITS    video at this average bit rate in Mbit/s (default: constant\n"
           "                     quality, about 3 Mbit/s at 800x600)\n"
           "  --end SECONDS      stop the video there (default: the end of the show, 206 s)\n"
           "  --help             this text\n"
           "  --version          the version, and whether this build can export video\n";
}

std::string versionText() {
    return std::string("lumorakka ") + LUMORAKKA_VERSION +
           (videoExportBuiltIn ? " (video export built in)" : " (built without video export)");
}
