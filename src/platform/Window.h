#pragma once
// The one window and its OpenGL compatibility context (SDL2 over X11/GLX, so GLEW can load).
// Nothing above the platform layer sees SDL: the window is reached through these calls.
#include <string>

// SDL video start-up. Without a display it fails with a reason that says so; it never falls
// back to an off-screen driver.
bool initVideo(std::string& reason);

struct WindowRequest {
    const char* title = "";
    int width = 800;   // pixels
    int height = 600;  // pixels
    bool hidden = false; // tests and the offline renderer draw without showing the window
};

// Creates the window and makes its context current (RGBA 8 bits each, depth >= 16, double
// buffered). Returns false with a reason when the window or the context can't be made.
bool createWindow(const WindowRequest& request, std::string& reason);
void swapWindow();
// The drawable size of the window, pixels.
void windowDrawableSize(int& width, int& height);
// The SDL_Window*, for the platform layer's own use (message box owner).
void* nativeWindow();
