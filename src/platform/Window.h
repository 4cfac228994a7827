#pragma once
// The one window and its OpenGL compatibility context (SDL2 over X11/GLX on Linux and over WGL on
// Windows, the interfaces GLEW's builds load through), and the event pump that turns window-system
// events into the demo's key codes and window callbacks. Nothing above the platform layer sees SDL:
// the window is reached through these calls.
#include <string>

// SDL video start-up. Without an X display (DISPLAY unset) it fails with a reason that says so,
// unless `offscreenAllowed`: for a hidden window, which no one sees, createWindow then makes an
// off-screen OpenGL surface instead (EGL on Mesa's surfaceless platform, drawn by the software
// renderer), and fails with a reason when even that can't be had. Windows always has its desktop.
// For a shown window, SIGTERM and SIGINT become quit requests, which quitSignal() then names, unless
// the program had handlers of its own for them.
bool initVideo(std::string& reason, bool offscreenAllowed = false);

// The signal, SIGTERM or SIGINT, that asked a shown window's program to quit; 0 when none did.
int quitSignal();

struct WindowRequest {
    const char* title = "";
    int width = 800;       // pixels
    int height = 600;      // pixels
    int bitsPerPixel = 32; // full screen only: the display mode must have 4 bytes per pixel
    // Ask for full screen first. Cleared when the display can't run at width x height with
    // bitsPerPixel; "Mode Switch Failed." is reported and the window opens instead. A switched
    // display gets its desktop mode back when the process exits, however it exits.
    bool fullScreen = false;
    // Full screen at the display's own mode instead, with no switch: the window covers the display
    // at whatever size it runs (width and height are not used). The cursor is hidden over it.
    bool desktop = false;
    bool hidden = false; // tests and the offline renderer draw without showing the window
};

// Creates the window and makes its context current (RGBA 8 bits each, depth >= 16, double
// buffered). Returns false with a reason when the window or the context can't be made.
bool createWindow(WindowRequest& request, std::string& reason);

void swapWindow();
// The drawable size of the window, pixels.
void windowDrawableSize(int& width, int& height);

// The error message box: caption "Error", warning icon, owned by the window once there is one. It
// waits until the viewer closes it. Long lines are wrapped at blanks. The shell installs it as the
// error box (base/FatalError.h). SIGTERM and SIGINT end the program while it waits (143, 130), and
// the box goes with the program.
void showMessageBox(const char* text);

// Virtual-key codes handed to the key handler; other keys are not reported.
enum VirtualKey {
    keyEscape = 27,
    keySpace = 32,
    keyPageUp = 33,
    keyPageDown = 34,
    keyLeft = 37,
    keyUp = 38,
    keyRight = 39,
    keyDown = 40,
    keyP = 80,
    keyF11 = 122,
};

struct WindowEvents {
    void (*key)(int virtualKey) = nullptr; // every key-down, auto-repeats included
    // Restore, maximise or a new size, with the drawable size in pixels. Minimising is not reported.
    void (*resize)(int width, int height) = nullptr;
    void (*close)() = nullptr; // the window manager asks the window to close
};

// Handles every pending event. Returns true when a quit request (SDL_QUIT, or SIGTERM or SIGINT) was
// among them: the caller draws one more frame and ends.
bool pumpEvents(const WindowEvents& handlers);
