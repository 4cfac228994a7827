#pragma once
// Render targets: framebuffer objects drawing into a named texture, with one depth renderbuffer
// shared by all targets of the same power-of-two size. use() binds a target and pushes the
// viewport (GL_VIEWPORT_BIT); unuse() returns to the window and pops it.
#include <map>
#include <string>

#include "base/Manager.h"

namespace rovena {

class TextureManager;

struct FBO {
    int framebuffer = -1; // GL framebuffer object; -1 when there is none
    int texWidth = 1;     // power-of-two size of the colour texture's image, texels
    int texHeight = 1;
    int width = 1; // viewport while bound, texels
    int height = 1;
    unsigned int texture = 0; // colour texture at GL_COLOR_ATTACHMENT0_EXT

    void generate();
    void release();
    // Attaches the texture registered under the name and the depth buffer of its image size from
    // `depthBuffers` (made when there is none yet); copies the texture's sizes. A reserved texture
    // gets its image first. Fatal for an unknown texture or an incomplete target.
    void attach(TextureManager& textures, std::map<int, unsigned int>& depthBuffers,
                const std::string& textureName, unsigned int attachment, unsigned int textureTarget);
    void bind();
    void unbind();
};

class FBOManager : public UseManager<FBO> {
public:
    std::string typeName() const override { return "FBO"; }
    void bind(const std::string& name) override;
    void unbind() override;

    // Registers a copy; a target already under the name has its framebuffer object deleted first.
    void add(const std::string& name, const FBO& record);

    // Deletes the depth renderbuffers of sizes no registered target has (targets made again at
    // other sizes leave theirs behind).
    void releaseUnusedDepthBuffers();

    // Depth renderbuffers by size key (texWidth << 16) + texHeight, shared by the targets of that
    // size; deleted only by releaseUnusedDepthBuffers.
    std::map<int, unsigned int> depthBuffers;
};

} // namespace rovena
