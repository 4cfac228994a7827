#pragma once
// Models by name: each a growable array of meshes loaded from data/<name>.aml.
#include <cmath>
#include <string>

#include "geometry/Mesh.h"
#include "base/GrowArray.h"
#include "base/Manager.h"

namespace rovena {

// An axis-aligned box in model units; a box around nothing runs from +infinity to -infinity.
struct Box {
    float low[3] = {INFINITY, INFINITY, INFINITY};
    float high[3] = {-INFINITY, -INFINITY, -INFINITY};
};

class Model : public GrowArray<Mesh> {
public:
    explicit Model(int initialCapacity = 16) : GrowArray<Mesh>(initialCapacity) {}
    void draw();
    void computeNormals();
    void createBuffers();
    // Sets `bounds` to the box around every vertex position of every mesh, and `closedOutward`.
    void measure();
    // Whether `point` is sure to lie outside the closed surface the meshes make, more than
    // `clearance` from every part of it. A point that far outside `bounds` is answered at once;
    // one within the box costs a pass over the triangles: the surface's winding number about the
    // point, with every triangle's bounding sphere at least `clearance` away. False when in doubt,
    // for a model that is not closedOutward, and for one never measured.
    bool clearOutside(const float point[3], float clearance) const;

    Box bounds; // as last measured; load measures it
    // The surface is closed (every edge between two positions is crossed as often one way as the
    // other) and each connected piece of it encloses a positive volume: its faces turn
    // counter-clockwise seen from outside. Only then can no back face show from outside it. The
    // model format doesn't promise either.
    bool closedOutward = false;
};

class ModelManager : public Manager<Model> {
public:
    std::string typeName() const override { return "model"; }
    // Reads data/<name>.aml into the model of that name and expands its positions.
    void load(const std::string& name);
};

} // namespace rovena
