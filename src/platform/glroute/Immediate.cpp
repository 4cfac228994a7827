// Immediate mode: glBegin/glEnd collect vertices with the current normal, colour and texture
// coordinates, and glEnd draws them as triangles from a streamed buffer (quads split as GL splits
// them).
#include <cstddef>
#include <cstring>

#include "platform/glroute/RouteState.h"
#include "platform/glroute/ShaderRewrite.h"

using glroute::ImmediateVertex;
using glroute::State;
using glroute::state;

namespace {

void addImmediateVertex(float x, float y, float z) {
    State& s = state();
    if (!s.insideBegin) return;
    ImmediateVertex v;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    v.position[3] = 1;
    memcpy(v.normal, s.currentNormal, sizeof v.normal);
    memcpy(v.color, s.currentColor, sizeof v.color);
    memcpy(v.texCoord, s.currentTexCoords, sizeof v.texCoord);
    s.immediateVertices.push_back(v);
}

// The vertices to draw as triangles: each quad a, b, c, d as a b c and a c d, GL's own split; an
// incomplete last primitive is left out.
const std::vector<ImmediateVertex>& immediateTriangles(State& s) {
    if (s.immediateMode != GL_QUADS) {
        s.immediateVertices.resize(s.immediateVertices.size() / 3 * 3);
        return s.immediateVertices;
    }
    s.immediateTriangles.clear();
    for (size_t q = 0; q + 3 < s.immediateVertices.size(); q += 4) {
        const ImmediateVertex* v = &s.immediateVertices[q];
        for (int corner : {0, 1, 2, 0, 2, 3}) s.immediateTriangles.push_back(v[corner]);
    }
    return s.immediateTriangles;
}

void streamVertices(State& s, const std::vector<ImmediateVertex>& vertices) {
    const glroute::Es3& es3 = s.es3;
    if (s.immediateBuffer == 0) es3.GenBuffers(1, &s.immediateBuffer);
    es3.BindBuffer(GL_ARRAY_BUFFER, s.immediateBuffer);
    const size_t bytes = vertices.size() * sizeof(ImmediateVertex);
    if (bytes > s.immediateBufferBytes) {
        es3.BufferData(GL_ARRAY_BUFFER, bytes, vertices.data(), GL_STREAM_DRAW);
        s.immediateBufferBytes = bytes;
    } else {
        es3.BufferSubData(GL_ARRAY_BUFFER, 0, bytes, vertices.data());
    }
}

void immediateArray(State& s, int location, int components, size_t offset) {
    s.es3.VertexAttribPointer(location, components, GL_FLOAT, GL_FALSE, sizeof(ImmediateVertex),
                              reinterpret_cast<const void*>(offset));
    glroute::setRealArray(s, location, true);
}

// Points the fixed-function inputs at the streamed vertices. Every other array is off inside
// glBegin/glEnd: the texture units above the streamed ones read their current coordinates.
void feedImmediateArrays(State& s) {
    using namespace glroute;
    immediateArray(s, vertexLocation, 4, offsetof(ImmediateVertex, position));
    immediateArray(s, normalLocation, 3, offsetof(ImmediateVertex, normal));
    immediateArray(s, colorLocation, 4, offsetof(ImmediateVertex, color));
    for (int unit = 0; unit < immediateTexCoordUnits; ++unit)
        immediateArray(s, texCoordLocation + unit, 4, offsetof(ImmediateVertex, texCoord) + unit * 4 * sizeof(float));
    for (int location = 0; location < texCoordLocation + textureUnits; ++location) {
        if (location == vertexLocation || location == normalLocation || location == colorLocation ||
            (location >= texCoordLocation && location < texCoordLocation + immediateTexCoordUnits))
            continue;
        setRealArray(s, location, false);
        if (location >= texCoordLocation)
            s.es3.VertexAttrib4fv(location, s.currentTexCoords[location - texCoordLocation]);
    }
}

} // namespace

extern "C" {

void glBegin(GLenum mode) {
    State& s = state();
    if (s.insideBegin || (mode != GL_TRIANGLES && mode != GL_QUADS)) {
        glroute::raise(s, s.insideBegin ? GL_INVALID_OPERATION : GL_INVALID_ENUM);
        return;
    }
    s.insideBegin = true;
    s.immediateMode = mode;
    s.immediateVertices.clear();
}

void glEnd(void) {
    State& s = state();
    if (!s.insideBegin) {
        glroute::raise(s, GL_INVALID_OPERATION);
        return;
    }
    s.insideBegin = false;
    const std::vector<ImmediateVertex>& triangles = immediateTriangles(s);
    if (triangles.empty()) return;
    glroute::prepareProgram(s);
    streamVertices(s, triangles);
    feedImmediateArrays(s);
    s.es3.DrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(triangles.size()));
    s.es3.BindBuffer(GL_ARRAY_BUFFER, s.boundArrayBuffer);
}

void glVertex2f(GLfloat x, GLfloat y) {
    addImmediateVertex(x, y, 0);
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    addImmediateVertex(x, y, z);
}

void glVertex3fv(const GLfloat* v) {
    addImmediateVertex(v[0], v[1], v[2]);
}

void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    float* normal = state().currentNormal;
    normal[0] = x;
    normal[1] = y;
    normal[2] = z;
}

void glNormal3fv(const GLfloat* v) {
    glNormal3f(v[0], v[1], v[2]);
}

void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    float* color = state().currentColor;
    color[0] = r;
    color[1] = g;
    color[2] = b;
    color[3] = a;
}

void glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    glColor4f(r, g, b, 1);
}

void glMultiTexCoord2fARB(GLenum texture, GLfloat s, GLfloat t) {
    State& route = state();
    const int unit = static_cast<int>(texture) - GL_TEXTURE0;
    if (unit < 0 || unit >= glroute::textureUnits) {
        glroute::raise(route, GL_INVALID_ENUM);
        return;
    }
    float* coordinates = route.currentTexCoords[unit];
    coordinates[0] = s;
    coordinates[1] = t;
    coordinates[2] = 0;
    coordinates[3] = 1;
}

void glTexCoord2f(GLfloat s, GLfloat t) {
    glMultiTexCoord2fARB(GL_TEXTURE0, s, t);
}

} // extern "C"
