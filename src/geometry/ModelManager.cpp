#include "geometry/ModelManager.h"

#include <cstring>

#include "geometry/AmlReader.h"
#include "geometry/ResDesc.h"
#include "base/FindFile.h"

namespace rovena {

void Model::draw() {
    for (int i = 0; i < count; ++i) items[i].draw();
}

void Model::measureBounds() {
    Box box;
    for (int i = 0; i < count; ++i) {
        const Mesh& mesh = items[i];
        if (mesh.slotByType[0] < 0) continue;
        const int offset = mesh.attributeOffset(mesh.slotByType[0]);
        for (int v = 0; v < mesh.vertexCount; ++v) {
            const uint32_t* position = mesh.vertices + static_cast<size_t>(v) * mesh.stride + offset;
            for (int k = 0; k < 3; ++k) {
                float value;
                memcpy(&value, &position[k], sizeof value);
                box.low[k] = std::fmin(box.low[k], value);
                box.high[k] = std::fmax(box.high[k], value);
            }
        }
    }
    bounds = box;
}

void Model::computeNormals() {
    for (int i = 0; i < count; ++i) items[i].computeNormals();
}

void Model::createBuffers() {
    for (int i = 0; i < count; ++i) items[i].createBuffers();
}

void ModelManager::load(const std::string& name) {
    std::string path = findFile("data", name, "aml");
    // A model already under this name is replaced: its meshes go now.
    entry(name).reset(16);
    Model& model = get(name);
    {
        ResDescFile file(path.c_str());
        readAml(file, model, fatalAmlError(path));
    }
    for (Mesh& mesh : model) mesh.expandPositions();
    model.measureBounds();
}

} // namespace rovena
