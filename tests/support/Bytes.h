#pragma once
// Little-endian byte buffers for building binary test files (read back through ResDescMemory).
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "geometry/ResDesc.h"

class Bytes {
public:
    Bytes& u8(unsigned value) {
        data.push_back(static_cast<unsigned char>(value));
        return *this;
    }
    Bytes& u16(unsigned value) { return u8(value & 0xff).u8((value >> 8) & 0xff); }
    Bytes& u32(uint32_t value) { return u16(value & 0xffff).u16(value >> 16); }
    Bytes& i32(int32_t value) { return u32(static_cast<uint32_t>(value)); }
    Bytes& f32(float value) {
        uint32_t bits;
        memcpy(&bits, &value, sizeof bits);
        return u32(bits);
    }
    Bytes& raw(std::initializer_list<unsigned> values) {
        for (unsigned v : values) u8(v);
        return *this;
    }
    Bytes& append(const Bytes& other) {
        data.insert(data.end(), other.data.begin(), other.data.end());
        return *this;
    }
    size_t size() const { return data.size(); }

    std::vector<unsigned char> data;
};

// One AML mesh block as a test writes it: vertex words are raw (the index word as an integer).
struct AmlMeshBlock {
    std::vector<std::pair<int, int>> attributes; // (type code, components)
    std::vector<float> positions;                // x, y, z per position
    std::vector<uint32_t> words;                 // every vertex record, back to back
    std::vector<uint16_t> triangles;             // three vertex indices per triangle
    int vertexCount = 0;
};

inline Bytes amlHeader(int32_t meshCount, unsigned version = 2) {
    Bytes b;
    b.raw({'A', 'M', 'L', version}).i32(meshCount);
    return b;
}

inline Bytes amlMesh(const AmlMeshBlock& mesh) {
    Bytes b;
    b.u16(static_cast<unsigned>(mesh.positions.size() / 3))
        .u16(static_cast<unsigned>(mesh.vertexCount))
        .u16(static_cast<unsigned>(mesh.triangles.size() / 3))
        .u8(static_cast<unsigned>(mesh.attributes.size()));
    for (auto [type, components] : mesh.attributes) b.u8(type).u8(components);
    for (float p : mesh.positions) b.f32(p);
    for (uint32_t w : mesh.words) b.u32(w);
    for (uint16_t i : mesh.triangles) b.u16(i);
    return b;
}

inline uint32_t floatWord(float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The smallest useful file: one mesh, one triangle, three positions and index-only vertices.
inline Bytes smallestAml() {
    AmlMeshBlock mesh;
    mesh.attributes = {{1, 1}};
    mesh.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    mesh.words = {0, 1, 2};
    mesh.vertexCount = 3;
    mesh.triangles = {0, 1, 2};
    return amlHeader(1).append(amlMesh(mesh));
}
