#pragma once
// Fewer, larger triangles for the software renderer, which pays for every triangle it sets up: a
// model is simplified by edge collapses that keep the surface within an error bound (thin parts
// such as blades and hairs cost too much error to collapse, so they stay), then its triangles are
// ordered for the vertex cache and its vertex records for fetching in that order.
#include "ModelFile.h"

struct ReductionTarget {
    size_t triangleBudget; // at most this many triangles, where the error bound allows
    double maxError;       // largest distance the surface may move, model units
};

struct ReductionReport {
    size_t trianglesBefore = 0, trianglesAfter = 0;
    double error = 0; // the largest deviation reached, model units
};

// Keeps a subset of the vertex records (positions, normals and texture coordinates unchanged)
// and only the positions they use. Triangles the stored floats give no normal are dropped.
ModelMesh reduceMesh(const ModelMesh& model, const ReductionTarget& target,
                     ReductionReport* report = nullptr);
