// The post-processing as the show draws it beside the same passes drawn in full, on whatever GL the
// display offers (llvmpipe under Xvfb here): one glow of "rt0" in place with the demo's 4 layers,
// and the finished picture with the beat's emblem over it on the window. Each iteration ends with
// glFinish so the figure is the whole pass. Needs a display: run it under xvfb-run -a.
#include <benchmark/benchmark.h>

#include <GL/glew.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "demo/Content.h"
#include "demo/PostProcess.h"
#include "resources/Resources.h"
#include "shell/Shell.h"

namespace {

void openContextAndTargets() {
    ShowOptions options = ShowOptions::headless("glow benchmark");
    options.loadShow = false;
    startShow(options);
    createRenderTargets();
    // Something to blur: a ramp in every channel.
    std::vector<unsigned char> pixels(1024 * 512 * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i * 7 / 4);
    glBindTexture(GL_TEXTURE_2D, resources.textures.get("rt0").id);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1024, 512, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    // An emblem of the show's size.
    resources.textures.upload("nyrkki", 512, 512, pixels.data(), GL_RGB8, GL_RGB);

    loadDemoView();
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    // The show's programs built and ready before anything is timed, as start-up leaves them.
    preparePostProcess();
}

void ensureReady() {
    static bool ready = (openContextAndTargets(), true);
    (void)ready;
}

// In place, as the show glows its scene (the picture brightens from one iteration to the next,
// which changes no pass's work).
void Glow(benchmark::State& state) {
    ensureReady();
    state.SetLabel(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    for (auto _ : state) {
        glow("rt0", "rt0", 4, 0.5f);
        glFinish();
    }
}
BENCHMARK(Glow)->Unit(benchmark::kMillisecond)->UseRealTime();

// The glow's passes as they are specified: six blur passes of four quads each, a copy of "rt0" and
// one additive quad per layer.
void GlowPassesInFull(benchmark::State& state) {
    ensureReady();
    for (auto _ : state) {
        blur("rt0", "rt.glow", 6, 0.75f, 0.75f, 0.5f);
        glColor3f(1, 1, 1);
        resources.fbos.use("rt1");
        glDisable(GL_BLEND);
        drawFullscreen("rt0", 1.0f);
        glBlendFunc(GL_ONE, GL_ONE);
        glEnable(GL_BLEND);
        for (int layer = 0; layer < 4; ++layer) drawFullscreen("rt.glow", 1.0f);
        glDisable(GL_BLEND);
        resources.fbos.unuse();
        glFinish();
    }
}
BENCHMARK(GlowPassesInFull)->Unit(benchmark::kMillisecond)->UseRealTime();

// One full-screen copy of "rt0" into "rt1", without the depth test, as the glow draws it.
void FullscreenCopy(benchmark::State& state) {
    ensureReady();
    glDisable(GL_DEPTH_TEST);
    for (auto _ : state) {
        resources.fbos.use("rt1");
        drawFullscreen("rt0", 1.0f);
        resources.fbos.unuse();
        glFinish();
    }
    glEnable(GL_DEPTH_TEST);
}
BENCHMARK(FullscreenCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

// The finished picture on the window with the emblem at half brightness: in one quad as the show
// draws it, and as a copy and an additive quad.
void PictureWithFlash(benchmark::State& state) {
    ensureReady();
    glDisable(GL_DEPTH_TEST);
    for (auto _ : state) {
        drawPictureWithFlash("rt1", "nyrkki", 0.5f);
        glFinish();
    }
    glEnable(GL_DEPTH_TEST);
}
BENCHMARK(PictureWithFlash)->Unit(benchmark::kMillisecond)->UseRealTime();

void PictureThenEmblem(benchmark::State& state) {
    ensureReady();
    glDisable(GL_DEPTH_TEST);
    for (auto _ : state) {
        glDisable(GL_BLEND);
        drawFullscreen("rt1", 1.0f);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        glColor3f(0.5f, 0.5f, 0.5f);
        drawFullscreen("nyrkki", 1.0f);
        glColor3f(1, 1, 1);
        glDisable(GL_BLEND);
        glFinish();
    }
    glEnable(GL_DEPTH_TEST);
}
BENCHMARK(PictureThenEmblem)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
