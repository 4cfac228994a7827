#include "support/CubeModel.h"

#include <cstring>
#include <utility>

void appendCube(rovena::Model& model, float x, float y, float z, float halfSide, int cells, CubeShape shape) {
    Mesh& mesh = model.appendDefault();
    mesh.attributeCount = 1;
    mesh.types[0] = 0;
    mesh.components[0] = 3;
    mesh.updateLayout();
    const int side = cells + 1; // grid points along a face's edge
    mesh.vertexCount = 6 * side * side;
    const int faces = shape == CubeShape::openAtMinusY ? 5 : 6;
    mesh.triangleCount = faces * 2 * cells * cells;
    mesh.vertices = new uint32_t[3 * mesh.vertexCount];
    mesh.indices = new uint16_t[3 * mesh.triangleCount];
    const float centre[3] = {x, y, z};
    uint32_t* vertex = mesh.vertices;
    uint16_t* index = mesh.indices;
    for (int face = 0; face < 6; ++face) {
        // The face across `axis` on the `sign` side, spanned by u and v with u x v pointing out.
        const int axis = face / 2;
        const float sign = face % 2 ? -1.0f : 1.0f;
        const int u = (axis + (sign > 0 ? 1 : 2)) % 3, v = (axis + (sign > 0 ? 2 : 1)) % 3;
        const int first = face * side * side;
        for (int i = 0; i < side; ++i)
            for (int j = 0; j < side; ++j) {
                float position[3];
                position[axis] = centre[axis] + sign * halfSide;
                position[u] = centre[u] + halfSide * (2.0f * i / cells - 1);
                position[v] = centre[v] + halfSide * (2.0f * j / cells - 1);
                std::memcpy(vertex, position, sizeof position);
                vertex += 3;
            }
        if (shape == CubeShape::openAtMinusY && axis == 1 && sign < 0) continue;
        for (int i = 0; i < cells; ++i)
            for (int j = 0; j < cells; ++j) {
                const uint16_t at = static_cast<uint16_t>(first + i * side + j);
                uint16_t quad[6] = {
                    at, static_cast<uint16_t>(at + side),     static_cast<uint16_t>(at + side + 1),
                    at, static_cast<uint16_t>(at + side + 1), static_cast<uint16_t>(at + 1)};
                if (shape == CubeShape::inward) {
                    std::swap(quad[1], quad[2]);
                    std::swap(quad[4], quad[5]);
                }
                std::memcpy(index, quad, sizeof quad);
                index += 6;
            }
    }
}
