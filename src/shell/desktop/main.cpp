// The process: the command line, then start-up and the program's own frame loop until the end of the
// show, Escape, a close request or a quit; or, asked to, the video export instead.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "base/RegularFile.h"
#include "base/StandardDescriptors.h"
#include "clock/MusicTime.h"
#include "platform/Window.h"
#include "shell/desktop/CommandLine.h"
#include "shell/Shell.h"
#include "shell/export/VideoExport.h"

namespace {

// The show's time: the music being heard.
MusicTime music;

// Escape and a closed window end the show at once, without another frame.
bool stopNow = false;

void keyPressed(int virtualKey) {
    if (handleKey(virtualKey, music)) stopNow = true;
}

void closeRequested() {
    stopNow = true;
}

// The usage or version text is the whole answer: one that didn't reach standard output (a full
// disk, a descriptor that was closed at the start) is an error.
int answered(const char* what, bool outputClosed) {
    if (!outputClosed && fflush(stdout) == 0 && !ferror(stdout)) return 0;
    fprintf(stderr, "lumorakka: cannot write the %s to standard output: %s\n", what,
            strerror(outputClosed ? EBADF : errno));
    return 1;
}

// The frame loop: frames on the music's clock until the show is over or the viewer ends it. A quit
// request (as from SIGTERM) still gets one more frame drawn and shown.
void playShow() {
    WindowEvents events;
    events.key = keyPressed;
    events.close = closeRequested;
    bool quit = false;
    while (!quit) {
        quit = pumpEvents(events);
        if (stopNow) return;
        // At the window's size as it is now: a resized window's picture follows it.
        if (renderFrame(music, windowView())) return;
        swapWindow();
    }
}

} // namespace

int main(int argc, char** argv) {
    const bool outputClosed = openClosedStandardDescriptors() & 1 << STDOUT_FILENO;
    reportFileSizeLimitAsError();
    const CommandLine command = parseCommandLine(argc, argv);
    switch (command.action) {
    case CommandLine::Action::help:
        fputs(usageText().c_str(), stdout);
        return answered("usage", outputClosed);
    case CommandLine::Action::version:
        puts(versionText().c_str());
        return answered("version", outputClosed);
    case CommandLine::Action::usageError:
        fprintf(stderr, "lumorakka: %s\n%s", command.error.c_str(), usageText().c_str());
        return 2;
    case CommandLine::Action::exportVideo:
        return exportVideo(command.exportSettings);
    case CommandLine::Action::show:
        break;
    }

    ShowOptions options;
    options.fullScreen = !command.windowed;
    options.desktop = command.desktop;
    options.music = &music;
    startShow(options);
    if (command.startSeconds > 0) music.seekTo(static_cast<float>(command.startSeconds));
    playShow();
    // SIGTERM and SIGINT end the show as they end other programs.
    return quitSignal() ? 128 + quitSignal() : 0;
}
