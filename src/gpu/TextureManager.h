#pragma once
// Every GL texture object of the program, by name: pictures from data/, cube maps from six face
// files, and empty render textures. Holds the filter, wrap and target state that each later
// upload gets. Textures are never deleted; users bind `id` themselves.
#include <map>
#include <string>

#include "base/Manager.h"

namespace rovena {

struct Texture {
    int texWidth = 1;    // GL image width: `width` rounded up to a power of two (a target's: `width`), texels
    int texHeight = 1;   // GL image height, likewise
    int width = 1;       // width of the picture or area in use, texels
    int height = 1;      // height of the picture or area in use, texels
    unsigned int id = 0; // GL texture name
};

class TextureManager : public Manager<Texture> {
public:
    std::string typeName() const override { return "texture"; }

    void setFilter(int min, int mag);
    void setWrap(int s, int t, int r); // -1 for r leaves the R mode alone
    void setTarget(int target);        // both bindTarget and imageTarget
    void setImageTarget(int target);

    // Creates or refills a texture; null pixels make an empty texture (never mipmapped). Pixels are
    // width x height tightly packed rows, bottom row first; sides that aren't powers of two are
    // padded into the texWidth x texHeight image. Leaves the texture bound to bindTarget on the
    // active unit. Padded sides beyond GL's largest texture are fatal and name the texture.
    void upload(const std::string& name, int width, int height, const void* pixels, int internalFormat,
                int format);
    // An empty texture of exactly width x height texels, for a render target, which draws every texel
    // of it: its sides are not padded to powers of two (those that are give what upload gives).
    // Sides beyond GL's largest texture are fatal and name the texture.
    void uploadTarget(const std::string& name, int width, int height, int internalFormat, int format);
    // An empty 2D texture of width x height whose image is owed: until provideImage, GL holds one
    // cleared texel, which samples as the cleared image would. For textures that may never be
    // drawn into, so they cost no memory until they are. An upload settles what is owed.
    void reserve(const std::string& name, int width, int height, int internalFormat, int format);
    // Gives a reserved texture its texWidth x texHeight image (contents undefined, as an empty
    // upload's); nothing for any other texture. Leaves the texture bindings as they were.
    void provideImage(const std::string& name);
    // Formats of -1 are chosen from the picture's channel count: 1 alpha, 2 luminance-alpha,
    // 3 RGB, 4 RGBA. A missing file, an unreadable picture or a layout the upload can't take
    // (samples other than 8 bits, other channel counts, sides that pad beyond GL's largest texture)
    // is fatal and names the file.
    void loadFile(const std::string& name, const std::string& fileName, int internalFormat, int format);
    void load2D(const std::string& name, int internalFormat, int format);
    void loadCube(const std::string& name, int internalFormat, int format);

    int wrapS = 0x2901;       // GL_REPEAT
    int wrapT = 0x2901;       // GL_REPEAT
    int wrapR = 0x2901;       // GL_REPEAT
    int minFilter = 0x2601;   // GL_LINEAR
    int magFilter = 0x2601;   // GL_LINEAR
    int bindTarget = 0x0DE1;  // GL_TEXTURE_2D: glBindTexture, glTexParameteri
    int imageTarget = 0x0DE1; // GL_TEXTURE_2D: glTexImage2D, gluBuild2DMipmaps

private:
    void checkFits(const std::string& name, int width, int height) const;
    // Creates or refills the texture with an imageWidth x imageHeight image, the picture of width x
    // height in its corner.
    void specify(const std::string& name, int width, int height, int imageWidth, int imageHeight,
                 const void* pixels, int internalFormat, int format);

    struct OwedImage {
        int internalFormat, format;
    };
    std::map<std::string, OwedImage> owedImages;
};

} // namespace rovena
