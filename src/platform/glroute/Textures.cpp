// Textures and pixels: the texture units the fixed-function pipeline reads, the formats ES 3 takes,
// mipmaps, and reading pixels back in the layouts GL 2.1 gives.
#include <GL/glu.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/glroute/RouteState.h"

using glroute::State;
using glroute::state;

namespace glroute {
namespace {

GLenum baseFormat(GLint internalFormat, GLenum format) {
    switch (internalFormat) {
    case GL_ALPHA8:
        return GL_ALPHA;
    case GL_LUMINANCE8:
    case 1:
        return GL_LUMINANCE;
    case GL_LUMINANCE8_ALPHA8:
    case 2:
        return GL_LUMINANCE_ALPHA;
    case GL_RGB8:
    case 3:
        return GL_RGB;
    case GL_RGBA8:
    case 4:
        return GL_RGBA;
    default:
        return internalFormat != 0 ? static_cast<GLenum>(internalFormat) : format;
    }
}

// The internal format ES 3.0 takes for what the engine asks: the unsized alpha and luminance
// formats only as themselves.
GLint sizedFormat(GLint internalFormat, GLenum format) {
    const GLenum base = baseFormat(internalFormat, format);
    if (base == GL_ALPHA || base == GL_LUMINANCE || base == GL_LUMINANCE_ALPHA || internalFormat <= 4)
        return static_cast<GLint>(base);
    return internalFormat;
}

int componentsOf(GLenum format) {
    switch (format) {
    case GL_ALPHA:
    case GL_LUMINANCE:
        return 1;
    case GL_LUMINANCE_ALPHA:
        return 2;
    case GL_RGB:
        return 3;
    case GL_RGBA:
        return 4;
    default:
        return 0;
    }
}

// Rows of `alignment`-aligned pixels, packed tight.
std::vector<unsigned char> packedRows(const unsigned char* pixels, int width, int height, int components,
                                      int alignment) {
    const size_t row = static_cast<size_t>(width) * components;
    const size_t stride = (row + alignment - 1) / alignment * alignment;
    std::vector<unsigned char> packed(row * height);
    for (int y = 0; y < height; ++y) memcpy(&packed[y * row], pixels + y * stride, row);
    return packed;
}

// The next mipmap level of a tightly packed `width` x `height` picture.
std::vector<unsigned char> halved(const std::vector<unsigned char>& level, int width, int height, int components) {
    const int newWidth = std::max(1, width / 2), newHeight = std::max(1, height / 2);
    const int stepX = width > 1 ? components : 0;
    const size_t stepY = height > 1 ? static_cast<size_t>(width) * components : 0;
    std::vector<unsigned char> out(static_cast<size_t>(newWidth) * newHeight * components);
    for (int y = 0; y < newHeight; ++y)
        for (int x = 0; x < newWidth; ++x)
            for (int c = 0; c < components; ++c) {
                const unsigned char* p =
                    &level[(static_cast<size_t>(y) * (height > 1 ? 2 : 1) * width + x * (width > 1 ? 2 : 1)) *
                               components + c];
                const int sum = stepX && stepY ? p[0] + p[stepX] + p[stepY] + p[stepY + stepX] + 2
                                               : p[0] + p[stepX + stepY];
                out[(static_cast<size_t>(y) * newWidth + x) * components + c] =
                    static_cast<unsigned char>(stepX && stepY ? sum / 4 : sum / 2);
            }
    return out;
}

bool isCubeFace(GLenum target) {
    return target >= GL_TEXTURE_CUBE_MAP_POSITIVE_X && target <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z;
}

// Reads RGBA bytes and packs them as RGB rows at `alignment`: ES 3 reads RGB bytes only from
// framebuffers of that format, and the engine's frames are RGBA.
void readRgbRows(State& s, GLint x, GLint y, GLsizei width, GLsizei height, GLint alignment, void* pixels) {
    std::vector<unsigned char> rgba(static_cast<size_t>(width) * height * 4);
    s.es3.PixelStorei(GL_PACK_ALIGNMENT, 4);
    s.es3.ReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    s.es3.PixelStorei(GL_PACK_ALIGNMENT, alignment);
    const size_t row = (static_cast<size_t>(width) * 3 + alignment - 1) / alignment * alignment;
    unsigned char* out = static_cast<unsigned char*>(pixels);
    for (GLsizei r = 0; r < height; ++r)
        for (GLsizei c = 0; c < width; ++c)
            memcpy(out + r * row + c * 3, &rgba[(static_cast<size_t>(r) * width + c) * 4], 3);
}

} // namespace
} // namespace glroute

extern "C" {

void glActiveTexture(GLenum texture) {
    State& s = state();
    const int unit = static_cast<int>(texture) - GL_TEXTURE0;
    if (unit < 0 || unit >= glroute::textureUnits) {
        glroute::raise(s, GL_INVALID_ENUM);
        return;
    }
    s.activeUnit = unit;
    s.es3.ActiveTexture(texture);
}

void glBindTexture(GLenum target, GLuint texture) {
    State& s = state();
    if (target == GL_TEXTURE_2D)
        s.units[s.activeUnit].bound2D = texture;
    else if (target == GL_TEXTURE_CUBE_MAP)
        s.units[s.activeUnit].boundCube = texture;
    s.es3.BindTexture(target, texture);
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const void* pixels) {
    State& s = state();
    if (format == GL_BGR || format == GL_BGRA) {
        // ES 3 takes no BGR order; the engine's pictures arrive as RGB and RGBA.
        glroute::raise(s, GL_INVALID_ENUM);
        return;
    }
    const GLenum base = glroute::baseFormat(internalFormat, format);
    if (level == 0) {
        const GLenum binding = glroute::isCubeFace(target) ? GL_TEXTURE_CUBE_MAP : target;
        s.textureImages[glroute::boundTexture(s, binding)] = {base, internalFormat, width, height};
    }
    s.es3.TexImage2D(target, level, glroute::sizedFormat(internalFormat, format), width, height, border, format,
                     type, pixels);
}

// The base level as given, then each smaller level averaged from the one above on the processor, as
// GLU averages them: 2 x 2 texels to nearest (halves up), 2 x 1 rounded down. The desktop's
// pictures are made that way, and a GPU's own mipmaps would differ from them by a level here and
// there over the whole of a minified picture.
GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format,
                        GLenum type, const void* data) {
    State& s = state();
    glTexImage2D(target, 0, internalFormat, width, height, 0, format, type, data);
    const int components = glroute::componentsOf(format);
    if (type != GL_UNSIGNED_BYTE || components == 0 || width <= 0 || height <= 0) {
        glroute::raise(s, GL_INVALID_ENUM);
        return GL_INVALID_ENUM;
    }
    GLint alignment = 4;
    s.es3.GetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    std::vector<unsigned char> level = glroute::packedRows(static_cast<const unsigned char*>(data), width, height,
                                                           components, alignment);
    s.es3.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (GLint number = 1; width > 1 || height > 1; ++number) {
        level = glroute::halved(level, width, height, components);
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
        s.es3.TexImage2D(target, number, glroute::sizedFormat(internalFormat, format), width, height, 0, format,
                         type, level.data());
    }
    s.es3.PixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    return 0;
}

void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels) {
    State& s = state();
    if (format != GL_RGB || type != GL_UNSIGNED_BYTE) {
        s.es3.ReadPixels(x, y, width, height, format, type, pixels);
        return;
    }
    GLint alignment = 4;
    s.es3.GetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glroute::readRgbRows(s, x, y, width, height, alignment, pixels);
}

// Level `level` of the bound 2D texture as RGBA bytes, read through a framebuffer of its own (ES 3
// reads textures only that way); the framebuffer binding is left as it was.
void glGetTexImage(GLenum target, GLint level, GLenum format, GLenum type, void* pixels) {
    State& s = state();
    const GLuint texture = glroute::boundTexture(s, GL_TEXTURE_2D);
    if (target != GL_TEXTURE_2D || format != GL_RGBA || type != GL_UNSIGNED_BYTE || texture == 0) {
        glroute::raise(s, target != GL_TEXTURE_2D || texture == 0 ? GL_INVALID_OPERATION : GL_INVALID_ENUM);
        return;
    }
    const glroute::TextureImage& image = s.textureImages[texture];
    const GLsizei width = std::max(1, image.width >> level), height = std::max(1, image.height >> level);
    GLint previous = 0;
    s.es3.GetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    if (s.readFramebuffer == 0) s.es3.GenFramebuffers(1, &s.readFramebuffer);
    s.es3.BindFramebuffer(GL_FRAMEBUFFER, s.readFramebuffer);
    s.es3.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, level);
    s.es3.ReadPixels(0, 0, width, height, format, type, pixels);
    s.es3.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    s.es3.BindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));
}

// Level 0 of a 2D texture as it was given: ES 3.0 has no such query of its own.
void glGetTexLevelParameteriv(GLenum target, GLint level, GLenum pname, GLint* params) {
    State& s = state();
    const auto found = s.textureImages.find(glroute::boundTexture(s, GL_TEXTURE_2D));
    if (target != GL_TEXTURE_2D || level != 0 || found == s.textureImages.end()) {
        glroute::raise(s, GL_INVALID_OPERATION);
        return;
    }
    if (pname == GL_TEXTURE_WIDTH)
        *params = found->second.width;
    else if (pname == GL_TEXTURE_HEIGHT)
        *params = found->second.height;
    else if (pname == GL_TEXTURE_INTERNAL_FORMAT)
        *params = found->second.internalFormat;
    else
        glroute::raise(s, GL_INVALID_ENUM);
}

} // extern "C"
