#include "demo/PostProcess.h"

#include <GL/glew.h>

#include "resources/Resources.h"

namespace {

// One quad over the whole W x H ortho view, sampling the input shifted by (ox, oy) in texture space.
void shiftedQuad(float width, float height, float ox, float oy) {
    glTexCoord2f(ox, oy);
    glVertex2f(0, 0);
    glTexCoord2f(1 + ox, oy);
    glVertex2f(width, 0);
    glTexCoord2f(1 + ox, 1 + oy);
    glVertex2f(width, height);
    glTexCoord2f(ox, 1 + oy);
    glVertex2f(0, height);
}

} // namespace

void drawFullscreen(const std::string& name, float scale) {
    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0, 0, -1);
    glScalef(scale, scale, 1);
    glBindTexture(GL_TEXTURE_2D, resources.textures.get(name).id);
    glEnable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1.33334f, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1.33334f, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1.33334f, 1);
    glTexCoord2f(0, 1);
    glVertex2f(-1.33334f, 1);
    glEnd();
    glPopMatrix();
    glPopAttrib();
}

void blur(const std::string& source, const std::string& destination, int passes, float verticalOffset,
          float horizontalOffset, float strength) {
    const rovena::Texture& input = resources.textures.get(source);
    const float width = static_cast<float>(input.texWidth);
    const float height = static_cast<float>(input.texHeight);

    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    // Clears whatever is bound at the call; in the demo that is the window, which is redrawn later.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, input.id);
    glEnable(GL_TEXTURE_2D);

    std::string other = source;
    glBlendColorEXT(1, 1, 1, strength * 0.25f);

    resources.fbos.use(destination);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    resources.fbos.unuse();

    for (int pass = 0; pass < passes; ++pass) {
        if (pass % 2 == 0) {
            resources.fbos.use(destination);
            glBindTexture(GL_TEXTURE_2D, resources.textures.get(other).id);
        } else {
            resources.fbos.use(other);
            glBindTexture(GL_TEXTURE_2D, resources.textures.get(destination).id);
        }
        float dx = horizontalOffset / width;
        float dy = verticalOffset / height;

        // The first quad replaces the target's contents, the other three add to them.
        glBlendFunc(GL_CONSTANT_ALPHA, GL_ZERO);
        glBegin(GL_QUADS);
        shiftedQuad(width, height, dx, dy);
        glEnd();
        glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE);
        glBegin(GL_QUADS);
        shiftedQuad(width, height, -dx, -dy);
        shiftedQuad(width, height, dx, -dy);
        shiftedQuad(width, height, -dx, dy);
        glEnd();

        verticalOffset *= 1.5f;
        horizontalOffset *= 1.5f;
        resources.fbos.unuse();
        if (pass == 0) other = "rt.blur";
    }

    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

void glow(const std::string& source, const std::string& destination, int layers, float strength) {
    glDisable(GL_DEPTH_TEST);
    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    // Runs with the caller's colour, before it turns white.
    blur(source, "rt.glow", 6, 0.75f, 0.75f, strength);
    glColor3f(1, 1, 1);

    resources.fbos.use(destination);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_BLEND);
    drawFullscreen(source, 1.0f);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    for (int layer = 0; layer < layers; ++layer) drawFullscreen("rt.glow", 1.0f);

    // This pop takes the viewport entry fbos.use pushed, and the pop inside fbos.unuse takes the
    // lighting entry pushed above: both states come back and the attribute stack is as it was.
    glDisable(GL_BLEND);
    glPopAttrib();
    glEnable(GL_DEPTH_TEST);
    resources.fbos.unuse();
}
