// One frame of the metaball surface at several demo times of its scene (20.5 s to 30.4 s), beside a
// scan of the whole 40^3 grid with the same field and table. CPU only: the GL submission of the
// triangles is not part of either figure.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <vector>

#include "demo/Metaballs.h"
#include "demo/Random.h"

namespace {

const int gridSize = MetaballGrid::size;

// The show's six balls. resetBalls prints its six lines once.
const GrowArray<Ball>& showBalls() {
    static const GrowArray<Ball> list = [] {
        GrowArray<Ball> six(16);
        MetaballGrid scratch;
        restartRandom();
        resetBalls(six, scratch);
        return six;
    }();
    return list;
}

// Demo times of the metaball scene, milliseconds: its start, middle and end.
void showTimes(benchmark::internal::Benchmark* benchmark) {
    for (int ms : {20500, 23000, 25500, 28000, 30400}) benchmark->Arg(ms);
}

float timeParameter(const benchmark::State& state) {
    return static_cast<float>(state.range(0)) * 0.001f * 0.5f;
}

void reportSurface(benchmark::State& state, const MetaballSurface& surface, int points) {
    state.counters["cells"] = static_cast<double>(surface.cellEnds.size());
    state.counters["points"] = points;
    state.counters["triangles"] = static_cast<double>(surface.vertices.size() / 3);
}

void MetaballFrame(benchmark::State& state) {
    GrowArray<Ball> list = showBalls();
    MetaballGrid grid;
    for (auto _ : state)
        benchmark::DoNotOptimize(grid.buildFrame(list, timeParameter(state)).vertices.data());
    const MetaballSurface& surface = grid.buildFrame(list, timeParameter(state));
    int points = 0;
    for (int point = 0; point < MetaballGrid::pointCount; ++point) points += grid.evaluatedForCell(point);
    reportSurface(state, surface, points);
}
BENCHMARK(MetaballFrame)->Apply(showTimes)->Unit(benchmark::kMicrosecond);

// What the crawl saves: every point evaluated once, then every cell polygonised.
class WholeGridScan {
public:
    const MetaballSurface& scan(const GrowArray<Ball>& list) {
        for (int k = 0; k < gridSize; ++k)
            for (int j = 0; j < gridSize; ++j)
                for (int i = 0; i < gridSize; ++i) {
                    const float position[3] = {gridCoordinate(i), gridCoordinate(j), gridCoordinate(k)};
                    const int point = i + gridSize * (j + gridSize * k);
                    values[point] = evaluateField(list, position, normals[point].data());
                }
        surface.vertices.clear();
        surface.cellEnds.clear();
        for (int k = 0; k + 1 < gridSize; ++k)
            for (int j = 0; j + 1 < gridSize; ++j)
                for (int i = 0; i + 1 < gridSize; ++i) {
                    MetaballCell cell;
                    placeCellCorners(i, j, k, cell.position);
                    const int lowest = i + gridSize * (j + gridSize * k);
                    for (int c = 0; c < 8; ++c) {
                        const int point =
                            lowest + (c & 1) + gridSize * (c >> 1 & 1) + gridSize * gridSize * (c >> 2);
                        std::copy(normals[point].begin(), normals[point].end(), cell.normal[c]);
                        cell.value[c] = values[point];
                    }
                    const int cubeCase = cornerCase(cell.value);
                    if (cubeCase == 0 || cubeCase == 255) continue;
                    polygonizeCell(cell, surface.vertices);
                    surface.cellEnds.push_back(static_cast<int>(surface.vertices.size()));
                }
        return surface;
    }

private:
    std::vector<float> values = std::vector<float>(MetaballGrid::pointCount);
    std::vector<std::array<float, 3>> normals = std::vector<std::array<float, 3>>(MetaballGrid::pointCount);
    MetaballSurface surface;
};

void MetaballFullScan(benchmark::State& state) {
    GrowArray<Ball> list = showBalls();
    moveBalls(list, timeParameter(state));
    WholeGridScan scanner;
    for (auto _ : state) benchmark::DoNotOptimize(scanner.scan(list).vertices.data());
    reportSurface(state, scanner.scan(list), MetaballGrid::pointCount);
}
BENCHMARK(MetaballFullScan)->Apply(showTimes)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
