#pragma once
// Materials: a program plus the textures it samples, each on its own unit and wired to its
// sampler. Material files hold both shader sources and one %TEX line per texture; loading one
// compiles "SHD$<name>" and loads textures that aren't registered yet.
#include <string>

#include "resources/GrowArray.h"
#include "resources/Manager.h"

namespace rovena {

struct TextureBinding {
    unsigned int target = 0; // GL_TEXTURE_2D, _3D, _1D or GL_TEXTURE_CUBE_MAP
    std::string uniform;     // sampler uniform in the material's program
    std::string texture;     // name in the texture manager
};

struct Material {
    std::string shader;                // "SHD$" + the material's name
    GrowArray<TextureBinding> textures{16}; // binding i uses texture unit i
};

class MaterialManager : public UseManager<Material> {
public:
    std::string typeName() const override { return "material"; }
    void bind(const std::string& name) override;
    void unbind() override;

    void loadMaterialFile(const std::string& name, const std::string& path);
    void buildMaterial(const std::string& name, const std::string& vertexSource,
                       const std::string& fragmentSource, const GrowArray<TextureBinding>& textures);
};

} // namespace rovena
