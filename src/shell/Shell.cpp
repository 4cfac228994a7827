#include "shell/Shell.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/FatalError.h"
#include "base/RegularFile.h"
#include "clock/DemoContext.h"
#include "clock/MusicTime.h"
#include "demo/Content.h"
#include "demo/PostProcess.h"
#include "demo/Timeline.h"
#include "platform/Window.h"
#include "resources/Resources.h"
#include "shell/FrameCapture.h"
#include "shell/LoadingScreen.h"

ShownFrame shownFrame;

namespace {

bool captureRequested = false;

void loadGL() {
    GLenum status = glewInit();
    // GLEW loads GL's entry points first, then GLX's own, which an off-screen context (no X
    // display) doesn't have and the program doesn't use.
#ifdef GLEW_ERROR_NO_GLX_DISPLAY
    if (status == GLEW_ERROR_NO_GLX_DISPLAY) status = GLEW_OK;
#endif
    if (status != GLEW_OK)
        fatalError("Could not init GLEW: %s", reinterpret_cast<const char*>(glewGetErrorString(status)));
    if (!GLEW_ARB_shading_language_100) fatalError("Seems that ARB_shading_language_100 is not supported.");
}

// SIGTERM or SIGINT while the show starts (the loading, the music's open) ends the program there,
// as it would end the show: there is nothing to finish yet.
void stopIfAsked() {
    if (const int signal = quitSignal()) endAfterFatalError(128 + signal);
}

void loadingStep() {
    showLoadingScreen();
    stopIfAsked();
}

// The largest render target and picture this GL draws.
ViewLimits glViewLimits() {
    GLint textureSide = 0, renderbufferSide = 0, viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &textureSide);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &renderbufferSide);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    ViewLimits limits;
    limits.textureSide = std::min(textureSide, renderbufferSide);
    limits.viewportWidth = viewport[0];
    limits.viewportHeight = viewport[1];
    return limits;
}

std::string problemDrawing(const FrameView& view) {
    return viewProblem(view, largestRenderTarget(view), glViewLimits());
}

} // namespace

FrameView windowView() {
    int width = 0, height = 0;
    windowDrawableSize(width, height);
    FrameView view = centredView(width, height);
    // A picture too large for this GL's targets is drawn smaller in the middle rather than not at all:
    // a tenth less at a time, as few steps as the GL's limits are short of the display.
    while (view.height > 1 && !problemDrawing(view).empty())
        view = centredView(width, height, view.height - std::max(1, view.height / 10));
    return view;
}

FrameView startShow(const ShowOptions& options) {
    if (!options.hidden) setErrorBox(showMessageBox);
    reportUncaughtExceptions();
    reportFileSizeLimitAsError();
    std::string reason;
    // Offline hosts end a failed start-up as every other fatal error does.
    const int startFailure = options.hidden ? 1 : 255;
    if (!initVideo(reason, options.hidden)) {
        fprintf(stderr, "Cannot start video: %s\n", reason.c_str());
        reportError("RegisterClassEx Failed!");
        reportError("Error Registering Window Class!");
        endAfterFatalError(startFailure);
    }
    WindowRequest request;
    request.title = options.title;
    request.width = options.width;
    request.height = options.height;
    request.bitsPerPixel = 32;
    request.fullScreen = options.fullScreen;
    request.desktop = options.desktop;
    request.hidden = options.hidden;
    if (!createWindow(request, reason)) {
        fprintf(stderr, "Cannot create the window: %s\n", reason.c_str());
        reportError("Error creating window!");
        endAfterFatalError(startFailure);
    }
    // GL is loaded before the first GL call: the viewport's, then the limits' queries.
    loadGL();
    resizeView(request.width, request.height);

    FrameView view;
    if (options.loadShow) {
        int width = 0, height = 0;
        windowDrawableSize(width, height);
        if (options.pictureFillsSurface)
            view = FrameView{width, height, 0, 0, width, height};
        else
            view = options.hidden ? centredView(width, height) : windowView();
        // Offline hosts draw the size they were asked for or nothing: one the GL can't make targets
        // for ends here, before the loading.
        const std::string problem = problemDrawing(view);
        if (!problem.empty())
            fatalError("Cannot draw the show at %dx%d: %s.", view.surfaceWidth, view.surfaceHeight,
                       problem.c_str());
        initDemo(view);
    }

    if (options.music) {
        // Failures are reported by the sound layer, and without its music the show keeps time in
        // silence.
        options.music->open(showMusicPath);
        stopIfAsked();
        options.music->play();
    }
    return view;
}

void beginShow() {
    demoContext.reset();
    captureRequested = false;
    shownFrame = ShownFrame();
}

void initDemo(const FrameView& view) {
    beginShow();
    createRenderTextures();

    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glLineWidth(2.0f);

    loadDemoView(view);

    // Seventeen loading screens in all: one here, six in loadModels, five in loadRenderTargets and
    // one in loadMaterials, plus those between the stages.
    resources.textures.load2D("loading", -1, -1);
    loadingStep();
    loadModels(loadingStep);
    loadingStep();
    loadRenderTargets(loadingStep, view);
    loadingStep();
    loadingStep();
    loadMaterials(loadingStep);
    fitSkyCube(view);
    loadingStep();

    // Into the back buffer after the last loading screen was shown: the first frame covers it.
    preparePostProcess();
    glClearColor(0, 0, 0, 0.5f);
    glClearDepth(1.0);
}

void loadDemoView(const FrameView& view) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90, 4.0f / 3.0f, 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(view.x, view.y, view.width, view.height);
}

bool renderFrame(TimeSource& time, const FrameView& view) {
    for (int passedMs; time.nextPassedFrameMs(passedMs);) {
        demoContext.setTime(showSecondsFromMs(passedMs));
        demoContext.detectBeat();
    }
    const float showSeconds = showSecondsFromMs(time.frameMs());
    demoContext.setTime(showSeconds);
    float flash = 0;
    fitRenderTargets(view);
    fitSkyCube(view);
    if (renderTimeline(demoContext, view, flash)) return true;
    shownFrame.timeSeconds = showSeconds;
    shownFrame.beatFlash = flash;

    // Whatever a material or model left switched, the next frame starts with every colour channel
    // writable and no fixed-function light.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDisable(GL_LIGHTING);
    for (int light = 0; light < 8; ++light) glDisable(GL_LIGHT0 + light);
    // After the picture: a beat counted here shows in the next frame.
    demoContext.detectBeat();

    glFlush();
    if (captureRequested) {
        const int shot = captureCounter;
        const bool written = captureFrame();
        captureRequested = false;
        // Only a picture written whole is listed; a failed one has its message on standard error.
        if (written)
            printf("%s: show time %.3f s, beat flash %.2f\n", shotPath(shot).c_str(),
                   shownFrame.timeSeconds, shownFrame.beatFlash);
        // Whoever reads this (a viewer at a terminal, a script pairing shots with times) reads it now.
        fflush(stdout);
    }
    return false;
}

bool handleKey(int virtualKey, TimeSource& time) {
    switch (virtualKey) {
    case keyEscape:
        return true;
    case keySpace:
        demoContext.tapBeat();
        break;
    case keyPageUp:
        time.seekBy(-30);
        break;
    case keyPageDown:
        time.seekBy(30);
        break;
    case keyLeft:
        time.seekBy(-1);
        break;
    case keyUp:
        time.seekBy(5);
        break;
    case keyRight:
        time.seekBy(1);
        break;
    case keyDown:
        time.seekBy(-5);
        break;
    case keyP:
        time.togglePause();
        break;
    case keyF11:
        requestCapture();
        break;
    default:
        break;
    }
    return false;
}

void requestCapture() {
    captureRequested = true;
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
