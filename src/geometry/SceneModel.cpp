#include "geometry/SceneModel.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "clock/DemoContext.h"
#include "geometry/AmlReader.h"
#include "geometry/ResDesc.h"

DemoContext::~DemoContext() {
    // The table owns its scene models.
    for (auto& named : sceneModels) delete named.second;
    sceneModels.clear();
    programs.clear();
}

int DemoContext::loadSceneModel(const char* path, const char* name, int flags) {
    auto model = std::make_unique<SceneModel>();
    {
        ResDescFile file(path);
        model->meshCount = readAml(file, model->meshes, [path](const AmlError& error) {
            switch (error.kind) {
            case AmlError::NotAml:
                fprintf(stderr, "File is not AML file (or is format version 0).\n");
                break;
            case AmlError::WrongVersion:
                fprintf(stderr, "AML format version != 2\n");
                break;
            case AmlError::Damaged:
                fprintf(stderr, "AML file %s is damaged: %s.\n", path, error.detail.c_str());
                break;
            }
            exit(1);
        });
        if (flags & 1) {
            for (Mesh& mesh : model->meshes) {
                mesh.expandPositions();
                mesh.createBuffers();
            }
        }
        // The table is keyed by the caller's text address; a record it held before is freed here.
        SceneModel*& slot = sceneModels[name];
        delete slot;
        slot = model.release();
    }
    return 0;
}
