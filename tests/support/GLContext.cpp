#include "support/GLContext.h"

#include "demo/FramePhase.h"
#include "shell/Shell.h"

void ensureGLContext() {
    static bool ready = false;
    if (ready) return;
    // The program's start-up without the show: a hidden window and GLEW, nothing loaded.
    ShowOptions options = ShowOptions::headless("gl tests");
    options.loadShow = false;
    startShow(options);
    // Every frame a test draws checks that its phases give GL back.
    framePhasesChecked = true;
    ready = true;
}
