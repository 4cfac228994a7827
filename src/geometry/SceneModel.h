#pragma once
// A model loaded by DemoContext::loadSceneModel: the mesh count read from the file and the meshes.
#include "geometry/Mesh.h"
#include "base/GrowArray.h"

struct SceneModel {
    int meshCount = 0;
    GrowArray<Mesh> meshes{16};
};
