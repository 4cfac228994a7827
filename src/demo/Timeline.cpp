#include "demo/Timeline.h"

#include <cmath>

#include <GL/glew.h>

#include "clock/DemoContext.h"
#include "demo/Camera.h"
#include "demo/Content.h"
#include "demo/Metaballs.h"
#include "demo/PostProcess.h"
#include "resources/Resources.h"

Scene sceneAt(float timeSeconds) {
    const double t = timeSeconds;
    if (t < metaballsStartSeconds) return Scene::figure;
    if (t < sequenceStartSeconds) return Scene::metaballs;
    if (t < showEndSeconds) return Scene::sequence;
    return Scene::over;
}

int sequenceRow(float timeSeconds) {
    return static_cast<int>((static_cast<double>(timeSeconds) - sequenceStartSeconds) / sequenceRowSeconds);
}

float flashValue(float pulse, int beatCount) {
    float flash = pulse;
    if (beatCount % 2 != 0) flash = 0;
    if ((beatCount + 1) % 8 == 0) flash = pulse;
    return flash;
}

Vec3 sceneEye(Scene scene, float timeSeconds, float flash, float orbitScale) {
    const double t = timeSeconds;
    Vec3 eye;
    switch (scene) {
    case Scene::figure:
        eye.x = static_cast<float>(8 * std::sin(0.55 * t));
        eye.y = static_cast<float>(7 * std::cos(0.35 * t) + 5);
        eye.z = static_cast<float>(8 * std::cos(0.55 * t));
        break;
    case Scene::metaballs:
        eye.x = static_cast<float>(8 * std::sin(0.85 * t) + 0.3 * flash);
        eye.y = static_cast<float>(5 * std::cos(0.45 * t) + 5);
        eye.z = static_cast<float>(10 * std::cos(0.95 * t));
        break;
    case Scene::sequence: {
        const double s = orbitScale;
        eye.x = static_cast<float>(8 * s * std::sin(0.85 * t));
        eye.y = static_cast<float>(5 * s * std::cos(0.45 * t) + 5);
        eye.z = static_cast<float>(10 * s * std::cos(0.95 * t));
        break;
    }
    case Scene::over:
        break;
    }
    return eye;
}

float glowStrength(Scene scene, float pulse) {
    return scene == Scene::figure ? 0.5f : pulse;
}

float subjectGrowth(float eyeDistance, float nearDistance, float largestGrowth) {
    return std::fmin(std::fmax(eyeDistance / nearDistance, 1.0f), largestGrowth);
}

float grownFigureSize(float size, const Vec3& eye) {
    return size * subjectGrowth(length(eye), figureNearDistance, figureLargestGrowth);
}

float sequenceFigureScale(int row, const Vec3& eye) {
    return grownFigureSize(sequenceFigureSize[row], eye);
}

void placeCamera(const Vec3& eye) {
    sceneCamera.setPosition(eye.x, eye.y, eye.z);
    sceneCamera.setTarget(0, 0, 0);
    sceneCamera.setFov(90);
    sceneCamera.apply();
    glRotatef(-90, 1, 0, 0);
}

void useSceneMaterial(const std::string& material) {
    resources.materials.use(material);
    if (material == "marble") resources.shaders.setUniform3i("uLightPos", 0, 1, 0);
}

namespace {

// The eye of the current model-view matrix (which turns, moves and scales evenly) in model units,
// and the model units one eye unit spans.
void eyeInModel(float eye[3], float& unitsPerEyeUnit) {
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const float scaleSquared = m[0] * m[0] + m[1] * m[1] + m[2] * m[2];
    unitsPerEyeUnit = 1 / std::sqrt(scaleSquared);
    for (int axis = 0; axis < 3; ++axis) {
        const float* column = &m[4 * axis];
        eye[axis] = -(column[0] * m[12] + column[1] * m[13] + column[2] * m[14]) / scaleSquared;
    }
}

} // namespace

// From a point outside a closed surface whose faces turn outward (counter-clockwise seen from
// outside) every line of sight meets a front face before any back face, so its back faces can't
// show: they are culled while the eye stands outside the surface by more than the near plane's
// reach (nearer, the clipping could open it). Inside or passing through, and for a model that is
// not such a surface (load decides, see Model::closedOutward), both sides are drawn.
void drawFigure(const std::string& name) {
    rovena::Model& model = resources.models.get(name);
    float eye[3], unitsPerEyeUnit;
    eyeInModel(eye, unitsPerEyeUnit);
    const bool frontOnly = model.clearOutside(eye, sceneCamera.nearReach() * unitsPerEyeUnit);
    if (frontOnly) glEnable(GL_CULL_FACE);
    model.draw();
    glDisable(GL_CULL_FACE);
}

const std::string& subjectMaterial(Scene scene, float timeSeconds) {
    static const std::string marble = "marble";
    return scene == Scene::sequence ? objectSequence[sequenceRow(timeSeconds)].material : marble;
}

void drawSceneSubject(Scene scene, float timeSeconds, float flash) {
    const std::string& material = subjectMaterial(scene, timeSeconds);
    switch (scene) {
    case Scene::figure:
        placeCamera(sceneEye(scene, timeSeconds, flash, 1));
        useSceneMaterial(material);
        drawFigure("ninja");
        break;
    case Scene::metaballs: {
        const Vec3 eye = sceneEye(scene, timeSeconds, flash, 1);
        placeCamera(eye);
        useSceneMaterial(material);
        drawMetaballs(timeSeconds, subjectGrowth(length(eye), metaballNearDistance, metaballLargestGrowth));
        break;
    }
    case Scene::sequence: {
        const int index = sequenceRow(timeSeconds);
        const ContentRow& row = objectSequence[index];
        const Vec3 eye = sceneEye(scene, timeSeconds, 0, row.scale);
        placeCamera(eye);
        useSceneMaterial(material);
        // The sky after it scales the look-at matrix itself.
        glPushMatrix();
        const float size = sequenceFigureScale(index, eye);
        glScalef(size, size, size);
        drawFigure(row.model);
        glPopMatrix();
        break;
    }
    case Scene::over:
        return;
    }
    resources.materials.unuse();
}

void drawSkyBox(const std::string& subjectMaterial) {
    resources.materials.use("kivikko skybox");
    const SubjectHue& hue = subjectHueOf(subjectMaterial);
    resources.shaders.setUniform3i("uSubjectHue", hue.red, hue.green, hue.blue);
    // The sky reads only its cube's full-size level. Through the 90-degree view a face's texel is
    // about a pixel, so a smaller level would serve only a few pixels where a face's corner passes
    // the middle of the view, and choosing a level for every pixel was a third of the sky's cost
    // in Mesa's software rasteriser. The paints' reflections, which shrink the sky many times
    // over, keep reading the smaller levels of the same cube.
    GLint minFilter = GL_LINEAR;
    glGetTexParameteriv(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, &minFilter);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glScalef(400, 400, 400);
    // The sky is tested against the subject's depth but writes none: nothing is drawn after it.
    glDepthMask(GL_FALSE);
    resources.models.get("pallo").draw();
    glDepthMask(GL_TRUE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, minFilter);
    resources.materials.unuse();
}

namespace {

// The window's pixels around the picture, black: the frame draws only the picture's own.
void clearBars(const FrameView& view) {
    if (view.coversSurface()) return;
    const int right = view.x + view.width, top = view.y + view.height;
    const int bars[4][4] = {{0, 0, view.x, view.surfaceHeight},
                            {right, 0, view.surfaceWidth - right, view.surfaceHeight},
                            {view.x, 0, view.width, view.y},
                            {view.x, top, view.width, view.surfaceHeight - top}};
    // The clear colour is start-up's black.
    glEnable(GL_SCISSOR_TEST);
    for (const auto& bar : bars) {
        if (bar[2] <= 0 || bar[3] <= 0) continue;
        glScissor(bar[0], bar[1], bar[2], bar[3]);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
}

} // namespace

bool renderTimeline(const DemoContext& clock, const FrameView& view, float& beatFlash) {
    const float timeSeconds = clock.time;
    const float pulse = clock.beatPulse();
    const float flash = flashValue(pulse, clock.getBeatCount());

    // The window's viewport is the picture's: each target's scope brings it back.
    glViewport(view.x, view.y, view.width, view.height);
    glLoadIdentity();
    beginFramePhases();
    const Scene scene = sceneAt(timeSeconds);
    {
        rovena::UseScope<rovena::FBOManager> target(resources.fbos, "rt0");
        // Only the depth is cleared: the sky, drawn in every scene, covers every texel of the colour.
        glClear(GL_DEPTH_BUFFER_BIT);
        glColor3f(1, 1, 1);
        glLoadIdentity();
        if (scene == Scene::over) {
            // Back on the window with the viewport as it was, so whoever draws next (an end card,
            // a new show) starts from the state every frame starts from.
            endFramePhases();
            return true;
        }
        drawSceneSubject(scene, timeSeconds, flash);
        reportFramePhase(FramePhase::geometry);
        drawSkyBox(subjectMaterial(scene, timeSeconds));
    }
    reportFramePhase(FramePhase::sky);

    // Glowed in place: the layers add to the scene where it lies, with no copy of it to draw.
    // The blur's offsets are counted in texels of "rt0" (the table's first target): scaled with its
    // size for the view, they reach as far over the picture at any size.
    const TargetSize sceneTarget = renderTargetSize(renderTargets[0], view);
    glow("rt0", "rt0", 4, glowStrength(scene, pulse), white,
         static_cast<float>(sceneTarget.width) / renderTargets[0].width,
         static_cast<float>(sceneTarget.height) / renderTargets[0].height);
    // The window is not cleared: the picture's quad below covers all of it with blending off, and
    // its depth is never read. (Cleared at the start of the frame, it also put the scene into
    // whichever batch the clear had left in Mesa's software rasteriser, which keeps a finished
    // batch's memory until it reuses the batch: a frame or two of earlier triangles, 16 MB each,
    // stayed held beside it.)
    // The picture and the beat's emblem over it, in one full-view quad: the depth test never
    // decided anything there, so it goes without it.
    glDisable(GL_DEPTH_TEST);
    drawPictureWithFlash("rt0", "nyrkki", flash);
    clearBars(view);
    glEnable(GL_DEPTH_TEST);
    reportFramePhase(FramePhase::final);
    beatFlash = flash;
    return false;
}
