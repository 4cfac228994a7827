#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <unistd.h>
#include <utility>
#include <vector>

#include "geometry/Mesh.h"
#include "geometry/ModelManager.h"
#include "base/GrowArray.h"
#include "support/Bytes.h"
#include "support/CubeModel.h"

using ::testing::ExitedWithCode;

namespace {

// An expanded mesh: position then normal, one record per corner list entry.
void fill(Mesh& mesh, const std::vector<float>& positions, const std::vector<uint16_t>& triangles) {
    mesh.attributeCount = 2;
    mesh.types[0] = 0;
    mesh.components[0] = 3;
    mesh.types[1] = 2;
    mesh.components[1] = 3;
    mesh.updateLayout();
    mesh.vertexCount = static_cast<int>(positions.size() / 3);
    mesh.triangleCount = static_cast<int>(triangles.size() / 3);
    mesh.vertices = new uint32_t[mesh.vertexCount * 6];
    for (int v = 0; v < mesh.vertexCount; ++v) {
        for (int k = 0; k < 3; ++k) mesh.vertices[6 * v + k] = floatWord(positions[3 * v + k]);
        for (int k = 3; k < 6; ++k) mesh.vertices[6 * v + k] = floatWord(7.0f); // stale normal
    }
    mesh.indices = new uint16_t[triangles.size()];
    memcpy(mesh.indices, triangles.data(), triangles.size() * sizeof(uint16_t));
}

std::vector<float> normalOf(const Mesh& mesh, int vertex) {
    std::vector<float> n(3);
    memcpy(n.data(), &mesh.vertices[vertex * mesh.stride + 3], 3 * sizeof(float));
    return n;
}

} // namespace

TEST(Mesh, FaceNormalOfCounterClockwiseTriangleFacesUp) {
    Mesh mesh;
    fill(mesh, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2});
    float n[3];
    mesh.faceNormal(0, n);
    EXPECT_EQ(n[0], 0.0f);
    EXPECT_EQ(n[1], 0.0f);
    EXPECT_EQ(n[2], 1.0f);
    mesh.computeNormals();
    for (int v = 0; v < 3; ++v) EXPECT_EQ(normalOf(mesh, v), (std::vector<float>{0, 0, 1}));
}

TEST(Mesh, SharedVertexAveragesUnweightedFaceNormals) {
    Mesh mesh;
    // Vertex 0 is shared by a triangle facing +z and a much larger one facing +x.
    fill(mesh, {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 5, 0, 0, 0, 5}, {0, 1, 2, 0, 3, 4});
    mesh.computeNormals();
    std::vector<float> shared = normalOf(mesh, 0);
    EXPECT_FLOAT_EQ(shared[0], 0.70710677f);
    EXPECT_EQ(shared[1], 0.0f);
    EXPECT_FLOAT_EQ(shared[2], 0.70710677f);
    EXPECT_EQ(normalOf(mesh, 1), (std::vector<float>{0, 0, 1}));
    EXPECT_EQ(normalOf(mesh, 4), (std::vector<float>{1, 0, 0}));
}

TEST(Mesh, ZeroNormalSumsGiveZeroNormalsNotNaN) {
    Mesh mesh;
    // A degenerate triangle, an unused vertex, and two faces that cancel at vertices 5 and 6.
    fill(mesh, {0, 0, 0, 1, 1, 1, 2, 2, 2, 9, 9, 9, 0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2, 4, 5, 6, 4, 6, 5});
    float n[3];
    mesh.faceNormal(0, n);
    EXPECT_EQ(n[0], 0.0f);
    EXPECT_EQ(n[1], 0.0f);
    EXPECT_EQ(n[2], 0.0f);
    mesh.computeNormals();
    for (int v = 0; v < mesh.vertexCount; ++v) EXPECT_EQ(normalOf(mesh, v), (std::vector<float>{0, 0, 0}));
}

TEST(Mesh, ComputeNormalsLeavesMeshWithoutNormalAttributeAlone) {
    Mesh mesh;
    mesh.attributeCount = 2;
    mesh.types[0] = 0;
    mesh.components[0] = 3;
    mesh.types[1] = 2;
    mesh.components[1] = 1; // too short for a normal: writing three words would overrun the record
    mesh.updateLayout();
    mesh.vertexCount = 3;
    mesh.triangleCount = 1;
    mesh.vertices = new uint32_t[12]{floatWord(0), 0, 0, 5, floatWord(1), 0, 0, 5, 0, floatWord(1), 0, 5};
    mesh.indices = new uint16_t[3]{0, 1, 2};
    mesh.computeNormals();
    for (int v = 0; v < 3; ++v) EXPECT_EQ(mesh.vertices[4 * v + 3], 5u);

    mesh.types[1] = 3;
    mesh.slotByType[2] = -1;
    mesh.updateLayout();
    mesh.computeNormals();
    for (int v = 0; v < 3; ++v) EXPECT_EQ(mesh.vertices[4 * v + 3], 5u);
}

TEST(Mesh, AttributeWithoutTypeIsFatal) {
    Mesh mesh;
    mesh.attributeCount = 2;
    mesh.types[0] = 0;
    mesh.components[0] = 3;
    // The message goes to standard output; death tests watch standard error.
    EXPECT_EXIT(
        {
            dup2(2, 1);
            mesh.updateLayout();
        },
        ExitedWithCode(1), "Error! Attrib type\\[1\\] = -1\n");
    mesh.types[1] = 16;
    EXPECT_EXIT(
        {
            dup2(2, 1);
            mesh.updateLayout();
        },
        ExitedWithCode(1), "Error! Attrib type\\[1\\] = 16\n");
}

TEST(Mesh, GrowingAModelMovesMeshesWithoutLosingTheirArrays) {
    GrowArray<Mesh> meshes(1);
    std::vector<uint32_t*> arrays;
    for (int i = 0; i < 9; ++i) {
        Mesh& mesh = meshes.appendDefault();
        mesh.vertexCount = i;
        mesh.vertices = new uint32_t[1]{static_cast<uint32_t>(i)};
        arrays.push_back(mesh.vertices);
    }
    EXPECT_EQ(meshes.capacity, 16);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(meshes[i].vertices, arrays[i]);
        EXPECT_EQ(meshes[i].vertices[0], static_cast<uint32_t>(i));
        EXPECT_EQ(meshes[i].vertexCount, i);
    }
    // Moved-from meshes are empty, so nothing is freed twice or read through a stale count.
    Mesh moved(std::move(meshes[0]));
    EXPECT_EQ(meshes[0].vertices, nullptr);
    EXPECT_EQ(meshes[0].vertexCount, 0);
    EXPECT_EQ(moved.vertices, arrays[0]);
}

// Two cubes of side 2 centred at x = -3 and x = 3 in one model, faces of 8 x 8 squares: their
// box spans the gap between them, so points there, and deep inside a cube, are answered from the
// triangles.
TEST(Model, ClearOutsideOnlyWhereNoSideOfTheSurfaceCanBeNear) {
    rovena::Model model;
    appendCube(model, -3, 0, 0, 1, 8);
    appendCube(model, 3, 0, 0, 1, 8);
    const float clearance = 0.2f;
    EXPECT_FALSE(model.clearOutside(std::array<float, 3>{0, 0, 0}.data(), clearance)) << "never measured";
    model.measure();
    EXPECT_EQ(model.bounds.low[0], -4);
    EXPECT_EQ(model.bounds.high[2], 1);

    struct Case {
        std::array<float, 3> point;
        bool clear;
    } cases[] = {
        {{0, 0, 0}, true},       // in the gap, 2 from either cube
        {{0, 0.9f, 0.9f}, true}, // in the gap near the box's edge
        {{0, 0, 1.1f}, true},    // outside the box, but within the clearance of its side
        {{0, 0, 1.3f}, true},    // clear of the box
        {{-3, 0, 0}, false},     // inside a cube
        {{3, 0.5f, 0.5f}, false}, {{1.9f, 0, 0}, false}, // in the gap, within the clearance of a cube
        {{-1.85f, 0, 0}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(model.clearOutside(c.point.data(), clearance), c.clear)
            << c.point[0] << ", " << c.point[1] << ", " << c.point[2];
}

// Culling back faces is right only for a surface that is closed and turns its faces outward; the
// model format promises neither, so each model is judged on its own when it is measured. Any
// other is never clear of its outside: it is drawn with both sides from everywhere.
TEST(Model, OnlyClosedOutwardSurfacesAreCulledFromOutside) {
    const auto flipFirstTriangle = [](rovena::Model& model) { std::swap(model[0].indices[1], model[0].indices[2]); };
    struct Case {
        const char* name;
        std::vector<std::pair<CubeShape, float>> cubes; // shape and x of the centre, side 2
        bool flipOne;
        bool closedOutward;
    } cases[] = {
        {"closed", {{CubeShape::closed, 0}}, false, true},
        {"two closed", {{CubeShape::closed, -3}, {CubeShape::closed, 3}}, false, true},
        {"open", {{CubeShape::openAtMinusY, 0}}, false, false},
        {"inward", {{CubeShape::inward, 0}}, false, false},
        // The pieces' volumes would add up to more than nothing.
        {"closed beside a smaller inward one", {{CubeShape::closed, -3}, {CubeShape::inward, 3}}, false, false},
        {"one triangle turned", {{CubeShape::closed, 0}}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rovena::Model model;
        for (const auto& [shape, x] : c.cubes) appendCube(model, x, 0, 0, shape == CubeShape::inward ? 0.5f : 1, 2, shape);
        if (c.flipOne) flipFirstTriangle(model);
        model.measure();
        EXPECT_EQ(model.closedOutward, c.closedOutward);
        EXPECT_EQ(model.clearOutside(std::array<float, 3>{0, 10, 0}.data(), 0.2f), c.closedOutward);
    }
}
