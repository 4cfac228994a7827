#include "gpu/FBOManager.h"

#include <GL/glew.h>

#include "gpu/TextureManager.h"
#include "base/FatalError.h"

namespace rovena {

void FBO::generate() {
    GLuint name = 0;
    glGenFramebuffersEXT(1, &name);
    framebuffer = static_cast<int>(name);
}

void FBO::release() {
    GLuint name = static_cast<GLuint>(framebuffer);
    glDeleteFramebuffersEXT(1, &name);
    framebuffer = -1;
}

void FBO::attach(TextureManager& textures, std::map<int, unsigned int>& depthBuffers,
                 const std::string& textureName, unsigned int attachment, unsigned int textureTarget) {
    textures.provideImage(textureName);
    const Texture& colour = textures.get(textureName);
    texWidth = colour.texWidth;
    texHeight = colour.texHeight;
    width = colour.width;
    height = colour.height;
    texture = colour.id;

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, attachment, textureTarget, texture, 0);
    // The depth buffer matches the whole power-of-two image, not just the part in use.
    int key = (texWidth << 16) + texHeight;
    auto found = depthBuffers.find(key);
    if (found == depthBuffers.end()) {
        GLuint depth = 0;
        glGenRenderbuffersEXT(1, &depth);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT16, texWidth, texHeight);
        found = depthBuffers.emplace(key, depth).first;
    }
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                 found->second);
    GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    // Drawing into an incomplete target would silently do nothing, so it stops here instead.
    if (status != GL_FRAMEBUFFER_COMPLETE_EXT)
        fatalError("Render target on texture '%s' (%dx%d) is incomplete: status 0x%04x.", textureName.c_str(),
                   texWidth, texHeight, status);
}

void FBO::bind() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glPushAttrib(GL_VIEWPORT_BIT);
    glViewport(0, 0, width, height);
}

void FBO::unbind() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glPopAttrib();
}

void FBOManager::bind(const std::string& name) {
    get(name).bind();
}

void FBOManager::unbind() {
    get(current).unbind();
}

void FBOManager::add(const std::string& name, const FBO& record) {
    if (has(name)) get(name).release();
    entry(name) = record;
}

void FBOManager::releaseUnusedDepthBuffers() {
    for (auto buffer = depthBuffers.begin(); buffer != depthBuffers.end();) {
        bool used = false;
        for (const auto& [name, target] : entries)
            used = used || (target.texWidth << 16) + target.texHeight == buffer->first;
        if (used) {
            ++buffer;
            continue;
        }
        GLuint depth = buffer->second;
        glDeleteRenderbuffersEXT(1, &depth);
        buffer = depthBuffers.erase(buffer);
    }
}

} // namespace rovena
