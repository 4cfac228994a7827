#pragma once
// The demo's models, each built from code. All are centred on the origin with +Z up.
#include <functional>

#include "ModelFile.h"
#include "Shapes.h"
#include "SurfaceMesher.h"

// How an implicit model gets texture coordinates. Longitudes run 0 to 1 and back (mirrored), so
// the coordinates are continuous all round and no vertex has to be split along a seam (a split
// vertex would get its own, one-sided normal when the engine recomputes normals).
enum class TextureMapping {
    AroundZ, // s = longitude about Z, t = height
    AroundX, // s = position along X, t = longitude about X
};

struct ImplicitModel {
    ScalarField field;
    Bounds box;      // contains the surface
    double cellSize; // marching cubes grid spacing
    double lipschitz = 1.5;
    int relaxIterations = 3;
    TextureMapping mapping = TextureMapping::AroundZ;
    double size = 5.8; // the finished model's largest side, model units
};

// Polygonises, evens out, then scales the model to `size` and centres its bounding box on the origin.
ModelMesh buildImplicit(const ImplicitModel& model);

// A closed tube or sheet from a grid of points that wraps in both directions (u, v);
// vertices are shared across both wraps. The result is wound outwards and centred on the origin.
ModelMesh buildWrappedGrid(int uCount, int vCount, const std::function<Vec3d(int, int)>& point);

// Turns a model about +Z (counter-clockwise seen from above) and centres its box on the origin again.
void turnAboutZ(ModelMesh& mesh, double radians);

// Scales a model centred on the origin so the largest side of its bounding box is `side`.
void fitLargestSide(ModelMesh& mesh, double side);

ModelMesh makePallo();
ModelMesh makeOvaali();
ModelMesh makePah();
ModelMesh makeNinja();
ModelMesh makeBakteeri();
ModelMesh makeDemoni();
