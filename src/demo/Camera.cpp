#include "demo/Camera.h"

#include <cmath>

#include <GL/glew.h>
#include <GL/glu.h>

Camera sceneCamera;

namespace {
constexpr float windowWidth = 800;  // pixels
constexpr float windowHeight = 600; // pixels
constexpr float aspect = 4.0f / 3.0f;
constexpr float nearPlane = 0.1f;
} // namespace

void Camera::setPosition(float x, float y, float z) {
    eye[0] = x;
    eye[1] = y;
    eye[2] = z;
}

void Camera::setTarget(float x, float y, float z) {
    target[0] = x;
    target[1] = y;
    target[2] = z;
}

void Camera::setFov(float degrees) {
    fov = degrees;
}

void Camera::apply() {
    glLoadIdentity();
    gluLookAt(eye[0], eye[1], eye[2], target[0], target[1], target[2], 0, 1, 0);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    // The projection is rebuilt from identity, so the look-at matrix waits on the model-view stack.
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fov, aspect, nearPlane, 10000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPopMatrix();
}

float Camera::nearReach() const {
    const float halfHeight = std::tan(fov * 0.5f * 3.14159265f / 180.0f);
    return nearPlane * std::sqrt(1 + halfHeight * halfHeight * (1 + aspect * aspect));
}

Viewport letterboxViewport(float aspectWidth, float aspectHeight) {
    float ratio = aspectWidth / aspectHeight;
    float width, height;
    if (ratio >= 1) {
        width = windowWidth;
        height = windowWidth / ratio;
    } else {
        height = windowHeight;
        width = windowHeight * ratio;
    }
    Viewport view;
    view.x = static_cast<int>((windowWidth - width) * 0.5f);
    view.y = static_cast<int>((windowHeight - height) * 0.5f);
    view.width = static_cast<int>(width);
    view.height = static_cast<int>(height);
    return view;
}

void setLetterboxViewport(float aspectWidth, float aspectHeight) {
    Viewport view = letterboxViewport(aspectWidth, aspectHeight);
    glViewport(view.x, view.y, view.width, view.height);
}
