// The camera and the start-up projections, read back from GL and compared with matrices built
// here from their textbook definitions; and the event pump's mapping of window-system events.
#include <GL/glew.h>
#include <SDL.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "clock/DemoContext.h"
#include "demo/Camera.h"
#include "demo/Timeline.h"
#include "geometry/ModelManager.h"
#include "resources/Resources.h"
#include "platform/Window.h"
#include "shell/Shell.h"
#include "support/CubeModel.h"
#include "support/GLContext.h"

namespace {
using Matrix = std::array<double, 16>; // column-major, as GL stores it

Matrix perspective(double fovDegrees, double aspect, double nearPlane, double farPlane) {
    double f = 1 / std::tan(fovDegrees * M_PI / 360);
    Matrix m{};
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (farPlane + nearPlane) / (nearPlane - farPlane);
    m[11] = -1;
    m[14] = 2 * farPlane * nearPlane / (nearPlane - farPlane);
    return m;
}

Matrix lookAt(const double eye[3], const double target[3]) {
    double f[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (double& c : f) c /= fl;
    // side = f x up with up = (0, 1, 0), then true up = side x f
    double s[3] = {-f[2], 0, f[0]};
    double sl = std::sqrt(s[0] * s[0] + s[2] * s[2]);
    for (double& c : s) c /= sl;
    double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    Matrix m{};
    for (int i = 0; i < 3; ++i) {
        m[4 * i + 0] = s[i];
        m[4 * i + 1] = u[i];
        m[4 * i + 2] = -f[i];
    }
    m[12] = -(s[0] * eye[0] + s[1] * eye[1] + s[2] * eye[2]);
    m[13] = -(u[0] * eye[0] + u[1] * eye[1] + u[2] * eye[2]);
    m[14] = f[0] * eye[0] + f[1] * eye[1] + f[2] * eye[2];
    m[15] = 1;
    return m;
}

void expectMatrix(GLenum which, const Matrix& expected) {
    GLfloat m[16];
    glGetFloatv(which, m);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(m[i], expected[i], 1e-4 * std::max(1.0, std::fabs(expected[i]))) << "element " << i;
}

void expectModelViewSelectedAndStacksEmpty() {
    GLint mode = 0, depth = 0, projectionDepth = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(projectionDepth, 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

using ViewTest = GLTest;
} // namespace

TEST_F(ViewTest, CameraLoadsLookAtAndFixedAspectPerspective) {
    struct Case {
        double eye[3], target[3], fov;
    } cases[] = {
        {{8, 5, 0}, {0, 0, 0}, 90},
        {{-3, 12, 7.5}, {0, 0, 0}, 90},
        {{0.8, 5.0, 1.0}, {1, -2, 3}, 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fov);
        glMatrixMode(GL_MODELVIEW);
        sceneCamera.setPosition(c.eye[0], c.eye[1], c.eye[2]);
        sceneCamera.setTarget(c.target[0], c.target[1], c.target[2]);
        sceneCamera.setFov(c.fov);
        glColorMask(GL_FALSE, GL_TRUE, GL_FALSE, GL_TRUE);
        sceneCamera.apply();
        expectMatrix(GL_MODELVIEW_MATRIX, lookAt(c.eye, c.target));
        expectMatrix(GL_PROJECTION_MATRIX, perspective(c.fov, 4.0 / 3.0, 0.1, 10000));
        GLboolean mask[4];
        glGetBooleanv(GL_COLOR_WRITEMASK, mask);
        EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]);
        expectModelViewSelectedAndStacksEmpty();
    }
}

TEST_F(ViewTest, ResizeViewSetsViewportAndWindowAspectProjection) {
    struct Case {
        int width, height;
    } cases[] = {{800, 600}, {640, 480}, {1024, 400}, {300, 700}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        glMatrixMode(GL_PROJECTION); // resizeView must not depend on the matrix left selected
        resizeView(c.width, c.height);
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], c.width);
        EXPECT_EQ(viewport[3], c.height);
        expectMatrix(GL_PROJECTION_MATRIX, perspective(90, double(c.width) / c.height, 1, 1000));
        expectMatrix(GL_MODELVIEW_MATRIX, Matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
        expectModelViewSelectedAndStacksEmpty();
    }
    // A window shrunk to no height must not fill the projection with infinities.
    resizeView(800, 0);
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    for (float v : m) EXPECT_TRUE(std::isfinite(v));
}

// A figure's inner side shows wherever the eye can see it: from inside, from just outside, where
// the near plane cuts the near wall away, and from anywhere for a figure that is open or turned
// inside out, whose inner side faces the eye from outside. Each draws what drawing both sides
// draws: the nearest surface, at its depth. The cube is white on black; its model Y axis points at
// the eye on the screen's Z (the scene turns models' Z up).
TEST_F(ViewTest, FiguresShowTheirInnerSideWhereverTheEyeCanSeeIt) {
    glViewport(0, 0, 800, 600);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glClearColor(0, 0, 0, 0);
    const struct {
        const char* name;
        CubeShape shape;
    } figures[] = {{"view test cube", CubeShape::closed},
                   {"view test open cube", CubeShape::openAtMinusY},
                   {"view test inward cube", CubeShape::inward}};
    for (const auto& figure : figures) {
        rovena::Model& cube = resources.models.entry(figure.name);
        if (cube.count == 0) {
            appendCube(cube, 0, 0, 0, 1, 1, figure.shape);
            cube.createBuffers();
            cube.measure();
        }
        // Eye distances from the centre: inside, just outside (the near plane's corners reach
        // 0.19), and well outside, where the near wall's outer side is what shows of a closed cube.
        for (float distance : {0.5f, 1.05f, 1.15f, 3.0f}) {
            SCOPED_TRACE(testing::Message() << figure.name << " from " << distance);
            placeCamera({0, 0, distance});
            glColor3f(1, 1, 1);
            float bothSides = 0, drawn = 0;
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            cube.draw();
            glReadPixels(400, 300, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &bothSides);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            drawFigure(figure.name);
            glReadPixels(400, 300, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &drawn);
            unsigned char centre[4] = {};
            glReadPixels(400, 300, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
            EXPECT_EQ(centre[0], 255);
            EXPECT_LT(bothSides, 1.0f);
            EXPECT_EQ(drawn, bothSides);
            EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
        }
    }
    glLoadIdentity();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ViewTest, InitDemoLeavesStartUpStateAndLetterboxedViewport) {
    glViewport(1, 2, 3, 4);
    initDemo();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 800, 600}));
    expectMatrix(GL_PROJECTION_MATRIX, perspective(90, 4.0f / 3.0f, 0.1, 1000));
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[3], 0.5f);
    EXPECT_EQ(demoContext.getBeatCount(), 0);
    expectModelViewSelectedAndStacksEmpty();

    setLetterboxViewport(16, 9);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 75, 800, 450}));
}

namespace {
std::vector<int> keysSeen;
std::vector<std::pair<int, int>> sizesSeen;
int closesSeen = 0;

void pushKey(SDL_Keycode key, Uint32 type = SDL_KEYDOWN, Uint8 repeat = 0) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.sym = key;
    event.key.repeat = repeat;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&event);
}

void pushWindowEvent(Uint8 kind) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = kind;
    SDL_PushEvent(&event);
}

WindowEvents recorder() {
    WindowEvents events;
    events.key = [](int code) { keysSeen.push_back(code); };
    events.resize = [](int w, int h) { sizesSeen.push_back({w, h}); };
    events.close = [] { ++closesSeen; };
    return events;
}
} // namespace

TEST_F(ViewTest, EventPumpMapsKeysWithRepeatsAndIgnoresOthers) {
    pumpEvents(WindowEvents{}); // drop whatever the window system queued
    keysSeen.clear();
    const std::pair<SDL_Keycode, int> table[] = {
        {SDLK_ESCAPE, 27}, {SDLK_SPACE, 32}, {SDLK_PAGEUP, 33}, {SDLK_PAGEDOWN, 34}, {SDLK_LEFT, 37},
        {SDLK_UP, 38},     {SDLK_RIGHT, 39}, {SDLK_DOWN, 40},   {SDLK_p, 80},        {SDLK_F11, 122},
    };
    std::vector<int> expected;
    for (auto [key, code] : table) {
        pushKey(key);
        expected.push_back(code);
    }
    // A held arrow repeats; releases and keys outside the table say nothing.
    pushKey(SDLK_RIGHT, SDL_KEYDOWN, 1);
    pushKey(SDLK_RIGHT, SDL_KEYDOWN, 1);
    expected.insert(expected.end(), {39, 39});
    pushKey(SDLK_RIGHT, SDL_KEYUP);
    pushKey(SDLK_a);
    pushKey(SDLK_RETURN);
    pushKey(SDLK_F10);
    EXPECT_FALSE(pumpEvents(recorder()));
    EXPECT_EQ(keysSeen, expected);
}

TEST_F(ViewTest, EventPumpReportsResizesCloseAndQuitButNotMinimise) {
    pumpEvents(WindowEvents{});
    sizesSeen.clear();
    closesSeen = 0;
    int width = 0, height = 0;
    windowDrawableSize(width, height);

    pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    EXPECT_FALSE(pumpEvents(recorder()));
    EXPECT_TRUE(sizesSeen.empty());

    pushWindowEvent(SDL_WINDOWEVENT_RESTORED);
    pushWindowEvent(SDL_WINDOWEVENT_MAXIMIZED);
    EXPECT_FALSE(pumpEvents(recorder()));
    ASSERT_EQ(sizesSeen.size(), 2u);
    EXPECT_EQ(sizesSeen[0], std::make_pair(width, height));

    pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    EXPECT_FALSE(pumpEvents(recorder()));
    EXPECT_EQ(closesSeen, 1);

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    pushKey(SDLK_SPACE); // events after the quit request are still handled in this round
    keysSeen.clear();
    EXPECT_TRUE(pumpEvents(recorder()));
    EXPECT_EQ(keysSeen, std::vector<int>{32});
}
