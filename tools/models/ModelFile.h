#pragma once
// A finished model: shared positions, vertex records (position index, normal, texture coordinates)
// and triangles, written as AML version 2 with the attributes (1, 1) position index, (2, 3) normal
// and (6, 2) texture coordinates of unit 0. Models too big for 16-bit indices are cut into meshes.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Maths.h"

struct ModelVertex {
    uint32_t position; // index into ModelMesh::positions
    Vec3d normal;       // unit
    double s, t;       // texture coordinates of unit 0
};

struct ModelMesh {
    std::vector<Vec3d> positions;
    std::vector<ModelVertex> vertices;
    std::vector<std::array<uint32_t, 3>> triangles; // vertex indices
};

constexpr size_t kMaxMeshVertices = 65535;
constexpr size_t kMaxMeshTriangles = 65535;

// Cuts a model into meshes within the 16-bit limits along its longest axis, so each cut is one
// clean line. Each mesh keeps only the positions its vertices use.
std::vector<ModelMesh> splitForIndices(const ModelMesh& model);

// The file's bytes; every mesh must already fit the 16-bit limits.
std::vector<uint8_t> encodeAml(const std::vector<ModelMesh>& meshes);
// Writes the file; returns false (and says why on stderr) when it cannot.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
