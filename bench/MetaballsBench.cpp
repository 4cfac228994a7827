// One frame of the metaball surface at several demo times of its scene (20.5 s to 30.4 s), beside a
// scan of the whole 40^3 grid with the same field and table. CPU only: the GL submission of the
// triangles is not part of either figure.
#include <benchmark/benchmark.h>

#include <chrono>

#include "demo/Metaballs.h"
#include "demo/Random.h"

namespace {

GrowArray<Ball> sixBalls() {
    GrowArray<Ball> list(16);
    MetaballGrid scratch;
    restartRandom();
    // resetBalls prints its six lines; one run of them is expected in the output.
    resetBalls(list, scratch);
    return list;
}

void reportSurface(benchmark::State& state, const MetaballGrid& grid) {
    state.counters["cells"] = static_cast<double>(grid.cellEnds.size());
    state.counters["points"] = grid.pointsEvaluated;
    state.counters["triangles"] = static_cast<double>(grid.vertices.size() / 3);
}

template <class Build> double secondsPerRun(Build build, int runs) {
    auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < runs; ++r) build();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / runs;
}

// Argument: demo time in milliseconds.
// Demo times of the metaball scene, milliseconds: its start, middle and end.
void showTimes(benchmark::internal::Benchmark* benchmark) {
    for (int ms : {20500, 23000, 25500, 28000, 30400}) benchmark->Arg(ms);
}

void MetaballFrame(benchmark::State& state) {
    GrowArray<Ball> list = sixBalls();
    MetaballGrid grid;
    const float p = static_cast<float>(state.range(0)) * 0.001f * 0.5f;
    for (auto _ : state) {
        grid.buildFrame(list, p);
        benchmark::DoNotOptimize(grid.vertices.data());
    }
    reportSurface(state, grid);
    // The same two builds timed back to back, so their ratio is not skewed by other load.
    double crawl = secondsPerRun([&] { grid.buildFrame(list, p); }, 200);
    double scan = secondsPerRun([&] { grid.scanWholeGrid(list); }, 20);
    state.counters["scan/crawl"] = scan / crawl;
}
BENCHMARK(MetaballFrame)->Apply(showTimes)->Unit(benchmark::kMicrosecond);

void MetaballFullScan(benchmark::State& state) {
    GrowArray<Ball> list = sixBalls();
    MetaballGrid grid;
    moveBalls(list, static_cast<float>(state.range(0)) * 0.001f * 0.5f);
    for (auto _ : state) {
        grid.scanWholeGrid(list);
        benchmark::DoNotOptimize(grid.vertices.data());
    }
    reportSurface(state, grid);
}
BENCHMARK(MetaballFullScan)->Apply(showTimes)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
