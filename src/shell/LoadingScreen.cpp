#include "shell/LoadingScreen.h"

#include <cmath>

#include <GL/glew.h>

#include "demo/Random.h"
#include "gpu/PassState.h"
#include "gpu/TexturedQuad.h"
#include "platform/Window.h"
#include "resources/Resources.h"

void loadingTint(float randomValue, float rgb[3]) {
    // Each angle, sine and component is rounded to single precision, step by step.
    const float angles[3] = {3 * randomValue, 4 * randomValue, 5 * randomValue};
    for (int i = 0; i < 3; ++i) {
        const float sine = std::sin(angles[i]);
        rgb[i] = (sine + 1) * 0.5f;
    }
}

void showLoadingScreen() {
    const float randomValue = static_cast<float>(nextRandom());
    {
        // The tint, the blending and the depth test are this screen's alone: what loads behind it
        // (and the passes readied after it) start from the state they found.
        PassScope pass;
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glColor3f(1, 1, 1);
        glDisable(GL_DEPTH_TEST);
        drawTexturedQuad("loading", 1.0f);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        float tint[3];
        loadingTint(randomValue, tint);
        glColor3f(tint[0], tint[1], tint[2]);
        drawTexturedQuad("loading", 1.02f);
        glFlush();
    }
    swapWindow();
}

void drawTexturedQuad(const char* textureName, float scale) {
    const rovena::Texture& texture = resources.textures.get(textureName);
    // The quad is square and sized by the picture's share of the allocated width; t runs over the
    // allocated height's share of that width.
    const float r = static_cast<float>(texture.width) / static_cast<float>(texture.texWidth);
    const float q = static_cast<float>(texture.texHeight) / static_cast<float>(texture.texWidth);
    const float edge = 2 * r - 1;
    drawTexturedQuad(texture.id, {-1, -1, edge, edge, 1, q}, scale);
}
