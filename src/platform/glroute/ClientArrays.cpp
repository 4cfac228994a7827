// Client arrays: the fixed-function arrays and the generic attributes 0 to 3, kept as state and
// given to the sink at each draw (Draw.cpp), with the queries that read them back.
#include "platform/glroute/RouteState.h"

using glroute::ClientArray;
using glroute::State;
using glroute::state;

namespace glroute {
namespace {

void setPointer(ClientArray& array, GLint size, GLenum type, GLsizei stride, const void* pointer,
                bool normalized) {
    State& s = state();
    // Arrays are read only from buffer objects: a pointer into memory can't be drawn.
    if (s.boundArrayBuffer == 0 && pointer != nullptr) {
        raise(s, GL_INVALID_OPERATION);
        return;
    }
    array.size = size;
    array.type = type;
    array.stride = stride;
    array.offset = reinterpret_cast<GLintptr>(pointer);
    array.buffer = s.boundArrayBuffer;
    array.normalized = normalized;
}

ClientArray* genericArray(GLuint index) {
    State& s = state();
    if (index < static_cast<GLuint>(genericArrays)) return &s.genericArrayState[index];
    raise(s, GL_INVALID_VALUE);
    return nullptr;
}

} // namespace

ClientArray* clientArray(State& s, GLenum array) {
    switch (array) {
    case GL_VERTEX_ARRAY:
        return &s.vertexArray;
    case GL_NORMAL_ARRAY:
        return &s.normalArray;
    case GL_COLOR_ARRAY:
        return &s.colorArray;
    case GL_SECONDARY_COLOR_ARRAY:
        return &s.secondaryColorArray;
    case GL_TEXTURE_COORD_ARRAY:
        return &s.texCoordArrays[s.clientActiveUnit];
    default:
        return nullptr;
    }
}

bool arrayQuery(State& s, GLenum pname, GLint* data) {
    // Each fixed-function array's size, type, stride and buffer, in the order of GL's enumerants.
    static const struct {
        GLenum array, size, type, stride, buffer;
    } queries[] = {
        {GL_VERTEX_ARRAY, 0x807A, 0x807B, 0x807C, 0x8896},
        {GL_NORMAL_ARRAY, 0, 0x807E, 0x807F, 0x8897},
        {GL_COLOR_ARRAY, 0x8081, 0x8082, 0x8083, 0x8898},
        {GL_TEXTURE_COORD_ARRAY, 0x8088, 0x8089, 0x808A, 0x889A},
        {GL_SECONDARY_COLOR_ARRAY, 0x845A, 0x845B, 0x845C, 0x889C},
    };
    if (pname == GL_CLIENT_ACTIVE_TEXTURE) {
        *data = GL_TEXTURE0 + s.clientActiveUnit;
        return true;
    }
    for (const auto& q : queries) {
        const ClientArray& array = *clientArray(s, q.array);
        if (pname == q.size && q.size != 0)
            *data = array.size;
        else if (pname == q.type)
            *data = static_cast<GLint>(array.type);
        else if (pname == q.stride)
            *data = array.stride;
        else if (pname == q.buffer)
            *data = static_cast<GLint>(array.buffer);
        else
            continue;
        return true;
    }
    return false;
}

} // namespace glroute

extern "C" {

void glEnableClientState(GLenum array) {
    State& s = state();
    if (ClientArray* found = glroute::clientArray(s, array))
        found->enabled = true;
    else
        glroute::raise(s, GL_INVALID_ENUM);
}

void glDisableClientState(GLenum array) {
    State& s = state();
    if (ClientArray* found = glroute::clientArray(s, array))
        found->enabled = false;
    else
        glroute::raise(s, GL_INVALID_ENUM);
}

void glClientActiveTexture(GLenum texture) {
    State& s = state();
    const int unit = static_cast<int>(texture) - GL_TEXTURE0;
    if (unit < 0 || unit >= glroute::textureUnits)
        glroute::raise(s, GL_INVALID_ENUM);
    else
        s.clientActiveUnit = unit;
}

void glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    glroute::setPointer(state().vertexArray, size, type, stride, pointer, false);
}

void glNormalPointer(GLenum type, GLsizei stride, const void* pointer) {
    glroute::setPointer(state().normalArray, 3, type, stride, pointer, type != GL_FLOAT);
}

void glColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    glroute::setPointer(state().colorArray, size, type, stride, pointer, type != GL_FLOAT);
}

void glSecondaryColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    glroute::setPointer(state().secondaryColorArray, size, type, stride, pointer, type != GL_FLOAT);
}

void glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    State& s = state();
    glroute::setPointer(s.texCoordArrays[s.clientActiveUnit], size, type, stride, pointer, false);
}

void glVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                           const void* pointer) {
    if (ClientArray* array = glroute::genericArray(index))
        glroute::setPointer(*array, size, type, stride, pointer, normalized);
}

void glEnableVertexAttribArray(GLuint index) {
    if (ClientArray* array = glroute::genericArray(index)) array->enabled = true;
}

void glDisableVertexAttribArray(GLuint index) {
    if (ClientArray* array = glroute::genericArray(index)) array->enabled = false;
}

void glBindBufferARB(GLenum target, GLuint buffer) {
    State& s = state();
    if (target == GL_ARRAY_BUFFER) s.boundArrayBuffer = buffer;
    s.es3.BindBuffer(target, buffer);
}

void glGetPointerv(GLenum pname, void** params) {
    static const GLenum arrays[][2] = {{0x808E, GL_VERTEX_ARRAY},
                                       {0x808F, GL_NORMAL_ARRAY},
                                       {0x8090, GL_COLOR_ARRAY},
                                       {0x8092, GL_TEXTURE_COORD_ARRAY},
                                       {0x845D, GL_SECONDARY_COLOR_ARRAY}};
    State& s = state();
    for (const auto& entry : arrays)
        if (pname == entry[0]) {
            *params = reinterpret_cast<void*>(glroute::clientArray(s, entry[1])->offset);
            return;
        }
    glroute::raise(s, GL_INVALID_ENUM);
}

void glGetVertexAttribiv(GLuint index, GLenum pname, GLint* params) {
    const ClientArray* array = glroute::genericArray(index);
    if (!array) return;
    switch (pname) {
    case GL_VERTEX_ATTRIB_ARRAY_ENABLED:
        *params = array->enabled;
        break;
    case GL_VERTEX_ATTRIB_ARRAY_SIZE:
        *params = array->size;
        break;
    case GL_VERTEX_ATTRIB_ARRAY_TYPE:
        *params = static_cast<GLint>(array->type);
        break;
    case GL_VERTEX_ATTRIB_ARRAY_NORMALIZED:
        *params = array->normalized;
        break;
    case GL_VERTEX_ATTRIB_ARRAY_STRIDE:
        *params = array->stride;
        break;
    case GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING:
        *params = static_cast<GLint>(array->buffer);
        break;
    default:
        glroute::raise(state(), GL_INVALID_ENUM);
        break;
    }
}

void glGetVertexAttribPointerv(GLuint index, GLenum pname, void** pointer) {
    const ClientArray* array = glroute::genericArray(index);
    if (!array) return;
    if (pname == GL_VERTEX_ATTRIB_ARRAY_POINTER)
        *pointer = reinterpret_cast<void*>(array->offset);
    else
        glroute::raise(state(), GL_INVALID_ENUM);
}

} // extern "C"
