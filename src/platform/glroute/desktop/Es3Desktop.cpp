// The sink on the desktop: Mesa's GL ES 3 through EGL. The window layer makes an OpenGL context
// current on an EGL surface (off-screen, without an X display); the route puts an ES 3.0 context
// of the same configuration on that surface in its place, so everything the engine draws reaches
// the same pictures through GL ES 3 alone. Functions are looked up through EGL: this program links
// no GL library, so an entry point the engine calls that the route lacks fails the link.
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <string>

#include "base/FatalError.h"
#include "platform/glroute/RouteState.h"

namespace glroute {
namespace {

bool makeEs3Current(std::string& reason) {
    // The window layer's context is current for the OpenGL API.
    eglBindAPI(EGL_OPENGL_API);
    const EGLDisplay display = eglGetCurrentDisplay();
    const EGLContext desktop = eglGetCurrentContext();
    const EGLSurface surface = eglGetCurrentSurface(EGL_DRAW);
    if (display == EGL_NO_DISPLAY || desktop == EGL_NO_CONTEXT || surface == EGL_NO_SURFACE) {
        reason = "no EGL context is current (this build draws off-screen only: start it without DISPLAY)";
        return false;
    }
    EGLint configId = 0, found = 0;
    EGLConfig config = nullptr;
    eglQueryContext(display, desktop, EGL_CONFIG_ID, &configId);
    const EGLint wanted[] = {EGL_CONFIG_ID, configId, EGL_NONE};
    EGLint renderable = 0;
    if (!eglChooseConfig(display, wanted, &config, 1, &found) || found < 1 ||
        !eglGetConfigAttrib(display, config, EGL_RENDERABLE_TYPE, &renderable) ||
        !(renderable & EGL_OPENGL_ES3_BIT)) {
        reason = "the window's EGL configuration does not render GL ES 3";
        return false;
    }
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    const EGLint version[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0, EGL_NONE};
    EGLContext es3 = EGL_NO_CONTEXT;
    if (eglBindAPI(EGL_OPENGL_ES_API))
        es3 = eglCreateContext(display, config, EGL_NO_CONTEXT, version);
    if (es3 == EGL_NO_CONTEXT || !eglMakeCurrent(display, surface, surface, es3)) {
        char code[16];
        snprintf(code, sizeof code, "0x%04x", static_cast<unsigned>(eglGetError()));
        reason = std::string("EGL made no GL ES 3.0 context (error ") + code + ")";
        return false;
    }
    return true;
}

// Fills the table from the GL ES 3 context on the window's surface. Returns false with a reason (a
// missing context, a missing function).
bool loadEs3(Es3& es3, std::string& reason) {
    if (!makeEs3Current(reason)) return false;
#define GLROUTE_EGL(result, name, parameters, arguments)                                                    \
    es3.name = reinterpret_cast<decltype(es3.name)>(eglGetProcAddress("gl" #name));                          \
    if (!es3.name) {                                                                                         \
        reason = "GL ES 3 has no gl" #name;                                                                  \
        return false;                                                                                        \
    }
    GLROUTE_PASSED_CALLS(GLROUTE_EGL)
    GLROUTE_OWN_CALLS(GLROUTE_EGL)
#undef GLROUTE_EGL
    return true;
}

} // namespace
} // namespace glroute

extern "C" {

// The engine starts GL here, once the window's context is current: the route starts over GL ES 3
// on that context's surface. Without it there is nothing to draw with.
GLenum glewInit(void) {
    glroute::Es3 sink;
    std::string reason;
    if (!glroute::loadEs3(sink, reason)) fatalError("The GL ES 3 route has no GL: %s", reason.c_str());
    glroute::start(sink);
    return GLEW_OK;
}

} // extern "C"
