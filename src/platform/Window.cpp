#include "platform/Window.h"

#include <SDL.h>
#include <cstdlib>

#include "platform/MessageBox.h"

namespace {
SDL_Window* gWindow = nullptr;
SDL_GLContext gContext = nullptr;
} // namespace

bool initVideo(std::string& reason) {
    const char* display = getenv("DISPLAY");
    if (!display || !*display) {
        reason = "no display: DISPLAY is not set (run under X11 or Xvfb)";
        return false;
    }
    // GLEW here is the GLX build, so the context must come from X11.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    SDL_SetHint(SDL_HINT_VIDEO_X11_FORCE_EGL, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        reason = SDL_GetError();
        return false;
    }
    return true;
}

bool createWindow(const WindowRequest& request, std::string& reason) {
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    Uint32 flags = SDL_WINDOW_OPENGL | (request.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN);
    gWindow = SDL_CreateWindow(request.title, 0, 0, request.width, request.height, flags);
    if (!gWindow) {
        reason = SDL_GetError();
        return false;
    }
    gContext = SDL_GL_CreateContext(gWindow);
    if (!gContext || SDL_GL_MakeCurrent(gWindow, gContext) != 0) {
        reason = SDL_GetError();
        if (gContext) SDL_GL_DeleteContext(gContext);
        SDL_DestroyWindow(gWindow);
        gWindow = nullptr;
        gContext = nullptr;
        return false;
    }
    setMessageBoxOwner(gWindow);
    return true;
}

void swapWindow() { SDL_GL_SwapWindow(gWindow); }

void windowDrawableSize(int& width, int& height) { SDL_GL_GetDrawableSize(gWindow, &width, &height); }

void* nativeWindow() { return gWindow; }
