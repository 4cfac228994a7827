#pragma once
// Materials: a program plus the textures it samples, each on its own unit and wired to its
// sampler. Material files hold both shader sources and one %TEX line per texture; loading one
// compiles "SHD$<name>" and loads textures that aren't registered yet.
#include <string>

#include "base/GrowArray.h"
#include "base/Manager.h"
#include "gpu/MaterialFile.h"

namespace rovena {

class ShaderManager;
class TextureManager;

struct Material {
    std::string shader;                     // "SHD$" + the material's name
    GrowArray<TextureBinding> textures{16}; // binding i uses texture unit i
};

// Binds through the texture and shader registries it is made with (the two of Resources).
class MaterialManager : public UseManager<Material> {
public:
    MaterialManager(TextureManager& textures, ShaderManager& shaders)
        : textures(textures), shaders(shaders) {}
    std::string typeName() const override { return "material"; }
    void bind(const std::string& name) override;
    void unbind() override;

    void loadMaterialFile(const std::string& name, const std::string& path);
    // sourceFile, when given, is named in the shaders' compile errors.
    void buildMaterial(const std::string& name, const std::string& vertexSource,
                       const std::string& fragmentSource, const GrowArray<TextureBinding>& bindings,
                       const std::string& sourceFile = "");

private:
    TextureManager& textures;
    ShaderManager& shaders;
};

} // namespace rovena
