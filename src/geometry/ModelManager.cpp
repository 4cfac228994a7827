#include "geometry/ModelManager.h"

#include <cstring>

#include "geometry/AmlReader.h"
#include "geometry/ResDesc.h"
#include "base/FindFile.h"

namespace rovena {

namespace {

constexpr double pi = 3.14159265358979323846;

struct Point {
    double x, y, z;
};

Point operator-(const Point& a, const Point& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

double dot(const Point& a, const Point& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

double length(const Point& a) {
    return std::sqrt(dot(a, a));
}

// A vertex's position, `offset` words into its record.
void readPosition(const Mesh& mesh, int offset, int vertex, float xyz[3]) {
    memcpy(xyz, mesh.vertices + static_cast<size_t>(vertex) * mesh.stride + offset, 3 * sizeof(float));
}

Point corner(const Mesh& mesh, int offset, int vertex) {
    float xyz[3];
    readPosition(mesh, offset, vertex, xyz);
    return {xyz[0], xyz[1], xyz[2]};
}

} // namespace

void Model::draw() {
    for (int i = 0; i < count; ++i) items[i].draw();
}

void Model::measureBounds() {
    Box box;
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
    }
    bounds = box;
}

bool Model::clearOutside(const float point[3], float clearance) const {
    bool inBox = true;
    for (int k = 0; k < 3; ++k) {
        if (!(bounds.low[k] <= bounds.high[k])) return false;
        inBox = inBox && point[k] >= bounds.low[k] - clearance && point[k] <= bounds.high[k] + clearance;
    }
    if (!inBox) return true;

    // The solid angle each triangle spans seen from the point (Van Oosterom and Strackee), summed:
    // 4 pi times the number of times the surface winds around the point, 0 outside.
    const Point p = {point[0], point[1], point[2]};
    double solidAngle = 0;
    for (int i = 0; i < count; ++i) {
        const Mesh& mesh = items[i];
        if (mesh.slotByType[0] < 0) continue;
        const int offset = mesh.attributeOffset(mesh.slotByType[0]);
        for (int t = 0; t < mesh.triangleCount; ++t) {
            const uint16_t* triangle = mesh.indices + 3 * t;
            const Point a = corner(mesh, offset, triangle[0]) - p;
            const Point b = corner(mesh, offset, triangle[1]) - p;
            const Point c = corner(mesh, offset, triangle[2]) - p;
            const Point centre = {(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
            const Point toA = a - centre, toB = b - centre, toC = c - centre;
            const double reach =
                std::sqrt(std::fmax(dot(toA, toA), std::fmax(dot(toB, toB), dot(toC, toC)))) + clearance;
            if (dot(centre, centre) <= reach * reach) return false;
            const double la = length(a), lb = length(b), lc = length(c);
            const double volume =
                a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
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
    model.measureBounds();
}

} // namespace rovena
