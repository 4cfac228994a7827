#include "gpu/PassState.h"

#include <GL/glew.h>

#include <cstdio>

PassScope::PassScope() {
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glGetIntegerv(GL_BLEND_SRC, &blendSource);
    glGetIntegerv(GL_BLEND_DST, &blendDestination);
    glGetFloatv(GL_BLEND_COLOR, blendColour);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    blend = glIsEnabled(GL_BLEND) == GL_TRUE;
    depthTest = glIsEnabled(GL_DEPTH_TEST) == GL_TRUE;
}

PassScope::~PassScope() {
    glUseProgramObjectARB(static_cast<GLhandleARB>(program));
    glMatrixMode(static_cast<GLenum>(matrixMode));
    glBlendFunc(static_cast<GLenum>(blendSource), static_cast<GLenum>(blendDestination));
    glBlendColorEXT(blendColour[0], blendColour[1], blendColour[2], blendColour[3]);
    glColor4f(colour[0], colour[1], colour[2], colour[3]);
    if (blend)
        glEnable(GL_BLEND);
    else
        glDisable(GL_BLEND);
    if (depthTest)
        glEnable(GL_DEPTH_TEST);
    else
        glDisable(GL_DEPTH_TEST);
}

FrameState FrameState::current() {
    FrameState state;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &state.framebuffer);
    glGetIntegerv(GL_VIEWPORT, state.viewport);
    glGetIntegerv(GL_CURRENT_PROGRAM, &state.program);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &state.activeTexture);
    glGetIntegerv(GL_MATRIX_MODE, &state.matrixMode);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &state.modelViewDepth);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &state.projectionDepth);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &state.attribDepth);
    state.blend = glIsEnabled(GL_BLEND) == GL_TRUE;
    state.depthTest = glIsEnabled(GL_DEPTH_TEST) == GL_TRUE;
    return state;
}

namespace {

std::string differs(const char* what, int found, int expected) {
    char text[160];
    snprintf(text, sizeof text, "%s is %d (0x%04x), was %d (0x%04x)", what, found, found, expected, expected);
    return text;
}

// Two switches that differ: the one found says both.
std::string switched(const char* what, bool found) {
    return std::string(what) + (found ? " is on, was off" : " is off, was on");
}

} // namespace

std::string frameStateDifference(const FrameState& expected, const FrameState& found) {
    const struct {
        const char* what;
        int FrameState::*field;
    } numbers[] = {{"the framebuffer", &FrameState::framebuffer},
                   {"the program", &FrameState::program},
                   {"the active texture unit", &FrameState::activeTexture},
                   {"the matrix mode", &FrameState::matrixMode},
                   {"the model-view stack depth", &FrameState::modelViewDepth},
                   {"the projection stack depth", &FrameState::projectionDepth},
                   {"the attribute stack depth", &FrameState::attribDepth}};
    for (const auto& number : numbers)
        if (found.*number.field != expected.*number.field)
            return differs(number.what, found.*number.field, expected.*number.field);
    static const char* const viewportParts[4] = {"the viewport's x", "the viewport's y", "the viewport's width",
                                                 "the viewport's height"};
    for (int part = 0; part < 4; ++part)
        if (found.viewport[part] != expected.viewport[part])
            return differs(viewportParts[part], found.viewport[part], expected.viewport[part]);
    if (found.blend != expected.blend) return switched("blending", found.blend);
    if (found.depthTest != expected.depthTest) return switched("the depth test", found.depthTest);
    return "";
}
