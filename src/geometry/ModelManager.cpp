#include "geometry/ModelManager.h"

#include "geometry/AmlReader.h"
#include "geometry/ResDesc.h"
#include "base/FindFile.h"

namespace rovena {

void Model::draw() {
    for (int i = 0; i < count; ++i) items[i].draw();
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
}

} // namespace rovena
