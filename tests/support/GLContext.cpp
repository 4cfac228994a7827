#include "support/GLContext.h"

#include "shell/Shell.h"

void ensureGLContext() {
    static bool ready = false;
    if (ready) return;
    // The program's start-up without the show: a hidden window and GLEW, nothing loaded.
    ShowOptions options;
    options.title = "gl tests";
    options.hidden = true;
    options.fullScreen = false;
    options.loadShow = false;
    options.clock = ShowOptions::Clock::caller;
    startShow(options);
    ready = true;
}
