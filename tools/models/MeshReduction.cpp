#include "MeshReduction.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <map>
#include <vector>

#include "SurfaceMesher.h"

namespace {

// Collapses can fold a thin part into a fin: two triangles on the same three corners, back to back.
// The fin encloses nothing, and a corner that only it uses would get no normal at load (its two
// faces cancel), so both go, and so do vertex records no triangle uses any more.
void dropFins(ModelMesh& mesh) {
    std::map<std::array<uint32_t, 3>, std::vector<size_t>> byCorners;
    for (size_t i = 0; i < mesh.triangles.size(); ++i) {
        std::array<uint32_t, 3> corners;
        for (int c = 0; c < 3; ++c) corners[c] = mesh.vertices[mesh.triangles[i][c]].position;
        std::sort(corners.begin(), corners.end());
        byCorners[corners].push_back(i);
    }
    std::vector<bool> dropped(mesh.triangles.size(), false);
    const auto faceOf = [&mesh](size_t i) {
        const auto& t = mesh.triangles[i];
        const Vec3d& a = mesh.positions[mesh.vertices[t[0]].position];
        return cross(mesh.positions[mesh.vertices[t[1]].position] - a,
                     mesh.positions[mesh.vertices[t[2]].position] - a);
    };
    for (const auto& [corners, triangles] : byCorners)
        if (triangles.size() == 2 && dot(faceOf(triangles[0]), faceOf(triangles[1])) < 0)
            dropped[triangles[0]] = dropped[triangles[1]] = true;
    std::vector<std::array<uint32_t, 3>> kept;
    std::vector<uint32_t> newIndex(mesh.vertices.size(), UINT32_MAX);
    std::vector<ModelVertex> vertices;
    for (size_t i = 0; i < mesh.triangles.size(); ++i) {
        if (dropped[i]) continue;
        std::array<uint32_t, 3> t = mesh.triangles[i];
        for (uint32_t& v : t) {
            if (newIndex[v] == UINT32_MAX) {
                newIndex[v] = static_cast<uint32_t>(vertices.size());
                vertices.push_back(mesh.vertices[v]);
            }
            v = newIndex[v];
        }
        kept.push_back(t);
    }
    mesh.triangles = std::move(kept);
    mesh.vertices = std::move(vertices);
}

} // namespace

ModelMesh reduceMesh(const ModelMesh& model, const ReductionTarget& target, ReductionReport* report) {
    const size_t vertexCount = model.vertices.size();
    std::vector<float> positions(vertexCount * 3);
    for (size_t v = 0; v < vertexCount; ++v) {
        const Vec3d& p = model.positions[model.vertices[v].position];
        positions[3 * v] = static_cast<float>(p.x);
        positions[3 * v + 1] = static_cast<float>(p.y);
        positions[3 * v + 2] = static_cast<float>(p.z);
    }
    std::vector<unsigned> indices;
    indices.reserve(model.triangles.size() * 3);
    for (const auto& t : model.triangles) indices.insert(indices.end(), t.begin(), t.end());

    // The simplifier measures error relative to the model's extent.
    const float scale = meshopt_simplifyScale(positions.data(), vertexCount, sizeof(float) * 3);
    std::vector<unsigned> kept(indices.size());
    float relativeError = 0;
    kept.resize(meshopt_simplify(kept.data(), indices.data(), indices.size(), positions.data(), vertexCount,
                                 sizeof(float) * 3, std::min(target.triangleBudget * 3, indices.size()),
                                 static_cast<float>(target.maxError / scale), 0, &relativeError));
    meshopt_optimizeVertexCache(kept.data(), kept.data(), kept.size(), vertexCount);
    std::vector<unsigned> remap(vertexCount);
    const size_t keptVertices =
        meshopt_optimizeVertexFetchRemap(remap.data(), kept.data(), kept.size(), vertexCount);

    ModelMesh reduced;
    reduced.vertices.resize(keptVertices);
    std::vector<uint32_t> positionOf(model.positions.size(), UINT32_MAX);
    for (size_t v = 0; v < vertexCount; ++v) {
        if (remap[v] == ~0u) continue;
        ModelVertex vertex = model.vertices[v];
        uint32_t& position = positionOf[vertex.position];
        if (position == UINT32_MAX) {
            position = static_cast<uint32_t>(reduced.positions.size());
            reduced.positions.push_back(model.positions[vertex.position]);
        }
        vertex.position = position;
        reduced.vertices[remap[v]] = vertex;
    }
    for (size_t i = 0; i < kept.size(); i += 3) {
        const std::array<uint32_t, 3> t = {remap[kept[i]], remap[kept[i + 1]], remap[kept[i + 2]]};
        if (givesFloatNormal(reduced.positions[reduced.vertices[t[0]].position],
                             reduced.positions[reduced.vertices[t[1]].position],
                             reduced.positions[reduced.vertices[t[2]].position]))
            reduced.triangles.push_back(t);
    }
    dropFins(reduced);
    if (report) {
        report->trianglesBefore = model.triangles.size();
        report->trianglesAfter = reduced.triangles.size();
        report->error = relativeError * scale;
    }
    return reduced;
}
