#include "Models.h"

#include <algorithm>

namespace {

double mirroredLongitude(double a, double b) {
    return std::fabs(std::atan2(b, a)) / kPi;
}

} // namespace

ModelMesh buildImplicit(const ImplicitModel& model) {
    MeshingGrid grid{model.box, model.cellSize, model.lipschitz};
    SurfaceMesh surface = polygonise(model.field, grid);
    relaxOntoSurface(surface, model.field, model.cellSize, model.relaxIterations);
    removeDegenerateTriangles(surface);
    computeFieldNormals(surface, model.field, model.cellSize * 0.25);

    Bounds box;
    for (const Vec3d& p : surface.positions) box.add(p);
    const Vec3d centre = (box.lo + box.hi) * 0.5;
    const Vec3d extent = box.hi - box.lo;
    const double scale = model.size / std::fmax(extent.x, std::fmax(extent.y, extent.z));
    const Vec3d size = extent * scale;
    ModelMesh mesh;
    mesh.positions.reserve(surface.positions.size());
    for (size_t v = 0; v < surface.positions.size(); ++v) {
        Vec3d p = (surface.positions[v] - centre) * scale;
        mesh.positions.push_back(p);
        ModelVertex vertex{static_cast<uint32_t>(v), surface.normals[v], 0, 0};
        if (model.mapping == TextureMapping::AroundZ) {
            vertex.s = mirroredLongitude(p.x, p.y);
            vertex.t = (p.z + size.z * 0.5) / size.z;
        } else {
            vertex.s = (p.x + size.x * 0.5) / size.x;
            vertex.t = mirroredLongitude(p.y, p.z);
        }
        mesh.vertices.push_back(vertex);
    }
    mesh.triangles = std::move(surface.triangles);
    return mesh;
}

void fitLargestSide(ModelMesh& mesh, double side) {
    Bounds box;
    for (const Vec3d& p : mesh.positions) box.add(p);
    const Vec3d extent = box.hi - box.lo;
    const double scale = side / std::fmax(extent.x, std::fmax(extent.y, extent.z));
    for (Vec3d& p : mesh.positions) p = p * scale;
}

void turnAboutZ(ModelMesh& mesh, double radians) {
    const double c = std::cos(radians), s = std::sin(radians);
    const auto turn = [c, s](const Vec3d& v) { return Vec3d(c * v.x - s * v.y, s * v.x + c * v.y, v.z); };
    Bounds box;
    for (Vec3d& p : mesh.positions) {
        p = turn(p);
        box.add(p);
    }
    for (ModelVertex& vertex : mesh.vertices) vertex.normal = turn(vertex.normal);
    const Vec3d centre = (box.lo + box.hi) * 0.5;
    for (Vec3d& p : mesh.positions) p -= centre;
}

ModelMesh buildWrappedGrid(int uCount, int vCount, const std::function<Vec3d(int, int)>& point) {
    ModelMesh mesh;
    for (int u = 0; u < uCount; ++u)
        for (int v = 0; v < vCount; ++v) mesh.positions.push_back(point(u, v));
    auto index = [&](int u, int v) { return static_cast<uint32_t>((u % uCount) * vCount + v % vCount); };
    for (int u = 0; u < uCount; ++u)
        for (int v = 0; v < vCount; ++v) {
            uint32_t a = index(u, v), b = index(u + 1, v), c = index(u + 1, v + 1), d = index(u, v + 1);
            // Split each quad along its shorter diagonal.
            if (length(mesh.positions[a] - mesh.positions[c]) <=
                length(mesh.positions[b] - mesh.positions[d])) {
                mesh.triangles.push_back({a, b, c});
                mesh.triangles.push_back({a, c, d});
            } else {
                mesh.triangles.push_back({a, b, d});
                mesh.triangles.push_back({b, c, d});
            }
        }
    // Area-weighted normals; the engine recomputes its own at load.
    std::vector<Vec3d> normals(mesh.positions.size());
    for (const auto& t : mesh.triangles) {
        Vec3d n =
            cross(mesh.positions[t[1]] - mesh.positions[t[0]], mesh.positions[t[2]] - mesh.positions[t[0]]);
        for (uint32_t v : t) normals[v] += n;
    }
    // The engine derives normals from the winding: make it counter-clockwise seen from outside.
    double volume = 0;
    for (const auto& t : mesh.triangles)
        volume += dot(mesh.positions[t[0]], cross(mesh.positions[t[1]], mesh.positions[t[2]]));
    if (volume < 0) {
        for (auto& t : mesh.triangles) std::swap(t[1], t[2]);
        for (Vec3d& n : normals) n = -n;
    }
    Bounds box;
    for (const Vec3d& p : mesh.positions) box.add(p);
    const Vec3d centre = (box.lo + box.hi) * 0.5;
    for (Vec3d& p : mesh.positions) p -= centre;
    for (size_t i = 0; i < mesh.positions.size(); ++i) {
        int u = static_cast<int>(i) / vCount, v = static_cast<int>(i) % vCount;
        // Mirrored coordinates run 0..1..0 around each wrap, so they meet without a seam.
        double s = 2.0 * u / uCount, t = 2.0 * v / vCount;
        mesh.vertices.push_back(
            {static_cast<uint32_t>(i), normalize(normals[i]), s <= 1 ? s : 2 - s, t <= 1 ? t : 2 - t});
    }
    return mesh;
}

namespace {

// A latitude-longitude ellipsoid: `rings` bands from the north pole (+Z, t = 0) to the south pole
// (t = 1) and `segments` around, with a seam column and one vertex per pole triangle so every
// vertex carries its own longitude. Seam and pole vertices share their positions.
ModelMesh latLongEllipsoid(const Vec3d& radii, int rings, int segments) {
    ModelMesh mesh;
    mesh.positions.push_back(Vec3d(0, 0, radii.z));
    for (int ring = 1; ring < rings; ++ring) {
        double theta = kPi * ring / rings;
        for (int seg = 0; seg < segments; ++seg) {
            double phi = 2 * kPi * seg / segments;
            mesh.positions.push_back(Vec3d(radii.x * std::sin(theta) * std::cos(phi),
                                          radii.y * std::sin(theta) * std::sin(phi),
                                          radii.z * std::cos(theta)));
        }
    }
    mesh.positions.push_back(Vec3d(0, 0, -radii.z));
    const uint32_t south = static_cast<uint32_t>(mesh.positions.size() - 1);
    auto normalAt = [&](const Vec3d& p) {
        return normalize(
            Vec3d(p.x / (radii.x * radii.x), p.y / (radii.y * radii.y), p.z / (radii.z * radii.z)));
    };
    auto addVertex = [&](uint32_t position, double s, double t) {
        mesh.vertices.push_back({position, normalAt(mesh.positions[position]), s, t});
        return static_cast<uint32_t>(mesh.vertices.size() - 1);
    };
    std::vector<uint32_t> northPole, southPole;
    for (int seg = 0; seg < segments; ++seg) northPole.push_back(addVertex(0, (seg + 0.5) / segments, 0));
    // ringVertex[ring - 1][seg], seg = segments being the seam copy of seg = 0.
    std::vector<std::vector<uint32_t>> ringVertex(rings - 1);
    for (int ring = 1; ring < rings; ++ring)
        for (int seg = 0; seg <= segments; ++seg)
            ringVertex[ring - 1].push_back(
                addVertex(static_cast<uint32_t>(1 + (ring - 1) * segments + seg % segments),
                          static_cast<double>(seg) / segments, static_cast<double>(ring) / rings));
    for (int seg = 0; seg < segments; ++seg) southPole.push_back(addVertex(south, (seg + 0.5) / segments, 1));

    for (int seg = 0; seg < segments; ++seg)
        mesh.triangles.push_back({northPole[seg], ringVertex[0][seg], ringVertex[0][seg + 1]});
    for (int ring = 0; ring + 1 < rings - 1; ++ring)
        for (int seg = 0; seg < segments; ++seg) {
            uint32_t a = ringVertex[ring][seg], b = ringVertex[ring + 1][seg],
                     c = ringVertex[ring + 1][seg + 1], d = ringVertex[ring][seg + 1];
            mesh.triangles.push_back({a, b, c});
            mesh.triangles.push_back({a, c, d});
        }
    for (int seg = 0; seg < segments; ++seg)
        mesh.triangles.push_back(
            {ringVertex[rings - 2][seg], southPole[seg], ringVertex[rings - 2][seg + 1]});
    return mesh;
}

} // namespace

// The sky's sphere. The sky reads its cube by the direction to each point, which is exact across a
// flat face, so the sphere need not be round: with few, large triangles, fewer of the rasteriser's
// pixel blocks straddle two of them and are shaded twice (the sky cost a fifth more drawn on 32 by
// 64 bands).
ModelMesh makePallo() {
    return latLongEllipsoid(Vec3d(1, 1, 1), 4, 8);
}

ModelMesh makeOvaali() {
    return latLongEllipsoid(Vec3d(2.2, 2.2, 2.9), 48, 96);
}
