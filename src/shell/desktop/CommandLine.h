#pragma once
// The program's command line. Every option is optional and no arguments mean the show as it always
// ran: full screen first, from the start. The parse touches no window, GL or sound, so it can be
// checked alone; main acts on the result.
#include <string>

// What --export writes and how. Times are show seconds.
struct ExportSettings {
    std::string path; // the MP4 file
    int framesPerSecond = 60;
    int width = 800; // of the video, pixels; even, as 4:2:0 chroma needs
    int height = 600;
    double startSeconds = 0; // first frame, as if the show had been seeked there
    double endSeconds = 206; // frames up to, not including, this time
    int videoMbits = 0;      // average video bit rate in Mbit/s; 0 for constant quality
};

// Frames of an export: one at startSeconds + k / framesPerSecond for every k that falls before
// endSeconds.
long exportFrameCount(const ExportSettings& settings);

struct CommandLine {
    enum class Action { show, help, version, exportVideo, usageError } action = Action::show;
    bool windowed = false;   // skip the display-mode switch (and its box when it fails)
    bool desktop = false;    // full screen at the display's own mode, no switch
    double startSeconds = 0; // begin the show here, as if seeked
    ExportSettings exportSettings;
    std::string error; // usageError: what was wrong, one line without a newline
};

// Options are "--name value" or "--name=value". --help and --version win over everything after
// them; anything unknown, a missing or malformed value, or an export setting without --export is a
// usage error.
CommandLine parseCommandLine(int argc, const char* const* argv);

// The usage text, several lines ending in a newline.
std::string usageText();
// "lumorakka VERSION", and whether this build can export video.
std::string versionText();
