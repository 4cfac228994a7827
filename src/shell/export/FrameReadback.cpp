#include "shell/export/FrameReadback.h"

#include <GL/glew.h>

#include <cstring>

#include "base/FatalError.h"
#include "shell/FrameCapture.h"

FrameReadback::FrameReadback(int width, int height) : width(width), height(height) {
    glGenBuffersARB(2, buffers);
    for (unsigned int buffer : buffers) {
        glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, buffer);
        glBufferDataARB(GL_PIXEL_PACK_BUFFER_ARB, static_cast<GLsizeiptr>(width) * height * 3, nullptr,
                        GL_STREAM_READ_ARB);
    }
    glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
}

FrameReadback::~FrameReadback() {
    glDeleteBuffersARB(2, buffers);
}

void FrameReadback::start() {
    if (pending() == 2) fatalError("Cannot read a third frame back before the first is collected.");
    glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, buffers[started % 2]);
    // readFinishedFrame's read, into the buffer: pixels from offset 0.
    readFinishedFrame(width, height, nullptr);
    glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
    ++started;
}

void FrameReadback::collect(unsigned char* pixels) {
    if (pending() == 0) fatalError("Cannot collect a frame read back: none was started.");
    glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, buffers[collected % 2]);
    const void* mapped = glMapBufferARB(GL_PIXEL_PACK_BUFFER_ARB, GL_READ_ONLY_ARB);
    if (!mapped) fatalError("Cannot map a frame read back: GL error 0x%x.", glGetError());
    memcpy(pixels, mapped, static_cast<size_t>(width) * height * 3);
    glUnmapBufferARB(GL_PIXEL_PACK_BUFFER_ARB);
    glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
    ++collected;
}
