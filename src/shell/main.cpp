// The process: start-up, then frames until the end of the show, Escape, a close request or a quit.
#include <cstdlib>

#include "platform/Window.h"
#include "shell/Shell.h"

namespace {
void closeRequested() {
    exit(0);
}
} // namespace

int main() {
    startShow(ShowOptions());

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
