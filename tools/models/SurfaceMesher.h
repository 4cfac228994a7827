#pragma once
// Turns a signed scalar field (negative inside) into a closed triangle mesh: marching cubes over a
// regular grid, evaluated only in blocks near the surface, then relaxed along the surface so the
// triangles are even (the engine averages unit face normals without weights, so slivers would
// show as noise in the shading). Results are the same on every run and for any thread count.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "Shapes.h"
#include "Maths.h"

using ScalarField = std::function<double(const Vec3d&)>;

struct SurfaceMesh {
    std::vector<Vec3d> positions;
    std::vector<Vec3d> normals;                      // unit, one per position
    std::vector<std::array<uint32_t, 3>> triangles; // counter-clockwise seen from outside
};

struct MeshingGrid {
    Bounds box;             // the surface must lie inside
    double cellSize;        // grid spacing, model units
    double lipschitz = 1.5; // bound on |gradient| of the field; larger is safer and slower
};

// Triangles of each of the 256 corner sign cases, as lists of cube edges, three per triangle.
// Corner c sits at (c & 1, c >> 1 & 1, c >> 2 & 1); edge a * 4 + k runs along axis a.
const std::vector<std::vector<int>>& marchingCubesCases();

SurfaceMesh polygonise(const ScalarField& field, const MeshingGrid& grid);
// Moves each vertex towards the centre of its neighbours within the tangent plane and projects it
// back onto the surface.
void relaxOntoSurface(SurfaceMesh& mesh, const ScalarField& field, double cellSize, int iterations);
// Normals from the field's gradient; vertices where it vanishes take the area-weighted face normal.
void computeFieldNormals(SurfaceMesh& mesh, const ScalarField& field, double step);
// Whether the triangle's corners, stored as floats, give the loader a face normal.
bool givesFloatNormal(const Vec3d& a, const Vec3d& b, const Vec3d& c);
// Drops triangles whose float positions give no normal and vertices no triangle uses.
void removeDegenerateTriangles(SurfaceMesh& mesh);

// Runs body(i) for i in [0, count) on a few threads; every i runs exactly once.
void parallelFor(size_t count, const std::function<void(size_t)>& body);
