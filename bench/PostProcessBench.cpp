// One glow of "rt0" into "rt1" with the demo's 4 layers, on whatever GL the display offers
// (llvmpipe under Xvfb here). Each iteration ends with glFinish so the figure is the whole pass.
// Needs a display: run it under xvfb-run -a.
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

    loadDemoView();
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
}

void ensureReady() {
    static bool ready = (openContextAndTargets(), true);
    (void)ready;
}

void Glow(benchmark::State& state) {
    ensureReady();
    state.SetLabel(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    for (auto _ : state) {
        glow("rt0", "rt1", 4, 0.5f);
        glFinish();
    }
}
BENCHMARK(Glow)->Unit(benchmark::kMillisecond)->UseRealTime();

// The glow's parts: its six blur passes, and one full-screen copy of "rt0" into "rt1".
void GlowBlurOnly(benchmark::State& state) {
    ensureReady();
    for (auto _ : state) {
        blur("rt0", "rt.glow", 6, 0.75f, 0.75f, 0.5f);
        glFinish();
    }
}
BENCHMARK(GlowBlurOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void FullscreenCopy(benchmark::State& state) {
    ensureReady();
    for (auto _ : state) {
        resources.fbos.use("rt1");
        drawFullscreen("rt0", 1.0f);
        resources.fbos.unuse();
        glFinish();
    }
}
BENCHMARK(FullscreenCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
