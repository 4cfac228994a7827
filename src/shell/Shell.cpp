#include "shell/Shell.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <cstdlib>

#include "clock/DemoContext.h"
#include "platform/Window.h"
#include "shell/FatalError.h"

FSOUND_STREAM* musicStream = nullptr;
bool captureRequested = false;

void initDemo() {
    GLenum status = glewInit();
    if (status != GLEW_OK)
        fatalError("Could not init GLEW: %s", reinterpret_cast<const char*>(glewGetErrorString(status)));
    if (!GLEW_ARB_shading_language_100) fatalError("Seems that ARB_shading_language_100 is not supported.");

    demoContext.init();

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90, 4.0f / 3.0f, 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glLineWidth(2.0f);

    demoContext.setLetterboxViewport(4, 3);

    // Loading joins here, in this order: the "loading" picture (textures.load2D), the loading
    // screen, then loadModels, loadRenderTargets and loadMaterials, each followed by the loading
    // screen as their stages ask.

    glClearColor(0, 0, 0, 0.5f);
    glClearDepth(1.0);
}

void renderFrame() {
    demoContext.updateTime();
    // renderTimeline(demoContext.time) draws the frame here once the timeline is in; until then
    // the window is only cleared.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    demoContext.endFrame();
    glFlush();
    // When captureRequested is set, captureFrame() reads this frame here, before the swap.
}

void handleKey(int virtualKey) {
    switch (virtualKey) {
    case keyEscape:
        exit(0);
    case keySpace:
        demoContext.tapBeat();
        break;
    case keyPageUp:
        demoContext.seekTo(demoContext.time - 30);
        break;
    case keyPageDown:
        demoContext.seekTo(demoContext.time + 30);
        break;
    case keyLeft:
        demoContext.seekTo(demoContext.time - 1);
        break;
    case keyUp:
        demoContext.seekTo(demoContext.time + 5);
        break;
    case keyRight:
        demoContext.seekTo(demoContext.time + 1);
        break;
    case keyDown:
        demoContext.seekTo(demoContext.time - 5);
        break;
    case keyP:
        demoContext.togglePause();
        break;
    case keyF11:
        captureRequested = true;
        break;
    default:
        break;
    }
}

void resizeView(int width, int height) {
    // A zero height (a window shrunk to nothing) would make the aspect infinite.
    if (height <= 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90, static_cast<double>(width) / height, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
