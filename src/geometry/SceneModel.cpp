#include "geometry/SceneModel.h"

#include <memory>

#include "geometry/AmlReader.h"
#include "geometry/ResDesc.h"

SceneModelTable::~SceneModelTable() {
    for (auto& named : entries) delete named.second;
}

int loadSceneModel(SceneModelTable& table, const char* path, const char* name, int flags) {
    auto model = std::make_unique<SceneModel>();
    {
        ResDescFile file(path);
        model->meshCount = readAml(file, model->meshes, fatalAmlError(path));
    }
    if (flags & 1) {
        for (Mesh& mesh : model->meshes) {
            mesh.expandPositions();
            mesh.createBuffers();
        }
    }
    SceneModel*& slot = table.entries[name];
    delete slot;
    slot = model.release();
    return 0;
}
