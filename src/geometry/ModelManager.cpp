#include "geometry/ModelManager.h"

#include "geometry/AmlReader.h"
#include "geometry/ResDesc.h"
#include "base/FindFile.h"
#include "base/FatalError.h"

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
        readAml(file, model, [&path](const AmlError& error) {
            switch (error.kind) {
            case AmlError::NotAml:
                fatalError("File '%s' is not AML file (or is format version 0).\n", path.c_str());
            case AmlError::WrongVersion:
                fatalError("File '%s' is not AML format 2 file (format = %d).\n", path.c_str(),
                           error.version);
            case AmlError::Damaged:
                fatalError("File '%s' is damaged AML file: %s.\n", path.c_str(), error.detail.c_str());
            }
        });
    }
    for (Mesh& mesh : model) mesh.expandPositions();
}

} // namespace rovena
