#include "ModelFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <numeric>

namespace {

std::vector<ModelMesh> cut(const ModelMesh& model, const std::vector<size_t>& order, size_t parts) {
    std::vector<int> partOf(model.triangles.size());
    for (size_t rank = 0; rank < order.size(); ++rank)
        partOf[order[rank]] = static_cast<int>(rank * parts / order.size());
    std::vector<ModelMesh> meshes(parts);
    for (size_t part = 0; part < parts; ++part) {
        ModelMesh& mesh = meshes[part];
        std::vector<uint32_t> vertexMap(model.vertices.size(), UINT32_MAX);
        std::vector<uint32_t> positionMap(model.positions.size(), UINT32_MAX);
        for (size_t t = 0; t < model.triangles.size(); ++t) {
            if (partOf[t] != static_cast<int>(part)) continue;
            std::array<uint32_t, 3> triangle;
            for (int c = 0; c < 3; ++c) {
                uint32_t v = model.triangles[t][c];
                if (vertexMap[v] == UINT32_MAX) {
                    ModelVertex vertex = model.vertices[v];
                    if (positionMap[vertex.position] == UINT32_MAX) {
                        positionMap[vertex.position] = static_cast<uint32_t>(mesh.positions.size());
                        mesh.positions.push_back(model.positions[vertex.position]);
                    }
                    vertex.position = positionMap[vertex.position];
                    vertexMap[v] = static_cast<uint32_t>(mesh.vertices.size());
                    mesh.vertices.push_back(vertex);
                }
                triangle[c] = vertexMap[v];
            }
            mesh.triangles.push_back(triangle);
        }
    }
    return meshes;
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putFloat(std::vector<uint8_t>& out, double v) {
    float f = static_cast<float>(v);
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    put32(out, bits);
}

} // namespace

std::vector<ModelMesh> splitForIndices(const ModelMesh& model) {
    Vec3d lo(1e30, 1e30, 1e30), hi(-1e30, -1e30, -1e30);
    for (const Vec3d& p : model.positions) {
        lo = componentMin(lo, p);
        hi = componentMax(hi, p);
    }
    Vec3d size = hi - lo;
    int axis = size.x >= size.y && size.x >= size.z ? 0 : (size.y >= size.z ? 1 : 2);
    std::vector<double> key(model.triangles.size());
    for (size_t t = 0; t < model.triangles.size(); ++t) {
        Vec3d c;
        for (uint32_t v : model.triangles[t]) c += model.positions[model.vertices[v].position];
        key[t] = axis == 0 ? c.x : (axis == 1 ? c.y : c.z);
    }
    std::vector<size_t> order(model.triangles.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return key[a] != key[b] ? key[a] < key[b] : a < b; });

    size_t parts = std::max<size_t>(1, (model.triangles.size() + kMaxMeshTriangles - 1) / kMaxMeshTriangles);
    for (;; ++parts) {
        std::vector<ModelMesh> meshes = cut(model, order, parts);
        bool fits = true;
        for (const ModelMesh& mesh : meshes)
            fits = fits && mesh.vertices.size() <= kMaxMeshVertices &&
                   mesh.positions.size() <= kMaxMeshVertices && mesh.triangles.size() <= kMaxMeshTriangles;
        if (fits) return meshes;
    }
}

std::vector<uint8_t> encodeAml(const std::vector<ModelMesh>& meshes) {
    std::vector<uint8_t> out = {'A', 'M', 'L', 2};
    put32(out, static_cast<uint32_t>(meshes.size()));
    for (const ModelMesh& mesh : meshes) {
        put16(out, static_cast<uint32_t>(mesh.positions.size()));
        put16(out, static_cast<uint32_t>(mesh.vertices.size()));
        put16(out, static_cast<uint32_t>(mesh.triangles.size()));
        const uint8_t attributes[3][2] = {{1, 1}, {2, 3}, {6, 2}};
        out.push_back(3);
        for (const auto& a : attributes) {
            out.push_back(a[0]);
            out.push_back(a[1]);
        }
        for (const Vec3d& p : mesh.positions) {
            putFloat(out, p.x);
            putFloat(out, p.y);
            putFloat(out, p.z);
        }
        for (const ModelVertex& v : mesh.vertices) {
            put32(out, v.position);
            putFloat(out, v.normal.x);
            putFloat(out, v.normal.y);
            putFloat(out, v.normal.z);
            putFloat(out, v.s);
            putFloat(out, v.t);
        }
        for (const auto& t : mesh.triangles)
            for (uint32_t index : t) put16(out, index);
    }
    return out;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "Cannot create '%s': %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = (std::fclose(file) == 0) && ok;
    if (!ok) std::fprintf(stderr, "Cannot write '%s': %s\n", path.c_str(), std::strerror(errno));
    return ok;
}
