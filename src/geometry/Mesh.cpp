#include "geometry/Mesh.h"

#include <GL/glew.h>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "base/FatalError.h"

namespace {

float wordAsFloat(uint32_t word) {
    float value;
    memcpy(&value, &word, sizeof value);
    return value;
}

uint32_t floatAsWord(float value) {
    uint32_t word;
    memcpy(&word, &value, sizeof word);
    return word;
}

// Scales v to unit length; a zero or non-finite length gives the zero vector instead of NaN.
void normalise(float v[3]) {
    float lengthSquared = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    if (!(lengthSquared > 0.0f) || !std::isfinite(lengthSquared)) {
        v[0] = v[1] = v[2] = 0.0f;
        return;
    }
    float scale = 1.0f / sqrtf(lengthSquared);
    v[0] *= scale;
    v[1] *= scale;
    v[2] *= scale;
}

const void* byteOffset(int words) {
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(4 * words));
}

} // namespace

Mesh::Mesh(Mesh&& other) noexcept {
    *this = std::move(other);
}

Mesh& Mesh::operator=(Mesh&& other) noexcept {
    if (this == &other) return *this;
    delete[] positions;
    delete[] vertices;
    delete[] indices;
    indexBuffer = other.indexBuffer;
    vertexBuffer = other.vertexBuffer;
    positionCount = other.positionCount;
    vertexCount = other.vertexCount;
    triangleCount = other.triangleCount;
    attributeCount = other.attributeCount;
    memcpy(components, other.components, sizeof components);
    memcpy(types, other.types, sizeof types);
    positions = std::exchange(other.positions, nullptr);
    vertices = std::exchange(other.vertices, nullptr);
    indices = std::exchange(other.indices, nullptr);
    genericLocation = other.genericLocation;
    memcpy(slotByType, other.slotByType, sizeof slotByType);
    stride = other.stride;
    // A moved-from mesh is an empty one: no counts that its missing arrays could betray.
    Mesh empty;
    other.positionCount = other.vertexCount = other.triangleCount = other.attributeCount = 0;
    memcpy(other.components, empty.components, sizeof components);
    memcpy(other.types, empty.types, sizeof types);
    memcpy(other.slotByType, empty.slotByType, sizeof slotByType);
    other.stride = 0;
    return *this;
}

Mesh::~Mesh() {
    delete[] positions;
    delete[] vertices;
    delete[] indices;
}

int Mesh::attributeOffset(int attribute) const {
    int offset = 0;
    for (int i = 0; i < attribute; ++i) offset += components[i];
    return offset;
}

void Mesh::updateLayout() {
    stride = 0;
    for (int i = 0; i < attributeCount; ++i) stride += components[i];
    for (int i = 0; i < attributeCount; ++i) {
        // Codes above 15 would index past slotByType; they fail like a missing code.
        if (types[i] < 0 || types[i] > 15) fatalError("Error! Attrib type[%d] = %d", i, types[i]);
        slotByType[types[i]] = i;
    }
}

void Mesh::expandPositions() {
    int indexSlot = slotByType[1];
    if (indexSlot < 0) return;
    int oldStride = stride;
    int newStride = oldStride + 2;
    int indexOffset = attributeOffset(indexSlot);
    uint32_t* expanded = new uint32_t[static_cast<size_t>(vertexCount) * newStride];
    for (int v = 0; v < vertexCount; ++v) {
        const uint32_t* from = vertices + static_cast<size_t>(v) * oldStride;
        uint32_t* to = expanded + static_cast<size_t>(v) * newStride;
        int32_t position = static_cast<int32_t>(from[indexOffset]);
        memcpy(to, positions + 3 * static_cast<size_t>(position), 3 * sizeof(float));
        for (int w = 1; w < oldStride; ++w) to[w + 2] = from[w];
    }
    delete[] vertices;
    vertices = expanded;
    delete[] positions;
    positions = nullptr;
    positionCount = 0;
    types[0] = 0;
    components[0] = 3;
    updateLayout();
}

void Mesh::faceNormal(int triangle, float normal[3]) const {
    float corner[3][3];
    for (int c = 0; c < 3; ++c) {
        const uint32_t* record = vertices + static_cast<size_t>(indices[3 * triangle + c]) * stride;
        for (int k = 0; k < 3; ++k) corner[c][k] = wordAsFloat(record[k]);
    }
    float e1[3], e2[3];
    for (int k = 0; k < 3; ++k) {
        e1[k] = corner[1][k] - corner[0][k];
        e2[k] = corner[2][k] - corner[0][k];
    }
    normal[0] = e1[1] * e2[2] - e1[2] * e2[1];
    normal[1] = e1[2] * e2[0] - e1[0] * e2[2];
    normal[2] = e1[0] * e2[1] - e1[1] * e2[0];
    normalise(normal);
}

void Mesh::computeNormals() {
    int normalSlot = slotByType[2];
    if (normalSlot < 0 || normalSlot >= attributeCount || components[normalSlot] < 3) return;
    int normalOffset = attributeOffset(normalSlot);
    // Summed in float, in triangle order, exactly as if added into the records in place.
    std::vector<float> sums(3 * static_cast<size_t>(vertexCount), 0.0f);
    for (int t = 0; t < triangleCount; ++t) {
        float face[3];
        faceNormal(t, face);
        for (int c = 0; c < 3; ++c) {
            float* sum = &sums[3 * static_cast<size_t>(indices[3 * t + c])];
            for (int k = 0; k < 3; ++k) sum[k] += face[k];
        }
    }
    for (int v = 0; v < vertexCount; ++v) {
        float* sum = &sums[3 * static_cast<size_t>(v)];
        normalise(sum);
        uint32_t* record = vertices + static_cast<size_t>(v) * stride + normalOffset;
        for (int k = 0; k < 3; ++k) record[k] = floatAsWord(sum[k]);
    }
}

void Mesh::createBuffers() {
    GLuint name = 0;
    glGenBuffersARB(1, &name);
    vertexBuffer = static_cast<int>(name);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, name);
    glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(stride) * vertexCount * 4, vertices,
                    GL_STATIC_DRAW_ARB);

    glGenBuffersARB(1, &name);
    indexBuffer = static_cast<int>(name);
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, name);
    glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(triangleCount) * 6, indices,
                    GL_STATIC_DRAW_ARB);
}

void Mesh::enableArrays() {
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, static_cast<GLuint>(vertexBuffer));
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, static_cast<GLuint>(indexBuffer));
    GLsizei strideBytes = stride * 4;

    int slot = slotByType[0];
    glEnableClientState(GL_VERTEX_ARRAY);
    if (slot >= 0)
        glVertexPointer(components[slot], GL_FLOAT, strideBytes, byteOffset(attributeOffset(slot)));

    if ((slot = slotByType[2]) >= 0) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, strideBytes, byteOffset(attributeOffset(slot)));
    }
    if ((slot = slotByType[4]) >= 0) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(components[slot], GL_FLOAT, strideBytes, byteOffset(attributeOffset(slot)));
    }
    if ((slot = slotByType[5]) >= 0) {
        glEnableClientState(GL_SECONDARY_COLOR_ARRAY);
        glSecondaryColorPointer(components[slot], GL_FLOAT, strideBytes, byteOffset(attributeOffset(slot)));
    }
    if ((slot = slotByType[10]) >= 0) {
        glEnableVertexAttribArray(static_cast<GLuint>(genericLocation));
        glVertexAttribPointer(static_cast<GLuint>(genericLocation), 3, GL_FLOAT, GL_TRUE, strideBytes,
                              byteOffset(attributeOffset(slot)));
    }
    for (int unit = 0; unit < 8; ++unit) {
        if ((slot = slotByType[6 + unit]) < 0) continue;
        glClientActiveTexture(GL_TEXTURE0 + unit);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(components[slot], GL_FLOAT, strideBytes, byteOffset(attributeOffset(slot)));
    }
}

void Mesh::disableArrays() {
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_SECONDARY_COLOR_ARRAY);
    glDisableVertexAttribArray(0);
    glDisableVertexAttribArray(1);
    for (int unit = 7; unit >= 0; --unit) {
        glClientActiveTexture(GL_TEXTURE0 + unit);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
}

void Mesh::draw() {
    enableArrays();
    glDrawRangeElements(GL_TRIANGLES, 0, static_cast<GLuint>(vertexCount), 3 * triangleCount,
                        GL_UNSIGNED_SHORT, nullptr);
    disableArrays();
}
