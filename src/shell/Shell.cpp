#include "shell/Shell.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <cstdlib>

#include "clock/DemoContext.h"
#include "demo/Content.h"
#include "demo/Timeline.h"
#include "platform/Window.h"
#include "resources/Resources.h"
#include "shell/FatalError.h"
#include "shell/FrameCapture.h"
#include "shell/LoadingScreen.h"

FSOUND_STREAM* musicStream = nullptr;
bool captureRequested = false;

void initDemo() {
    GLenum status = glewInit();
    if (status != GLEW_OK)
        fatalError("Could not init GLEW: %s", reinterpret_cast<const char*>(glewGetErrorString(status)));
    if (!GLEW_ARB_shading_language_100) fatalError("Seems that ARB_shading_language_100 is not supported.");

    demoContext.init();

    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glLineWidth(2.0f);

    loadDemoView();

    // Seventeen loading screens in all: one here, six in loadModels, five in loadRenderTargets and
    // one in loadMaterials, plus those between the stages.
    resources.textures.load2D("loading", -1, -1);
    showLoadingScreen();
    loadModels();
    showLoadingScreen();
    loadRenderTargets();
    showLoadingScreen();
    showLoadingScreen();
    loadMaterials();
    showLoadingScreen();

    glClearColor(0, 0, 0, 0.5f);
    glClearDepth(1.0);
}

void loadDemoView() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90, 4.0f / 3.0f, 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    demoContext.setLetterboxViewport(4, 3);
}

void renderFrame() {
    demoContext.updateTime();
    renderTimeline(demoContext.time);
    demoContext.endFrame();
    glFlush();
    if (captureRequested) captureFrame();
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
