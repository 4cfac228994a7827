#include "SurfaceMesher.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <unordered_map>

void parallelFor(size_t count, const std::function<void(size_t)>& body) {
    unsigned threadCount = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    if (count < 64 || threadCount == 1) {
        for (size_t i = 0; i < count; ++i) body(i);
        return;
    }
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threadCount; ++t)
        workers.emplace_back([&, t] {
            for (size_t i = t; i < count; i += threadCount) body(i);
        });
    for (std::thread& worker : workers) worker.join();
}

namespace {

struct CubeEdges {
    int corners[12][2];
    int byCorners[8][8];
};

const CubeEdges& cubeEdges() {
    static const CubeEdges edges = [] {
        CubeEdges e{};
        for (int a = 0; a < 3; ++a) {
            int k = 0;
            for (int c0 = 0; c0 < 8; ++c0) {
                if (c0 >> a & 1) continue;
                int c1 = c0 | 1 << a;
                e.corners[a * 4 + k][0] = c0;
                e.corners[a * 4 + k][1] = c1;
                e.byCorners[c0][c1] = e.byCorners[c1][c0] = a * 4 + k;
                ++k;
            }
        }
        return e;
    }();
    return edges;
}

// Each face of the cube cuts its crossing edges into segments, oriented so the inside corners lie
// on the same side; diagonal faces keep their inside corners apart. The decision depends on the
// face alone, so neighbouring cubes agree and the surface is closed. Chaining the segments gives
// one loop per sheet, which a fan splits into triangles.
std::vector<std::vector<int>> buildCases() {
    const CubeEdges& edges = cubeEdges();
    int faces[6][4];
    for (int a = 0; a < 3; ++a) {
        int b = (a + 1) % 3, c = (a + 2) % 3;
        const int square[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (int side = 0; side < 2; ++side) {
            for (int i = 0; i < 4; ++i) {
                int j = side == 1 ? i : 3 - i; // counter-clockwise seen from outside
                faces[a * 2 + side][i] = side << a | square[j][0] << b | square[j][1] << c;
            }
        }
    }
    std::vector<std::vector<int>> cases(256);
    for (int index = 0; index < 256; ++index) {
        int next[12];
        std::fill(next, next + 12, -1);
        for (const int* w : faces) {
            bool inside[4];
            for (int i = 0; i < 4; ++i) inside[i] = index >> w[i] & 1;
            for (int i = 0; i < 4; ++i) {
                if (!inside[i] || inside[(i + 1) % 4]) continue;
                int start = i;
                while (inside[(start + 3) % 4] && (start + 3) % 4 != i) start = (start + 3) % 4;
                int from = edges.byCorners[w[i]][w[(i + 1) % 4]];
                int to = edges.byCorners[w[(start + 3) % 4]][w[start]];
                next[from] = to;
            }
        }
        bool used[12] = {};
        for (int e = 0; e < 12; ++e) {
            if (next[e] < 0 || used[e]) continue;
            std::vector<int> loop;
            for (int cur = e; !used[cur]; cur = next[cur]) {
                used[cur] = true;
                loop.push_back(cur);
            }
            for (size_t i = 1; i + 1 < loop.size(); ++i) {
                cases[index].push_back(loop[0]);
                cases[index].push_back(loop[i + 1]);
                cases[index].push_back(loop[i]);
            }
        }
    }
    return cases;
}

constexpr int kBlock = 4; // cells per block side

} // namespace

const std::vector<std::vector<int>>& marchingCubesCases() {
    static const std::vector<std::vector<int>> cases = buildCases();
    return cases;
}

SurfaceMesh polygonise(const ScalarField& field, const MeshingGrid& grid) {
    const double h = grid.cellSize;
    const Vec3d origin = grid.box.lo;
    const Vec3d extent = grid.box.hi - grid.box.lo;
    const int blocks[3] = {std::max(1, static_cast<int>(std::ceil(extent.x / (h * kBlock)))),
                           std::max(1, static_cast<int>(std::ceil(extent.y / (h * kBlock)))),
                           std::max(1, static_cast<int>(std::ceil(extent.z / (h * kBlock))))};
    const int nodes[3] = {blocks[0] * kBlock + 1, blocks[1] * kBlock + 1, blocks[2] * kBlock + 1};
    auto nodeIndex = [&](int i, int j, int k) {
        return (static_cast<size_t>(k) * nodes[1] + j) * nodes[0] + i;
    };
    auto nodePosition = [&](int i, int j, int k) { return origin + Vec3d(i, j, k) * h; };

    // Blocks the surface may pass through: the field at the centre is no farther from zero than
    // the field can change over half the block's diagonal.
    const size_t blockCount = static_cast<size_t>(blocks[0]) * blocks[1] * blocks[2];
    std::vector<uint8_t> active(blockCount);
    const double reach = grid.lipschitz * std::sqrt(3.0) * 0.5 * kBlock * h + h;
    parallelFor(blockCount, [&](size_t b) {
        int bi = static_cast<int>(b % blocks[0]), bj = static_cast<int>(b / blocks[0] % blocks[1]),
            bk = static_cast<int>(b / blocks[0] / blocks[1]);
        Vec3d centre = origin + Vec3d(bi + 0.5, bj + 0.5, bk + 0.5) * (kBlock * h);
        active[b] = std::fabs(field(centre)) <= reach;
    });

    // A block owns the nodes [b * kBlock, b * kBlock + kBlock); one more block row on each axis owns
    // the last node plane. An active block needs the nodes of its upper neighbours too.
    const int owners[3] = {blocks[0] + 1, blocks[1] + 1, blocks[2] + 1};
    std::vector<uint8_t> needed(static_cast<size_t>(owners[0]) * owners[1] * owners[2]);
    for (int bk = 0; bk < blocks[2]; ++bk)
        for (int bj = 0; bj < blocks[1]; ++bj)
            for (int bi = 0; bi < blocks[0]; ++bi) {
                if (!active[(static_cast<size_t>(bk) * blocks[1] + bj) * blocks[0] + bi]) continue;
                for (int d = 0; d < 8; ++d)
                    needed[(static_cast<size_t>(bk + (d >> 2 & 1)) * owners[1] + bj + (d >> 1 & 1)) *
                               owners[0] +
                           bi + (d & 1)] = 1;
            }
    std::vector<size_t> neededList;
    for (size_t b = 0; b < needed.size(); ++b)
        if (needed[b]) neededList.push_back(b);

    std::vector<float> values(static_cast<size_t>(nodes[0]) * nodes[1] * nodes[2], 1e9f);
    parallelFor(neededList.size(), [&](size_t n) {
        size_t b = neededList[n];
        int bi = static_cast<int>(b % owners[0]), bj = static_cast<int>(b / owners[0] % owners[1]),
            bk = static_cast<int>(b / owners[0] / owners[1]);
        for (int k = bk * kBlock; k < std::min(bk * kBlock + kBlock, nodes[2]); ++k)
            for (int j = bj * kBlock; j < std::min(bj * kBlock + kBlock, nodes[1]); ++j)
                for (int i = bi * kBlock; i < std::min(bi * kBlock + kBlock, nodes[0]); ++i) {
                    float v = static_cast<float>(field(nodePosition(i, j, k)));
                    // Exact zeros would put several edge vertices on one node.
                    if (v == 0.0f) v = 1e-7f;
                    values[nodeIndex(i, j, k)] = v;
                }
    });

    const CubeEdges& edges = cubeEdges();
    const std::vector<std::vector<int>>& cases = marchingCubesCases();
    SurfaceMesh mesh;
    std::unordered_map<uint64_t, uint32_t> vertexOfEdge;
    vertexOfEdge.reserve(1 << 16);
    auto edgeVertex = [&](int i, int j, int k, int edge) {
        int c0 = edges.corners[edge][0], c1 = edges.corners[edge][1];
        int axis = edge / 4;
        int i0 = i + (c0 & 1), j0 = j + (c0 >> 1 & 1), k0 = k + (c0 >> 2 & 1);
        uint64_t key = static_cast<uint64_t>(nodeIndex(i0, j0, k0)) * 3 + axis;
        auto found = vertexOfEdge.find(key);
        if (found != vertexOfEdge.end()) return found->second;
        int i1 = i + (c1 & 1), j1 = j + (c1 >> 1 & 1), k1 = k + (c1 >> 2 & 1);
        double f0 = values[nodeIndex(i0, j0, k0)], f1 = values[nodeIndex(i1, j1, k1)];
        double t = std::clamp(f0 / (f0 - f1), 0.02, 0.98);
        uint32_t index = static_cast<uint32_t>(mesh.positions.size());
        mesh.positions.push_back(mix(nodePosition(i0, j0, k0), nodePosition(i1, j1, k1), t));
        vertexOfEdge.emplace(key, index);
        return index;
    };
    for (int bk = 0; bk < blocks[2]; ++bk)
        for (int bj = 0; bj < blocks[1]; ++bj)
            for (int bi = 0; bi < blocks[0]; ++bi) {
                if (!active[(static_cast<size_t>(bk) * blocks[1] + bj) * blocks[0] + bi]) continue;
                for (int k = bk * kBlock; k < bk * kBlock + kBlock; ++k)
                    for (int j = bj * kBlock; j < bj * kBlock + kBlock; ++j)
                        for (int i = bi * kBlock; i < bi * kBlock + kBlock; ++i) {
                            int index = 0;
                            for (int c = 0; c < 8; ++c)
                                if (values[nodeIndex(i + (c & 1), j + (c >> 1 & 1), k + (c >> 2 & 1))] < 0)
                                    index |= 1 << c;
                            const std::vector<int>& tris = cases[index];
                            for (size_t t = 0; t < tris.size(); t += 3)
                                mesh.triangles.push_back({edgeVertex(i, j, k, tris[t]),
                                                          edgeVertex(i, j, k, tris[t + 1]),
                                                          edgeVertex(i, j, k, tris[t + 2])});
                        }
            }
    return mesh;
}

namespace {

// Field value and gradient from four samples on a tetrahedron around p.
void sampleGradient(const ScalarField& field, const Vec3d& p, double step, double& value, Vec3d& gradient) {
    static const Vec3d offsets[4] = {{1, -1, -1}, {-1, -1, 1}, {-1, 1, -1}, {1, 1, 1}};
    value = 0;
    gradient = Vec3d();
    for (const Vec3d& o : offsets) {
        double f = field(p + o * step);
        value += f;
        gradient += o * f;
    }
    value *= 0.25;
    gradient = gradient / (4 * step);
}

std::vector<std::vector<uint32_t>> neighbourLists(const SurfaceMesh& mesh) {
    std::vector<std::vector<uint32_t>> neighbours(mesh.positions.size());
    for (const auto& t : mesh.triangles)
        for (int e = 0; e < 3; ++e) {
            neighbours[t[e]].push_back(t[(e + 1) % 3]);
            neighbours[t[(e + 1) % 3]].push_back(t[e]);
        }
    for (auto& list : neighbours) {
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
    }
    return neighbours;
}

} // namespace

void relaxOntoSurface(SurfaceMesh& mesh, const ScalarField& field, double cellSize, int iterations) {
    std::vector<std::vector<uint32_t>> neighbours = neighbourLists(mesh);
    std::vector<Vec3d> moved(mesh.positions.size());
    const double step = cellSize * 0.05;
    for (int iteration = 0; iteration < iterations; ++iteration) {
        parallelFor(mesh.positions.size(), [&](size_t v) {
            const Vec3d p = mesh.positions[v];
            double value;
            Vec3d gradient;
            sampleGradient(field, p, step, value, gradient);
            double g2 = dot(gradient, gradient);
            if (neighbours[v].empty() || g2 < 1e-12) {
                moved[v] = p;
                return;
            }
            Vec3d centre;
            for (uint32_t n : neighbours[v]) centre += mesh.positions[n];
            centre = centre / static_cast<double>(neighbours[v].size());
            Vec3d normal = gradient / std::sqrt(g2);
            Vec3d shift = centre - p;
            shift -= normal * dot(shift, normal);
            // Project the tangential move back to the surface with one Newton step from the
            // gradient at p; never move more than a cell in one go.
            Vec3d target = p + shift * 0.5 - gradient * (value / g2);
            Vec3d delta = target - p;
            double len = length(delta);
            if (len > cellSize) delta = delta * (cellSize / len);
            moved[v] = p + delta;
        });
        mesh.positions.swap(moved);
    }
    // A last pure projection so every vertex sits on the surface.
    parallelFor(mesh.positions.size(), [&](size_t v) {
        double value;
        Vec3d gradient;
        sampleGradient(field, mesh.positions[v], step, value, gradient);
        double g2 = dot(gradient, gradient);
        if (g2 < 1e-12) return;
        Vec3d delta = gradient * (-value / g2);
        double len = length(delta);
        if (len > cellSize * 0.5) delta = delta * (cellSize * 0.5 / len);
        mesh.positions[v] += delta;
    });
}

void computeFieldNormals(SurfaceMesh& mesh, const ScalarField& field, double step) {
    std::vector<Vec3d> areaNormals(mesh.positions.size());
    for (const auto& t : mesh.triangles) {
        Vec3d n =
            cross(mesh.positions[t[1]] - mesh.positions[t[0]], mesh.positions[t[2]] - mesh.positions[t[0]]);
        for (uint32_t v : t) areaNormals[v] += n;
    }
    mesh.normals.assign(mesh.positions.size(), Vec3d());
    parallelFor(mesh.positions.size(), [&](size_t v) {
        double value;
        Vec3d gradient;
        sampleGradient(field, mesh.positions[v], step, value, gradient);
        mesh.normals[v] = length(gradient) > 1e-9 ? normalize(gradient) : normalize(areaNormals[v]);
    });
}

bool givesFloatNormal(const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    // The loader computes face normals in single precision from the stored floats.
    const Vec3d* corners[3] = {&a, &b, &c};
    float p[3][3];
    for (int i = 0; i < 3; ++i) {
        p[i][0] = static_cast<float>(corners[i]->x);
        p[i][1] = static_cast<float>(corners[i]->y);
        p[i][2] = static_cast<float>(corners[i]->z);
    }
    float e1[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
    float e2[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
    float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                  e1[0] * e2[1] - e1[1] * e2[0]};
    float len2 = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    return len2 > 1e-20f;
}

void removeDegenerateTriangles(SurfaceMesh& mesh) {
    std::vector<std::array<uint32_t, 3>> kept;
    kept.reserve(mesh.triangles.size());
    for (const auto& t : mesh.triangles) {
        if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2]) continue;
        if (givesFloatNormal(mesh.positions[t[0]], mesh.positions[t[1]], mesh.positions[t[2]]))
            kept.push_back(t);
    }
    mesh.triangles.swap(kept);

    std::vector<uint32_t> remap(mesh.positions.size(), UINT32_MAX);
    std::vector<Vec3d> positions, normals;
    for (auto& t : mesh.triangles)
        for (uint32_t& v : t) {
            if (remap[v] == UINT32_MAX) {
                remap[v] = static_cast<uint32_t>(positions.size());
                positions.push_back(mesh.positions[v]);
                if (!mesh.normals.empty()) normals.push_back(mesh.normals[v]);
            }
            v = remap[v];
        }
    mesh.positions.swap(positions);
    mesh.normals.swap(normals);
}
