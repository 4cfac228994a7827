#include "geometry/ModelManager.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "base/Vector3.h"
#include "geometry/AmlReader.h"
#include "geometry/ResDesc.h"
#include "base/FindFile.h"

namespace rovena {

namespace {

constexpr double pi = 3.14159265358979323846;

// A vertex's position, `offset` words into its record.
void readPosition(const Mesh& mesh, int offset, int vertex, float xyz[3]) {
    memcpy(xyz, mesh.vertices + static_cast<size_t>(vertex) * mesh.stride + offset, 3 * sizeof(float));
}

Vec3d corner(const Mesh& mesh, int offset, int vertex) {
    float xyz[3];
    readPosition(mesh, offset, vertex, xyz);
    return {xyz[0], xyz[1], xyz[2]};
}

// Every position of the model by its bits (a minus zero taken as zero): corners of triangles in
// different meshes, or in different vertex records of one, meet where their positions are equal.
class PositionIds {
public:
    int idOf(const float xyz[3]) {
        std::array<uint32_t, 3> key;
        for (int k = 0; k < 3; ++k) {
            const float value = xyz[k] == 0 ? 0.0f : xyz[k];
            memcpy(&key[k], &value, sizeof value);
        }
        const auto found = ids.emplace(key, static_cast<int>(points.size()));
        if (found.second) points.push_back({xyz[0], xyz[1], xyz[2]});
        return found.first->second;
    }
    std::vector<Vec3d> points;

private:
    struct KeyHash {
        size_t operator()(const std::array<uint32_t, 3>& key) const {
            return (static_cast<size_t>(key[0]) * 73856093u) ^ (static_cast<size_t>(key[1]) * 19349663u) ^
                   (static_cast<size_t>(key[2]) * 83492791u);
        }
    };
    std::unordered_map<std::array<uint32_t, 3>, int, KeyHash> ids;
};

// Which connected piece of the surface each position belongs to.
class Pieces {
public:
    int pieceOf(int id) {
        while (id < static_cast<int>(parent.size()) && parent[id] != id) {
            parent[id] = parent[parent[id]];
            id = parent[id];
        }
        return id;
    }
    void join(int a, int b) {
        while (static_cast<int>(parent.size()) <= std::max(a, b)) parent.push_back(static_cast<int>(parent.size()));
        parent[pieceOf(a)] = pieceOf(b);
    }

private:
    std::vector<int> parent;
};

uint64_t edgeKey(int from, int to) {
    return static_cast<uint64_t>(static_cast<uint32_t>(from)) << 32 | static_cast<uint32_t>(to);
}

} // namespace

void Model::draw() {
    for (int i = 0; i < count; ++i) items[i].draw();
}

void Model::measure() {
    Box box;
    // Each edge's crossings one way less the other way's, and each triangle's corners by position.
    PositionIds positions;
    std::unordered_map<uint64_t, int> edgeBalance;
    std::vector<std::array<int, 3>> triangles;
    Pieces pieces;
    for (int i = 0; i < count; ++i) {
        const Mesh& mesh = items[i];
        if (mesh.slotByType[0] < 0) continue;
        const int offset = mesh.attributeOffset(mesh.slotByType[0]);
        for (int v = 0; v < mesh.vertexCount; ++v) {
            float position[3];
            readPosition(mesh, offset, v, position);
            for (int k = 0; k < 3; ++k) {
                box.low[k] = std::fmin(box.low[k], position[k]);
                box.high[k] = std::fmax(box.high[k], position[k]);
            }
        }
        for (int t = 0; t < mesh.triangleCount; ++t) {
            std::array<int, 3> corners;
            for (int k = 0; k < 3; ++k) {
                float xyz[3];
                readPosition(mesh, offset, mesh.indices[3 * t + k], xyz);
                corners[k] = positions.idOf(xyz);
            }
            for (int k = 0; k < 3; ++k) {
                const int from = corners[k], to = corners[(k + 1) % 3];
                if (from == to) continue;
                edgeBalance[edgeKey(std::min(from, to), std::max(from, to))] += from < to ? 1 : -1;
                pieces.join(from, to);
            }
            triangles.push_back(corners);
        }
    }
    bounds = box;
    closedOutward = !triangles.empty();
    for (const auto& edge : edgeBalance)
        if (edge.second != 0) closedOutward = false;
    if (!closedOutward) return;

    // Six times each piece's volume, from tetrahedra on the box's centre (nearer than the origin,
    // for precision); a closed piece's is the same from any point.
    const Vec3d centre = {(box.low[0] + box.high[0]) / 2.0, (box.low[1] + box.high[1]) / 2.0,
                          (box.low[2] + box.high[2]) / 2.0};
    std::unordered_map<int, double> volume;
    for (const std::array<int, 3>& corners : triangles) {
        const Vec3d a = positions.points[static_cast<size_t>(corners[0])] - centre;
        const Vec3d b = positions.points[static_cast<size_t>(corners[1])] - centre;
        const Vec3d c = positions.points[static_cast<size_t>(corners[2])] - centre;
        volume[pieces.pieceOf(corners[0])] += dot(a, cross(b, c));
    }
    for (const auto& piece : volume)
        if (!(piece.second > 0)) closedOutward = false;
}

bool Model::clearOutside(const float point[3], float clearance) const {
    if (!closedOutward) return false;
    bool inBox = true;
    for (int k = 0; k < 3; ++k) {
        if (!(bounds.low[k] <= bounds.high[k])) return false;
        inBox = inBox && point[k] >= bounds.low[k] - clearance && point[k] <= bounds.high[k] + clearance;
    }
    if (!inBox) return true;

    // The solid angle each triangle spans seen from the point (Van Oosterom and Strackee), summed:
    // 4 pi times the number of times the surface winds around the point, 0 outside.
    const Vec3d p = {point[0], point[1], point[2]};
    double solidAngle = 0;
    for (int i = 0; i < count; ++i) {
        const Mesh& mesh = items[i];
        if (mesh.slotByType[0] < 0) continue;
        const int offset = mesh.attributeOffset(mesh.slotByType[0]);
        for (int t = 0; t < mesh.triangleCount; ++t) {
            const uint16_t* triangle = mesh.indices + 3 * t;
            const Vec3d a = corner(mesh, offset, triangle[0]) - p;
            const Vec3d b = corner(mesh, offset, triangle[1]) - p;
            const Vec3d c = corner(mesh, offset, triangle[2]) - p;
            const Vec3d centre = (a + b + c) / 3.0;
            const Vec3d toA = a - centre, toB = b - centre, toC = c - centre;
            const double reach =
                std::sqrt(std::fmax(dot(toA, toA), std::fmax(dot(toB, toB), dot(toC, toC)))) + clearance;
            if (dot(centre, centre) <= reach * reach) return false;
            const double la = length(a), lb = length(b), lc = length(c);
            const double volume = dot(a, cross(b, c));
            solidAngle +=
                2 * std::atan2(volume, la * lb * lc + dot(a, b) * lc + dot(a, c) * lb + dot(b, c) * la);
        }
    }
    return std::fabs(solidAngle) < 2 * pi;
}

void Model::computeNormals() {
    for (int i = 0; i < count; ++i) items[i].computeNormals();
}

void Model::createBuffers() {
    for (int i = 0; i < count; ++i) items[i].createBuffers();
}

void ModelManager::load(const std::string& name) {
    std::string path = findFile("data", name, "aml");
    // A model already under this name is replaced: its meshes go now.
    entry(name).reset(16);
    Model& model = get(name);
    {
        ResDescFile file(path.c_str());
        readAml(file, model, fatalAmlError(path));
    }
    for (Mesh& mesh : model) mesh.expandPositions();
    model.measure();
}

} // namespace rovena
