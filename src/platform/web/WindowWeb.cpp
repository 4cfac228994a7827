// The window in a browser: the page's canvas with a WebGL 2 context, its keys, and errors shown on
// the page. The loading screens are presented by yielding to the browser at each swap (the
// program is built with Asyncify for this); the show's frames are presented by the browser after
// each animation frame.
#include "platform/Window.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstring>
#include <deque>
#include <string>

#include "platform/web/WebPage.h"

namespace {

const char* const canvasSelector = "#canvas";
EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
bool presentedByBrowser = false;
bool failed = false;
std::deque<int> pendingKeys;

// The key's virtual-key code, or 0 for keys the show doesn't take (F11 is the browser's own full
// screen here, and Escape leaves it).
int virtualKeyOf(const EmscriptenKeyboardEvent& event) {
    static const struct {
        const char* code;
        int key;
    } keys[] = {{"Space", keySpace},    {"PageUp", keyPageUp}, {"PageDown", keyPageDown},
                {"ArrowLeft", keyLeft}, {"ArrowUp", keyUp},    {"ArrowRight", keyRight},
                {"ArrowDown", keyDown}, {"KeyP", keyP},        {"Escape", keyEscape}};
    if (event.ctrlKey || event.altKey || event.metaKey) return 0;
    for (const auto& entry : keys)
        if (strcmp(event.code, entry.code) == 0) return entry.key;
    return 0;
}

EM_BOOL onKeyDown(int, const EmscriptenKeyboardEvent* event, void*) {
    const int key = virtualKeyOf(*event);
    if (key == 0) return EM_FALSE;
    pendingKeys.push_back(key);
    // Escape still leaves full screen: the browser does that whatever the page says.
    return key != keyEscape;
}

} // namespace

// clang-format off
EM_ASYNC_JS(void, waitForNextPaint, (), {
    await new Promise(resolve => requestAnimationFrame(() => resolve()));
});

EM_JS(int, webgl2Missing, (), {
    return typeof WebGL2RenderingContext === 'undefined' ? 1 : 0;
});

EM_JS(void, pageShowError, (const char* text), {
    Module.lumorakka.showError(UTF8ToString(text));
});
// clang-format on

bool initVideo(std::string&, bool) {
    return true;
}

int quitSignal() {
    return 0; // a page gets no signals
}

bool createWindow(WindowRequest& request, std::string& reason) {
    request.fullScreen = false; // the page has its own full-screen button
    // The page gives the canvas its size, that of the place it is shown in, and changes it with that.
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.alpha = EM_FALSE; // an opaque picture, as the window shows it
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.premultipliedAlpha = EM_FALSE;
    // A still stays on the canvas after it is presented, for whoever looks at it.
    attributes.preserveDrawingBuffer = pageAsksForStill() ? EM_TRUE : EM_FALSE;
    attributes.powerPreference = EM_WEBGL_POWER_PREFERENCE_HIGH_PERFORMANCE;
    context = emscripten_webgl_create_context(canvasSelector, &attributes);
    if (context <= 0) {
        reason = webgl2Missing()
                     ? "this browser has no WebGL 2"
                     : "this browser could not make a WebGL 2 context (graphics may be switched off)";
        return false;
    }
    emscripten_webgl_make_context_current(context);
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_TRUE, onKeyDown);
    return true;
}

void swapWindow() {
    if (!presentedByBrowser && !failed) waitForNextPaint();
}

void windowDrawableSize(int& width, int& height) {
    emscripten_get_canvas_element_size(canvasSelector, &width, &height);
}

void showMessageBox(const char* text) {
    failed = true;
    pageShowError(text);
}

bool pumpEvents(const WindowEvents& handlers) {
    while (!pendingKeys.empty()) {
        const int key = pendingKeys.front();
        pendingKeys.pop_front();
        if (handlers.key) handlers.key(key);
    }
    return false;
}

bool pageHasFailed() {
    return failed;
}

void setFramesPresentedByBrowser(bool presented) {
    presentedByBrowser = presented;
}
