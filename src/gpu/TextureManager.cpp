#include "gpu/TextureManager.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "image/Image.h"
#include "base/FindFile.h"
#include "base/FatalError.h"

namespace {

// n itself for 0 and powers of two, else the next power of two above it.
int roundUpToPowerOfTwo(int n) {
    unsigned int value = static_cast<unsigned int>(n);
    if ((value & (value - 1)) == 0) return n;
    int bits = 0;
    while (value >> bits) ++bits;
    return 1 << bits;
}

bool isMipmapFilter(int filter) {
    return filter == GL_NEAREST_MIPMAP_NEAREST || filter == GL_LINEAR_MIPMAP_NEAREST ||
           filter == GL_NEAREST_MIPMAP_LINEAR || filter == GL_LINEAR_MIPMAP_LINEAR;
}

// The largest side GL takes for an image at `imageTarget` (a cube face has its own limit).
int largestTextureSide(int imageTarget) {
    GLint largest = 0;
    glGetIntegerv(imageTarget == GL_TEXTURE_2D ? GL_MAX_TEXTURE_SIZE : GL_MAX_CUBE_MAP_TEXTURE_SIZE,
                  &largest);
    return largest;
}

// The largest power of two not above n (n >= 1): the largest picture side that pads within n.
int powerOfTwoAtMost(int n) {
    int side = 1;
    while (side <= n / 2) side *= 2;
    return side;
}

// Bytes per texel of GL_UNSIGNED_BYTE data in the given format; 0 for formats the engine doesn't send.
int bytesPerTexel(int format) {
    switch (format) {
    case GL_ALPHA:
    case GL_LUMINANCE:
    case GL_RED:
        return 1;
    case GL_LUMINANCE_ALPHA:
        return 2;
    case GL_RGB:
    case GL_BGR:
        return 3;
    case GL_RGBA:
    case GL_BGRA:
        return 4;
    default:
        return 0;
    }
}

} // namespace

namespace rovena {

void TextureManager::setFilter(int min, int mag) {
    minFilter = min;
    magFilter = mag;
}

void TextureManager::setWrap(int s, int t, int r) {
    wrapS = s;
    wrapT = t;
    wrapR = r;
}

void TextureManager::setTarget(int target) {
    bindTarget = target;
    imageTarget = target;
}

void TextureManager::setImageTarget(int target) {
    imageTarget = target;
}

// Beyond the limit glTexImage2D only raises GL_INVALID_VALUE, which would surface later without a
// name.
void TextureManager::checkFits(const std::string& name, int width, int height) const {
    int largest = largestTextureSide(imageTarget);
    if (roundUpToPowerOfTwo(width) > largest || roundUpToPowerOfTwo(height) > largest)
        fatalError("Texture '%s' of %d x %d texels is %d x %d padded to powers of two; this GL takes at most "
                   "%d a side.",
                   name.c_str(), width, height, roundUpToPowerOfTwo(width), roundUpToPowerOfTwo(height),
                   largest);
}

void TextureManager::reserve(const std::string& name, int width, int height, int internalFormat, int format) {
    // Only 2D textures are owed; others get their image at once.
    if (bindTarget != GL_TEXTURE_2D || imageTarget != GL_TEXTURE_2D)
        return upload(name, width, height, nullptr, internalFormat, format);
    checkFits(name, width, height);
    upload(name, 1, 1, nullptr, internalFormat, format);
    const unsigned char cleared[4] = {0, 0, 0, 0};
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1, 1, format, GL_UNSIGNED_BYTE, cleared);
    Texture& texture = get(name);
    texture.texWidth = roundUpToPowerOfTwo(width);
    texture.texHeight = roundUpToPowerOfTwo(height);
    texture.width = width;
    texture.height = height;
    owedImages[name] = {internalFormat, format};
}

void TextureManager::provideImage(const std::string& name) {
    auto owed = owedImages.find(name);
    if (owed == owedImages.end()) return;
    const Texture& texture = get(name);
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, texture.id);
    glTexImage2D(GL_TEXTURE_2D, 0, owed->second.internalFormat, texture.texWidth, texture.texHeight, 0,
                 owed->second.format, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, previous);
    owedImages.erase(owed);
}

void TextureManager::upload(const std::string& name, int width, int height, const void* pixels,
                            int internalFormat, int format) {
    checkFits(name, width, height);
    specify(name, width, height, roundUpToPowerOfTwo(width), roundUpToPowerOfTwo(height), pixels,
            internalFormat, format);
}

void TextureManager::uploadTarget(const std::string& name, int width, int height, int internalFormat,
                                  int format) {
    const int largest = largestTextureSide(imageTarget);
    if (width > largest || height > largest)
        fatalError("Render texture '%s' of %d x %d texels is larger than this GL takes: at most %d a side.",
                   name.c_str(), width, height, largest);
    specify(name, width, height, width, height, nullptr, internalFormat, format);
}

void TextureManager::specify(const std::string& name, int width, int height, int imageWidth, int imageHeight,
                             const void* pixels, int internalFormat, int format) {
    owedImages.erase(name);
    if (!has(name)) {
        GLuint id = 0;
        glGenTextures(1, &id);
        entry(name).id = id;
    }
    Texture& texture = get(name);
    texture.texWidth = imageWidth;
    texture.texHeight = imageHeight;
    texture.width = width;
    texture.height = height;

    // GL reads texWidth x texHeight texels; a smaller picture goes into the corner of a cleared
    // image of that size, so its texel (0, 0) stays at the texture's and nothing is read past it.
    std::vector<unsigned char> padded;
    if (pixels && (width != texture.texWidth || height != texture.texHeight)) {
        int texelBytes = bytesPerTexel(format);
        if (texelBytes == 0)
            fatalError("Cannot pad texture '%s' to %dx%d: unknown pixel format 0x%04x.", name.c_str(),
                       texture.texWidth, texture.texHeight, format);
        size_t sourceRow = static_cast<size_t>(width) * texelBytes;
        size_t paddedRow = static_cast<size_t>(texture.texWidth) * texelBytes;
        padded.assign(paddedRow * texture.texHeight, 0);
        for (int y = 0; y < height; ++y)
            memcpy(padded.data() + y * paddedRow, static_cast<const unsigned char*>(pixels) + y * sourceRow,
                   sourceRow);
        pixels = padded.data();
    }

    glBindTexture(bindTarget, texture.id);
    int chosenMin = minFilter;
    int chosenMag = magFilter;
    if (!pixels) {
        // An empty texture can't have mipmaps built from it.
        if (chosenMin != GL_NEAREST && chosenMin != GL_LINEAR) chosenMin = GL_LINEAR;
        if (chosenMag != GL_NEAREST && chosenMag != GL_LINEAR) chosenMag = GL_LINEAR;
    }
    glTexParameteri(bindTarget, GL_TEXTURE_MIN_FILTER, chosenMin);
    glTexParameteri(bindTarget, GL_TEXTURE_MAG_FILTER, chosenMag);
    glTexParameteri(bindTarget, GL_TEXTURE_WRAP_S, wrapS);
    glTexParameteri(bindTarget, GL_TEXTURE_WRAP_T, wrapT);
    if (wrapR != -1) glTexParameteri(bindTarget, GL_TEXTURE_WRAP_R, wrapR);

    // Picture rows are tightly packed; GL's default of 4-byte rows would misread RGB and
    // luminance-alpha pictures narrower than four texels.
    GLint previousAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(imageTarget, 0, internalFormat, texture.texWidth, texture.texHeight, 0, format,
                 GL_UNSIGNED_BYTE, pixels);
    if (isMipmapFilter(chosenMin))
        gluBuild2DMipmaps(imageTarget, internalFormat, texture.texWidth, texture.texHeight, format,
                          GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
}

void TextureManager::loadFile(const std::string& name, const std::string& fileName, int internalFormat,
                              int format) {
    std::string path = findFile("data", fileName, "png", "jpg");
    // Sides are padded up to powers of two, so a picture fits when that padding stays within GL's
    // limit; a larger one is refused from its header, before any pixels are read.
    int largest = largestTextureSide(imageTarget);
    int sideLimit = powerOfTwoAtMost(largest);
    Image image = {};
    if (load_image(path.c_str(), &image, true, sideLimit) != 0) {
        if (image.width > sideLimit || image.height > sideLimit)
            fatalError("Picture '%s' is %d x %d pixels; padded to powers of two it must fit the %d x %d "
                       "texels this GL takes.",
                       path.c_str(), image.width, image.height, largest, largest);
        fatalError("Could not read picture '%s'.", path.c_str());
    }

    const char* problem = nullptr;
    if (image.rowBytes != image.width * image.channels) problem = "its samples are not 8 bits wide";
    static const int internalByChannels[] = {GL_ALPHA8, GL_LUMINANCE8_ALPHA8, GL_RGB8, GL_RGBA8};
    static const int formatByChannels[] = {GL_ALPHA, GL_LUMINANCE_ALPHA, GL_RGB, GL_RGBA};
    bool knownLayout = image.channels >= 1 && image.channels <= 4;
    if (!problem && (internalFormat == -1 || format == -1) && !knownLayout)
        problem = "textures take 1 to 4 channels";
    if (!problem && internalFormat == -1) internalFormat = internalByChannels[image.channels - 1];
    if (!problem && format == -1) format = formatByChannels[image.channels - 1];
    if (!problem && bytesPerTexel(format) != image.channels)
        problem = "the pixel format takes another channel count";
    // GL takes a cube map's faces only square and of one size; any other face would be refused
    // with nothing but a GL error, leaving the sky black. The first face sets the size.
    char cubeProblem[160];
    if (!problem && imageTarget != GL_TEXTURE_2D) {
        if (image.width != image.height) {
            snprintf(cubeProblem, sizeof cubeProblem,
                     "it is %d x %d pixels, and a cube map's faces must be square", image.width,
                     image.height);
            problem = cubeProblem;
        } else if (imageTarget != GL_TEXTURE_CUBE_MAP_POSITIVE_X &&
                   (image.width != get(name).width || image.height != get(name).height)) {
            snprintf(
                cubeProblem, sizeof cubeProblem,
                "it is %d x %d pixels, and a cube map's faces must all be the size of the first, %d x %d",
                image.width, image.height, get(name).width, get(name).height);
            problem = cubeProblem;
        }
    }
    if (problem) {
        int channels = image.channels;
        delete[] image.pixels;
        fatalError("Cannot use picture '%s' (%d channels) as a texture: %s.", path.c_str(), channels,
                   problem);
    }

    try {
        upload(name, image.width, image.height, image.pixels, internalFormat, format);
    } catch (const std::bad_alloc&) {
        delete[] image.pixels;
        fatalError("Not enough memory to make picture '%s' (%d x %d pixels) a texture.", path.c_str(),
                   image.width, image.height);
    }
    delete[] image.pixels;
}

void TextureManager::load2D(const std::string& name, int internalFormat, int format) {
    loadFile(name, name, internalFormat, format);
}

void TextureManager::loadCube(const std::string& name, int internalFormat, int format) {
    static const int faceTargets[6] = {GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_TEXTURE_CUBE_MAP_NEGATIVE_X,
                                       GL_TEXTURE_CUBE_MAP_POSITIVE_Y, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y,
                                       GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z};
    // Filtered across the seams between the faces, as GL ES always filters a cube map: the desktop
    // and the browser then sample the same sky.
    if (GLEW_ARB_seamless_cube_map) glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    setTarget(GL_TEXTURE_CUBE_MAP);
    for (int face = 0; face < 6; ++face) {
        setImageTarget(faceTargets[face]);
        loadFile(name, name + "_c0" + static_cast<char>('0' + face), internalFormat, format);
    }
    setTarget(GL_TEXTURE_2D);
}

} // namespace rovena
