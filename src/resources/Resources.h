#pragma once
// The one process-wide aggregate of the five registries. Managers reach one another through it;
// none holds a pointer to another. The post-processing passes are operations of it too.
#include <string>

#include "geometry/ModelManager.h"
#include "gpu/FBOManager.h"
#include "gpu/MaterialManager.h"
#include "gpu/ShaderManager.h"
#include "gpu/TextureManager.h"

class Resources {
public:
    rovena::TextureManager textures;
    rovena::ShaderManager shaders;
    rovena::MaterialManager materials;
    rovena::ModelManager models;
    rovena::FBOManager fbos;

    // Post-processing passes over render targets (fixed-function GL, no program).
    void drawFullscreen(const std::string& name, float scale);
    void blur(const std::string& source, const std::string& destination, int passes, float verticalOffset,
              float horizontalOffset, float strength);
    void glow(const std::string& source, const std::string& destination, int layers, float strength);
};

extern Resources resources;
