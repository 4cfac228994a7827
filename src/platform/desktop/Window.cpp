#include "platform/Window.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>
#if !defined(_WIN32)
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#endif

#include "base/FatalError.h"

namespace {
SDL_Window* gWindow = nullptr;
SDL_GLContext gContext = nullptr;
// A hidden window without an X server: an off-screen OpenGL surface of the requested size instead,
// with no events and nothing to swap.
bool gOffscreen = false;
int gOffscreenWidth = 0, gOffscreenHeight = 0; // pixels

#if !defined(_WIN32)
const char* eglErrorName(EGLint code) {
    switch (code) {
    case EGL_NOT_INITIALIZED:
        return "EGL_NOT_INITIALIZED";
    case EGL_BAD_ALLOC:
        return "EGL_BAD_ALLOC";
    case EGL_BAD_ATTRIBUTE:
        return "EGL_BAD_ATTRIBUTE";
    case EGL_BAD_CONFIG:
        return "EGL_BAD_CONFIG";
    case EGL_BAD_MATCH:
        return "EGL_BAD_MATCH";
    case EGL_BAD_PARAMETER:
        return "EGL_BAD_PARAMETER";
    case EGL_BAD_DISPLAY:
        return "EGL_BAD_DISPLAY";
    default:
        return "EGL error";
    }
}

// An OpenGL compatibility context on a pbuffer of width x height (RGBA 8 bits each, depth >= 16)
// through EGL on Mesa's surfaceless platform, which needs neither a display nor a GPU: Mesa's
// software renderer draws into memory. The pbuffer is the default framebuffer, single-buffered, so
// what is drawn is read back without a swap.
bool createOffscreenContext(int width, int height, std::string& reason) {
    const auto fail = [&](const char* step) {
        reason = std::string("no X display, and no off-screen OpenGL either: ") + step + " failed (" +
                 eglErrorName(eglGetError()) + ")";
        return false;
    };
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return fail("finding EGL's platform displays");
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor))
        return fail("opening EGL's surfaceless platform");
    const EGLint configWanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                   EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                                   EGL_DEPTH_SIZE, 16, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint found = 0;
    if (!eglChooseConfig(display, configWanted, &config, 1, &found) || found < 1)
        return fail("finding an RGBA pbuffer configuration");
    const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, size);
    if (surface == EGL_NO_SURFACE) {
        const EGLint code = eglGetError();
        EGLint largestWidth = 0, largestHeight = 0;
        eglGetConfigAttrib(display, config, EGL_MAX_PBUFFER_WIDTH, &largestWidth);
        eglGetConfigAttrib(display, config, EGL_MAX_PBUFFER_HEIGHT, &largestHeight);
        reason = "no X display, and the off-screen surface of " + std::to_string(width) + "x" +
                 std::to_string(height) + " pixels could not be made (" + eglErrorName(code) +
                 "; this EGL makes them at most " + std::to_string(largestWidth) + "x" +
                 std::to_string(largestHeight) + ")";
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) return fail("choosing OpenGL");
    const EGLint contextWanted[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                    EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextWanted);
    if (context == EGL_NO_CONTEXT) return fail("creating an OpenGL context");
    if (!eglMakeCurrent(display, surface, surface, context)) return fail("making the context current");
    return true;
}
#endif

// The mode the display offers nearest to width x height; a "switch" to anything else would leave
// the display at another size, so only an exact match with 4 bytes per pixel is worth trying.
bool exactModeOffered(int width, int height, int bitsPerPixel, SDL_DisplayMode& mode) {
    SDL_DisplayMode wanted{};
    wanted.w = width;
    wanted.h = height;
    wanted.format = SDL_PIXELFORMAT_RGB888;
    if (!SDL_GetClosestDisplayMode(0, &wanted, &mode)) return false;
    return mode.w == width && mode.h == height &&
           static_cast<int>(SDL_BYTESPERPIXEL(mode.format)) * 8 == bitsPerPixel;
}

// True when the display now runs at exactly width x height with 4 bytes per pixel and the window
// covers it: anything else (such as a display that keeps its own size) is a failed switch.
bool fullScreenModeHolds(int width, int height) {
    if (!gWindow || !(SDL_GetWindowFlags(gWindow) & SDL_WINDOW_FULLSCREEN)) return false;
    SDL_DisplayMode current{};
    int display = SDL_GetWindowDisplayIndex(gWindow);
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &current) != 0) return false;
    int windowWidth = 0, windowHeight = 0;
    SDL_GetWindowSize(gWindow, &windowWidth, &windowHeight);
    return current.w == width && current.h == height && SDL_BYTESPERPIXEL(current.format) == 4 &&
           windowWidth == width && windowHeight == height;
}

void destroyWindow() {
    if (gContext) SDL_GL_DeleteContext(gContext);
    if (gWindow) SDL_DestroyWindow(gWindow);
    gWindow = nullptr;
    gContext = nullptr;
}

volatile std::sig_atomic_t gQuitSignal = 0;

void quitRequested(int number) {
    gQuitSignal = number;
}

// Installed before SDL's, which SDL then leaves alone: SDL's only queue a quit event and forget
// which signal it was.
void takeQuitSignals() {
    for (int number : {SIGINT, SIGTERM}) {
        void (*previous)(int) = std::signal(number, quitRequested);
        if (previous != SIG_DFL) std::signal(number, previous); // the program's own, such as the export's
    }
}

#if !defined(_WIN32)
// Set once the connection to the X server is gone: nothing may talk to it any more.
std::atomic<bool> gDisplayLost{false};

// Xlib calls this when the connection to the server breaks (the server ended, or the network
// went): one line, then status 1 at once, within 2 s whatever the exit handlers do. Xlib's own
// handler exits too, but the exit handlers then asked the dead server to restore the desktop mode
// and spun waiting for it. No box: it would need the server.
int displayLost(Display* display) {
    if (gDisplayLost.exchange(true)) endAtOnce(1); // a library's clean-up met the dead server again
    char line[160];
    const int length = snprintf(line, sizeof line, "Lost the connection to the X display %s: the program ends.\n",
                                display ? DisplayString(display) : "");
    if (length > 0) (void)!write(STDERR_FILENO, line, static_cast<size_t>(std::min<int>(length, sizeof line - 1)));
    endAfterFatalErrorWithin(2, 1);
}
#endif

// Every way out of the program runs the exit handlers: the end of main (the show's end, a key, a
// closed window) or a fatal report's exit. A display switched to the show's mode goes back to the
// desktop's on each of them; the program's status stays.
void restoreDesktopMode() {
#if !defined(_WIN32)
    if (gDisplayLost) return;
#endif
    if (!gWindow || !(SDL_GetWindowFlags(gWindow) & SDL_WINDOW_FULLSCREEN)) return;
    // Destroying the window gives the display its desktop mode back; closing video sends that to
    // the X server before the connection goes with the process (SDL doesn't wait for it).
    destroyWindow();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

int virtualKeyFor(SDL_Keycode key) {
    switch (key) {
    case SDLK_ESCAPE:
        return keyEscape;
    case SDLK_SPACE:
        return keySpace;
    case SDLK_PAGEUP:
        return keyPageUp;
    case SDLK_PAGEDOWN:
        return keyPageDown;
    case SDLK_LEFT:
        return keyLeft;
    case SDLK_UP:
        return keyUp;
    case SDLK_RIGHT:
        return keyRight;
    case SDLK_DOWN:
        return keyDown;
    case SDLK_p:
        return keyP;
    case SDLK_F11:
        return keyF11;
    default:
        return 0;
    }
}
} // namespace

bool initVideo(std::string& reason, bool offscreenAllowed) {
#if defined(_WIN32)
    // Windows' own video driver, whose WGL context GLEW's Windows build loads through.
    (void)reason;
    (void)offscreenAllowed;
#else
    const char* display = getenv("DISPLAY");
    if (!display || !*display) {
        if (offscreenAllowed) {
            gOffscreen = true;
            return true;
        }
        reason = "no display: DISPLAY is not set (run under X11 or Xvfb)";
        return false;
    }
    // GLEW here is the GLX build, so the context must come from X11.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    SDL_SetHint(SDL_HINT_VIDEO_X11_FORCE_EGL, "0");
#endif
    if (!offscreenAllowed) takeQuitSignals();
    // Keep the demo running when it loses focus in full screen.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // An X server that has just started, or is busy with many clients, can refuse one connection:
    // try a few times before giving up.
    for (int attempt = 0; SDL_InitSubSystem(SDL_INIT_VIDEO) != 0; ++attempt) {
        if (attempt < 4) {
            SDL_Delay(200);
            continue;
        }
#if !defined(_WIN32)
        // A display that isn't there is no display: an offline host draws off-screen, as without
        // DISPLAY.
        if (offscreenAllowed) {
            fprintf(stderr, "The X display %s can't be opened (%s): drawing off-screen instead.\n", display,
                    SDL_GetError());
            gOffscreen = true;
            return true;
        }
        reason = std::string("the X display ") + display + " can't be opened (" + SDL_GetError() +
                 "; run under X11 or Xvfb)";
#else
        reason = SDL_GetError();
#endif
        return false;
    }
#if !defined(_WIN32)
    XSetIOErrorHandler(displayLost);
#endif
    SDL_DisableScreenSaver();
    return true;
}

bool createWindow(WindowRequest& request, std::string& reason) {
#if !defined(_WIN32)
    if (gOffscreen) {
        request.fullScreen = false;
        gOffscreenWidth = request.width;
        gOffscreenHeight = request.height;
        return createOffscreenContext(request.width, request.height, reason);
    }
#endif
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    const Uint32 visibility = request.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;

    if (request.desktop) {
        request.fullScreen = false;
        // Made at the display's size where it lies: without a window manager to take it full screen,
        // the window would keep the size it was made at while SDL reported the display's.
        SDL_Rect bounds{0, 0, request.width, request.height};
        SDL_GetDisplayBounds(0, &bounds);
        gWindow = SDL_CreateWindow(request.title, bounds.x, bounds.y, bounds.w, bounds.h,
                                   SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN_DESKTOP | visibility);
        if (gWindow) SDL_ShowCursor(SDL_DISABLE);
    } else if (request.fullScreen) {
        SDL_DisplayMode mode{};
        if (exactModeOffered(request.width, request.height, request.bitsPerPixel, mode)) {
            gWindow = SDL_CreateWindow(request.title, 0, 0, request.width, request.height,
                                       SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN | visibility);
            if (gWindow && (SDL_SetWindowDisplayMode(gWindow, &mode) != 0 ||
                            !fullScreenModeHolds(request.width, request.height)))
                destroyWindow();
        }
        if (gWindow) {
            SDL_ShowCursor(SDL_DISABLE);
            static bool restoreRegistered = false;
            if (!restoreRegistered) atexit(restoreDesktopMode);
            restoreRegistered = true;
        } else {
            // The box comes before the window, so it has no owner.
            reportError("Mode Switch Failed.\nRunning In Windowed Mode.");
            request.fullScreen = false;
        }
    }
    if (!gWindow && !request.desktop) {
        // The client area is width x height; the window manager adds its frame around it.
        gWindow = SDL_CreateWindow(request.title, 0, 0, request.width, request.height,
                                   SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | visibility);
    }
    if (!gWindow) {
        reason = SDL_GetError();
        return false;
    }
    gContext = SDL_GL_CreateContext(gWindow);
    if (!gContext || SDL_GL_MakeCurrent(gWindow, gContext) != 0) {
        reason = SDL_GetError();
        destroyWindow();
        return false;
    }
    return true;
}

void swapWindow() {
    if (!gOffscreen) SDL_GL_SwapWindow(gWindow);
}

void windowDrawableSize(int& width, int& height) {
    if (gOffscreen) {
        width = gOffscreenWidth;
        height = gOffscreenHeight;
        return;
    }
    SDL_GL_GetDrawableSize(gWindow, &width, &height);
}

#if !defined(_WIN32)
namespace {
// While a box waits for the viewer, SDL's own SIGINT and SIGTERM handlers only queue a quit event
// that nothing reads. These handlers pass the signal through a pipe to a thread that ends the
// process as the signal would (130 or 143), with the exit handlers, so a switched display is
// restored. Without a thread to spare, the signals keep their default action while the box is up:
// they still end the program, only without the exit handlers.
int gSignalPipe[2] = {-1, -1};

void signalDuringBox(int number) {
    const unsigned char byte = static_cast<unsigned char>(number);
    (void)!write(gSignalPipe[1], &byte, 1);
}

// SDL shows its box from a child process of its own. The child must not outlive the program (it
// holds the box, and through its copy of the X connection the window, on the screen) nor keep the
// handlers above, which write to a pipe no one reads there: it takes the default actions and dies
// with the program.
std::atomic<pid_t> gBoxShownBy{0}; // the process whose box is up; 0 while none is

void boxChildStarts() {
    const pid_t parent = gBoxShownBy;
    if (parent == 0) return; // a fork that is not the box's
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
#if defined(__linux__)
    prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    if (getppid() != parent) endAtOnce(1); // the program ended before the line above
}

class SignalsEndTheProgram {
public:
    SignalsEndTheProgram() {
        static const bool childrenWatched = pthread_atfork(nullptr, nullptr, boxChildStarts) == 0;
        (void)childrenWatched;
        gBoxShownBy = getpid();
        if (gSignalPipe[0] < 0 && pipe(gSignalPipe) != 0) return;
        struct sigaction action {};
        sigemptyset(&action.sa_mask);
        try {
            watcher = std::thread([this] {
                pollfd signalled{gSignalPipe[0], POLLIN, 0};
                while (!boxClosed) {
                    if (poll(&signalled, 1, 100) <= 0) continue;
                    unsigned char number = 0;
                    if (read(gSignalPipe[0], &number, 1) == 1) endAfterFatalError(128 + number);
                }
            });
            action.sa_handler = signalDuringBox;
        } catch (const std::system_error&) {
            action.sa_handler = SIG_DFL;
        }
        sigaction(SIGINT, &action, &previousInt);
        sigaction(SIGTERM, &action, &previousTerm);
        handlersSet = true;
    }
    ~SignalsEndTheProgram() {
        if (handlersSet) {
            sigaction(SIGINT, &previousInt, nullptr);
            sigaction(SIGTERM, &previousTerm, nullptr);
        }
        if (watcher.joinable()) {
            boxClosed = true;
            watcher.join();
        }
        gBoxShownBy = 0;
    }

private:
    struct sigaction previousInt {}, previousTerm {};
    bool handlersSet = false;
    std::atomic<bool> boxClosed{false};
    std::thread watcher;
};
} // namespace
#endif

void showMessageBox(const char* text) {
    // SDL's X11 box makes itself as wide as the longest line, past the screen's edges for a long
    // message; lines of this many characters stay well inside 800 pixels.
    const size_t boxColumns = 72;
#if !defined(_WIN32)
    const SignalsEndTheProgram whileTheBoxIsUp;
#endif
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, "Error", wrapText(text, boxColumns).c_str(), gWindow);
}

int quitSignal() {
    return gQuitSignal;
}

bool pumpEvents(const WindowEvents& handlers) {
    if (gOffscreen) return false;
    bool quit = gQuitSignal != 0;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT:
            quit = true;
            break;
        case SDL_KEYDOWN: {
            int code = virtualKeyFor(event.key.keysym.sym);
            if (code && handlers.key) handlers.key(code);
            break;
        }
        case SDL_WINDOWEVENT:
            switch (event.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                if (handlers.close) handlers.close();
                break;
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_MAXIMIZED:
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                if (gWindow && !(SDL_GetWindowFlags(gWindow) & SDL_WINDOW_MINIMIZED) && handlers.resize) {
                    int width = 0, height = 0;
                    windowDrawableSize(width, height);
                    handlers.resize(width, height);
                }
                break;
            default:
                break;
            }
            break;
        default:
            break;
        }
    }
    return quit;
}
