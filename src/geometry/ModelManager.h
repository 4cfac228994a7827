#pragma once
// Models by name: each a growable array of meshes loaded from data/<name>.aml.
#include <string>

#include "geometry/Mesh.h"
#include "base/GrowArray.h"
#include "base/Manager.h"

namespace rovena {

class Model : public GrowArray<Mesh> {
public:
    explicit Model(int initialCapacity = 16) : GrowArray<Mesh>(initialCapacity) {}
    void draw();
    void computeNormals();
    void createBuffers();
};

class ModelManager : public Manager<Model> {
public:
    std::string typeName() const override { return "model"; }
    // Reads data/<name>.aml into the model of that name and expands its positions.
    void load(const std::string& name);
};

} // namespace rovena
