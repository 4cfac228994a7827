#pragma once
// Scene models: AML files read whole, meshes and all, into a table keyed by the address of the
// caller's name text (never by its characters). The table owns its models. Start-up fills it with
// one entry, "sisa", which nothing draws.
#include <map>

#include "base/GrowArray.h"
#include "geometry/Mesh.h"

struct SceneModel {
    int meshCount = 0;
    GrowArray<Mesh> meshes{16};
};

class SceneModelTable {
public:
    SceneModelTable() = default;
    SceneModelTable(const SceneModelTable&) = delete;
    SceneModelTable& operator=(const SceneModelTable&) = delete;
    ~SceneModelTable();

    std::map<const char*, SceneModel*> entries;
};

// Reads the AML file at exactly `path` into the table under the address of `name`, replacing (and
// freeing) a model held there; flag 1 also expands and uploads the meshes. A file that is missing,
// not AML version 2 or damaged is fatal with a message naming it, as for the model registry.
// Returns 0.
int loadSceneModel(SceneModelTable& table, const char* path, const char* name, int flags);
