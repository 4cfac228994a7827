// Fixed-function state that is the route's own: the caps ES 3 lacks, the attribute stack, the
// viewport it saves, the texture environment and the blend colour.
#include <cmath>
#include <cstring>

#include "platform/glroute/RouteState.h"

using glroute::State;
using glroute::state;

namespace glroute {
namespace {

// Caps the route keeps itself: the active unit's texture targets, which it tracks, and caps whose
// value is fixed. Lighting is not drawn: the engine only ever switches it off, so switching it (or a
// light) on is refused rather than drawn unlit. ES 3 always filters across a cube map's seams.
// False for a cap the sink keeps; otherwise `tracked` is the unit's flag, or null with `fixed` the
// cap's one value.
bool emulatedCap(State& s, GLenum cap, bool*& tracked, bool& fixed) {
    tracked = nullptr;
    fixed = false;
    switch (cap) {
    case GL_TEXTURE_2D:
        tracked = &s.units[s.activeUnit].texture2D;
        return true;
    case GL_TEXTURE_CUBE_MAP:
        tracked = &s.units[s.activeUnit].textureCube;
        return true;
    case GL_LIGHTING:
    case GL_NORMALIZE:
    case GL_COLOR_MATERIAL:
        return true;
    case GL_TEXTURE_CUBE_MAP_SEAMLESS:
        fixed = true;
        return true;
    default:
        return cap >= GL_LIGHT0 && cap < GL_LIGHT0 + 8;
    }
}

bool setEmulatedCap(State& s, GLenum cap, bool enable) {
    bool* tracked;
    bool fixed;
    if (!emulatedCap(s, cap, tracked, fixed)) return false;
    if (tracked)
        *tracked = enable;
    else if (enable != fixed)
        raise(s, GL_INVALID_ENUM);
    return true;
}

GLfloat clampUnit(GLfloat value) {
    return value < 0 ? 0 : value > 1 ? 1 : value;
}

bool isEmulatedCapEnabled(State& s, GLenum cap, GLboolean& enabled) {
    bool* tracked;
    bool fixed;
    if (emulatedCap(s, cap, tracked, fixed)) {
        enabled = tracked ? *tracked : fixed;
        return true;
    }
    if (ClientArray* array = clientArray(s, cap)) {
        enabled = array->enabled;
        return true;
    }
    return false;
}

} // namespace
} // namespace glroute

extern "C" {

void glEnable(GLenum cap) {
    State& s = state();
    if (!glroute::setEmulatedCap(s, cap, true)) s.es3.Enable(cap);
}

void glDisable(GLenum cap) {
    State& s = state();
    if (!glroute::setEmulatedCap(s, cap, false)) s.es3.Disable(cap);
}

GLboolean glIsEnabled(GLenum cap) {
    State& s = state();
    GLboolean enabled = GL_FALSE;
    if (glroute::isEmulatedCapEnabled(s, cap, enabled)) return enabled;
    return s.es3.IsEnabled(cap);
}

void glPushAttrib(GLbitfield mask) {
    State& s = state();
    if (static_cast<int>(s.attribStack.size()) >= glroute::attribStackDepth) {
        glroute::raise(s, GL_STACK_OVERFLOW);
        return;
    }
    // Only the groups the engine saves are kept; asking for others is an error here rather than a
    // silent partial save.
    if (mask & ~static_cast<GLbitfield>(GL_LIGHTING_BIT | GL_VIEWPORT_BIT)) glroute::raise(s, GL_INVALID_ENUM);
    glroute::AttribEntry entry = {};
    entry.mask = mask;
    if (mask & GL_VIEWPORT_BIT) {
        if (!s.viewportKnown) {
            s.es3.GetIntegerv(GL_VIEWPORT, s.viewport);
            s.viewportKnown = true;
        }
        memcpy(entry.viewport, s.viewport, sizeof s.viewport);
        memcpy(entry.depthRange, s.depthRange, sizeof s.depthRange);
    }
    s.attribStack.push_back(entry);
}

void glPopAttrib(void) {
    State& s = state();
    if (s.attribStack.empty()) {
        glroute::raise(s, GL_STACK_UNDERFLOW);
        return;
    }
    const glroute::AttribEntry entry = s.attribStack.back();
    s.attribStack.pop_back();
    if (entry.mask & GL_VIEWPORT_BIT) {
        glViewport(entry.viewport[0], entry.viewport[1], entry.viewport[2], entry.viewport[3]);
        glDepthRangef(entry.depthRange[0], entry.depthRange[1]);
    }
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    State& s = state();
    const GLint viewport[4] = {x, y, width, height};
    memcpy(s.viewport, viewport, sizeof viewport);
    s.viewportKnown = true;
    s.es3.Viewport(x, y, width, height);
}

void glDepthRangef(GLfloat zNear, GLfloat zFar) {
    State& s = state();
    s.depthRange[0] = glroute::clampUnit(zNear);
    s.depthRange[1] = glroute::clampUnit(zFar);
    s.es3.DepthRangef(zNear, zFar);
}

void glTexEnvi(GLenum target, GLenum pname, GLint param) {
    State& s = state();
    if (target != GL_TEXTURE_ENV) {
        glroute::raise(s, GL_INVALID_ENUM);
        return;
    }
    glroute::TextureEnvironment& env = s.units[s.activeUnit].environment;
    switch (pname) {
    case GL_TEXTURE_ENV_MODE:
        env.mode = param;
        break;
    case GL_COMBINE_RGB:
        env.combineRgb = param;
        break;
    case GL_COMBINE_ALPHA:
        env.combineAlpha = param;
        break;
    case GL_SOURCE0_RGB:
        env.sourceRgb[0] = param;
        break;
    case GL_SOURCE1_RGB:
        env.sourceRgb[1] = param;
        break;
    case GL_SOURCE0_ALPHA:
        env.sourceAlpha[0] = param;
        break;
    case GL_SOURCE1_ALPHA:
        env.sourceAlpha[1] = param;
        break;
    case GL_RGB_SCALE:
        env.rgbScale = static_cast<float>(param);
        break;
    case GL_ALPHA_SCALE:
        env.alphaScale = static_cast<float>(param);
        break;
    default:
        glroute::raise(s, GL_INVALID_ENUM);
        break;
    }
}

void glTexEnvf(GLenum target, GLenum pname, GLfloat param) {
    State& s = state();
    if (target == GL_TEXTURE_ENV && (pname == GL_RGB_SCALE || pname == GL_ALPHA_SCALE)) {
        glroute::TextureEnvironment& env = s.units[s.activeUnit].environment;
        (pname == GL_RGB_SCALE ? env.rgbScale : env.alphaScale) = param;
        return;
    }
    glTexEnvi(target, pname, static_cast<GLint>(param));
}

void glGetTexEnviv(GLenum target, GLenum pname, GLint* params) {
    State& s = state();
    const glroute::TextureEnvironment& env = s.units[s.activeUnit].environment;
    if (target == GL_TEXTURE_ENV && pname == GL_TEXTURE_ENV_MODE)
        *params = env.mode;
    else if (target == GL_TEXTURE_ENV && pname == GL_COMBINE_RGB)
        *params = env.combineRgb;
    else if (target == GL_TEXTURE_ENV && pname == GL_COMBINE_ALPHA)
        *params = env.combineAlpha;
    else
        glroute::raise(s, GL_INVALID_ENUM);
}

void glShadeModel(GLenum mode) {
    // Only smooth shading is drawn; flat would need flat-qualified inputs in every shader.
    if (mode != GL_SMOOTH) glroute::raise(state(), GL_INVALID_ENUM);
}

void glClearDepth(GLclampd depth) {
    state().es3.ClearDepthf(static_cast<GLfloat>(depth));
}

void glHint(GLenum target, GLenum mode) {
    // Perspective-correct interpolation is what ES 3 always does.
    if (target != GL_PERSPECTIVE_CORRECTION_HINT) state().es3.Hint(target, mode);
}

void glBlendColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    // An 8-bit framebuffer blends with the constant in its own 8 bits, as Mesa's desktop GL does:
    // the glow's blur multiplies by strength / 4 five times over, and 0.125 kept exact rounds a dim
    // texel to black where 32/255 keeps it, which brightens the whole frame by 16 levels after the
    // layers. Halves round to even, as Mesa's do. Queries give the colour as it was set.
    State& s = state();
    const GLfloat given[4] = {r, g, b, a};
    memcpy(s.blendColor, given, sizeof given);
    auto level = [](GLfloat value) { return std::nearbyint(glroute::clampUnit(value) * 255.0f) / 255.0f; };
    s.es3.BlendColor(level(r), level(g), level(b), level(a));
}

} // extern "C"
