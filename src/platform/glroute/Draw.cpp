// What every draw does first: the program in use gets the matrices its rewritten source declares
// (or the fixed-function program takes over), and each fixed-function input is fed from its array
// in a buffer object or from its current value.
#include <glm/mat3x3.hpp>
#include <glm/matrix.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "platform/glroute/RouteState.h"
#include "platform/glroute/ShaderRewrite.h"

namespace glroute {
namespace {

void lookUpMatrices(const Es3& es3, GLuint program, ProgramUniforms& u) {
    u.modelView = es3.GetUniformLocation(program, modelViewUniform);
    u.projection = es3.GetUniformLocation(program, projectionUniform);
    u.modelViewProjection = es3.GetUniformLocation(program, modelViewProjectionUniform);
    u.modelViewInverse = es3.GetUniformLocation(program, modelViewInverseUniform);
    u.normalMatrix = es3.GetUniformLocation(program, normalMatrixUniform);
    for (int unit = 0; unit < textureUnits; ++unit)
        u.textureMatrix[unit] =
            es3.GetUniformLocation(program, (textureMatrixUniform + std::to_string(unit)).c_str());
    u.looked = true;
}

// Feeds one fixed-function input from its array, or from its current value when the array is off.
void prepareArray(State& s, int location, const ClientArray& array, const float* value, int components) {
    if (!array.enabled) {
        setRealArray(s, location, false);
        float v[4] = {0, 0, 0, 1};
        for (int i = 0; i < components; ++i) v[i] = value[i];
        s.es3.VertexAttrib4fv(location, v);
        return;
    }
    s.es3.BindBuffer(GL_ARRAY_BUFFER, array.buffer);
    s.es3.VertexAttribPointer(location, array.size, array.type, array.normalized, array.stride,
                              reinterpret_cast<const void*>(array.offset));
    setRealArray(s, location, true);
}

} // namespace

void setRealArray(State& s, int location, bool enabled) {
    const unsigned bit = 1u << location;
    if (enabled == ((s.realArraysEnabled & bit) != 0)) return;
    if (enabled) {
        s.es3.EnableVertexAttribArray(location);
        s.realArraysEnabled |= bit;
    } else {
        s.es3.DisableVertexAttribArray(location);
        s.realArraysEnabled &= ~bit;
    }
}

void prepareProgram(State& s) {
    const glm::mat4& modelView = s.modelView.top();
    const glm::mat4 modelViewProjection = s.projection.top() * modelView;
    if (s.userProgram == 0 || s.programsWithoutShaders.count(s.userProgram)) {
        prepareFixedProgram(s, modelViewProjection);
        return;
    }
    const Es3& es3 = s.es3;
    if (s.realProgram != s.userProgram) {
        es3.UseProgram(s.userProgram);
        s.realProgram = s.userProgram;
    }
    ProgramUniforms& u = s.programUniforms[s.userProgram];
    if (!u.looked) lookUpMatrices(es3, s.userProgram, u);
    if (u.modelView >= 0) es3.UniformMatrix4fv(u.modelView, 1, GL_FALSE, glm::value_ptr(modelView));
    if (u.projection >= 0)
        es3.UniformMatrix4fv(u.projection, 1, GL_FALSE, glm::value_ptr(s.projection.top()));
    if (u.modelViewProjection >= 0)
        es3.UniformMatrix4fv(u.modelViewProjection, 1, GL_FALSE, glm::value_ptr(modelViewProjection));
    if (u.modelViewInverse >= 0)
        es3.UniformMatrix4fv(u.modelViewInverse, 1, GL_FALSE, glm::value_ptr(glm::inverse(modelView)));
    for (int unit = 0; unit < textureUnits; ++unit)
        if (u.textureMatrix[unit] >= 0)
            es3.UniformMatrix4fv(u.textureMatrix[unit], 1, GL_FALSE, glm::value_ptr(s.textureMatrices[unit].top()));
    if (u.normalMatrix >= 0) {
        const glm::mat3 normal = glm::transpose(glm::inverse(glm::mat3(modelView)));
        es3.UniformMatrix3fv(u.normalMatrix, 1, GL_FALSE, glm::value_ptr(normal));
    }
}

void prepareClientArrays(State& s) {
    static const float zero[4] = {0, 0, 0, 1};
    prepareArray(s, vertexLocation, s.vertexArray, zero, 4);
    prepareArray(s, normalLocation, s.normalArray, s.currentNormal, 3);
    prepareArray(s, colorLocation, s.colorArray, s.currentColor, 4);
    prepareArray(s, secondaryColorLocation, s.secondaryColorArray, zero, 4);
    for (int unit = 0; unit < textureUnits; ++unit)
        prepareArray(s, texCoordLocation + unit, s.texCoordArrays[unit], s.currentTexCoords[unit], 4);
    for (int index = 0; index < genericArrays; ++index) {
        const ClientArray& array = s.genericArrayState[index];
        if (array.enabled)
            prepareArray(s, index, array, zero, 4);
        else
            setRealArray(s, index, false);
    }
    s.es3.BindBuffer(GL_ARRAY_BUFFER, s.boundArrayBuffer);
}

} // namespace glroute

extern "C" {

void glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
    glroute::State& s = glroute::state();
    glroute::prepareProgram(s);
    glroute::prepareClientArrays(s);
    s.es3.DrawElements(mode, count, type, indices);
}

void glDrawRangeElements(GLenum mode, GLuint, GLuint, GLsizei count, GLenum type, const void* indices) {
    // The range is only a hint; ES 3 checks the indices against the buffers itself.
    glDrawElements(mode, count, type, indices);
}

} // extern "C"
