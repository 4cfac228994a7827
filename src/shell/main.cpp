// The process: window and context, the init sequence, the music, then frames until the end.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "clock/DemoContext.h"
#include "platform/MessageBox.h"
#include "platform/Sound.h"
#include "platform/Window.h"
#include "shell/Shell.h"

namespace {
void closeRequested() {
    exit(0);
}
} // namespace

int main() {
    std::string reason;
    if (!initVideo(reason)) {
        fprintf(stderr, "Cannot start video: %s\n", reason.c_str());
        showErrorBox("RegisterClassEx Failed!");
        showErrorBox("Error Registering Window Class!");
        return -1;
    }

    WindowRequest request;
    request.title = "Lumorakka by Vorkasta";
    request.width = 800;
    request.height = 600;
    request.bitsPerPixel = 32;
    request.fullScreen = true;
    if (!createWindow(request, reason)) {
        fprintf(stderr, "Cannot create the window: %s\n", reason.c_str());
        showErrorBox("Error creating window!");
        return -1;
    }
    resizeView(request.width, request.height);

    initDemo();

    // The music starts only after loading, so demo time 0 is the start of the track. Failures are
    // reported by the sound layer and the demo runs on.
    FSOUND_Init(44100, 16, 0);
    musicStream = FSOUND_Stream_Open("data/noisebiisi.ogg", 0, 0, 0);
    FSOUND_Stream_Play(0, musicStream);

    WindowEvents events;
    events.key = handleKey;
    events.resize = resizeView;
    events.close = closeRequested;
    bool quit = false;
    while (!quit) {
        quit = pumpEvents(events);
        renderFrame();
        swapWindow();
    }
    exit(0);
}
