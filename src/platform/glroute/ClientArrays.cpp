// Client arrays: the fixed-function arrays and the generic attributes 0 to 3, kept as state and
// given to the sink at each draw (Draw.cpp), with the queries that read them back.
#include "platform/glroute/RouteState.h"

using glroute::ClientArray;
using glroute::State;
using glroute::state;

namespace glroute {
namespace {

// The queries of each fixed-function array: its size (none for normals), type, stride, buffer and
// pointer.
const struct ArrayQueries {
    GLenum array, size, type, stride, buffer, pointer;
} arrayQueries[] = {
    {GL_VERTEX_ARRAY, GL_VERTEX_ARRAY_SIZE, GL_VERTEX_ARRAY_TYPE, GL_VERTEX_ARRAY_STRIDE,
     GL_VERTEX_ARRAY_BUFFER_BINDING, GL_VERTEX_ARRAY_POINTER},
    {GL_NORMAL_ARRAY, 0, GL_NORMAL_ARRAY_TYPE, GL_NORMAL_ARRAY_STRIDE, GL_NORMAL_ARRAY_BUFFER_BINDING,
     GL_NORMAL_ARRAY_POINTER},
    {GL_COLOR_ARRAY, GL_COLOR_ARRAY_SIZE, GL_COLOR_ARRAY_TYPE, GL_COLOR_ARRAY_STRIDE,
     GL_COLOR_ARRAY_BUFFER_BINDING, GL_COLOR_ARRAY_POINTER},
    {GL_TEXTURE_COORD_ARRAY, GL_TEXTURE_COORD_ARRAY_SIZE, GL_TEXTURE_COORD_ARRAY_TYPE,
     GL_TEXTURE_COORD_ARRAY_STRIDE, GL_TEXTURE_COORD_ARRAY_BUFFER_BINDING, GL_TEXTURE_COORD_ARRAY_POINTER},
    {GL_SECONDARY_COLOR_ARRAY, GL_SECONDARY_COLOR_ARRAY_SIZE, GL_SECONDARY_COLOR_ARRAY_TYPE,
     GL_SECONDARY_COLOR_ARRAY_STRIDE, GL_SECONDARY_COLOR_ARRAY_BUFFER_BINDING,
     GL_SECONDARY_COLOR_ARRAY_POINTER},
};

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

// glEnableClientState or glDisableClientState: an array the route doesn't keep is GL_INVALID_ENUM.
void setClientArrayEnabled(State& s, GLenum array, bool enabled) {
    if (ClientArray* found = clientArray(s, array))
        found->enabled = enabled;
    else
        raise(s, GL_INVALID_ENUM);
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
    if (pname == GL_CLIENT_ACTIVE_TEXTURE) {
        *data = GL_TEXTURE0 + s.clientActiveUnit;
        return true;
    }
    for (const ArrayQueries& q : arrayQueries) {
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
    glroute::setClientArrayEnabled(state(), array, true);
}

void glDisableClientState(GLenum array) {
    glroute::setClientArrayEnabled(state(), array, false);
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
    State& s = state();
    for (const auto& q : glroute::arrayQueries)
        if (pname == q.pointer) {
            *params = reinterpret_cast<void*>(glroute::clientArray(s, q.array)->offset);
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
