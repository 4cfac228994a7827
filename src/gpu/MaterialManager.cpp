#include "gpu/MaterialManager.h"

#include <GL/glew.h>
#include <algorithm>
#include <cstdio>

#include "gpu/ShaderManager.h"
#include "gpu/TextureManager.h"
#include "base/FatalError.h"
#include "base/FindFile.h"
#include "base/RegularFile.h"

namespace rovena {

void MaterialManager::bind(const std::string& name) {
    const Material& material = get(name);
    shaders.use(material.shader);
    for (int unit = 0; unit < material.textures.count; ++unit) {
        const TextureBinding& binding = material.textures[unit];
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(binding.target, textures.get(binding.texture).id);
        shaders.setUniform1i(binding.uniform, unit);
    }
    glActiveTexture(GL_TEXTURE0);
}

void MaterialManager::unbind() {
    shaders.unuse();
}

void MaterialManager::loadMaterialFile(const std::string& name, const std::string& path) {
    std::string text;
    switch (readTextAsset("Material file", path.c_str(), text)) {
    case TextRead::whole:
        break;
    case TextRead::unopenable:
        fatalError("Could not open material file '%s'.", path.c_str());
    case TextRead::unreadable:
        fatalError("Could not read material file '%s'.", path.c_str());
    }

    MaterialFile parsed;
    std::string error;
    if (!parseMaterialText(text, parsed, error)) fatalError("%s", error.c_str());
    buildMaterial(name, parsed.vertexSource, parsed.fragmentSource, parsed.textures, path);
}

void MaterialManager::buildMaterial(const std::string& name, const std::string& vertexSource,
                                    const std::string& fragmentSource,
                                    const GrowArray<TextureBinding>& bindings,
                                    const std::string& sourceFile) {
    // glActiveTexture accepts units below the larger of these two limits.
    GLint combinedUnits = 0, coordinateUnits = 0;
    glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &combinedUnits);
    glGetIntegerv(GL_MAX_TEXTURE_COORDS, &coordinateUnits);
    int units = std::max(combinedUnits, coordinateUnits);
    if (bindings.count > units)
        fatalError("Material '%s' binds %d textures, but the GL has only %d texture units.", name.c_str(),
                   bindings.count, units);

    for (const TextureBinding& binding : bindings)
        if (!nameStaysInFolder(binding.texture))
            fatalError("%s: the texture name '%s' leads out of the data folder: textures are named by their "
                       "path inside it.",
                       sourceFile.c_str(), printableName(binding.texture).c_str());

    std::string program = "SHD$" + name;
    shaders.addProgram(program, vertexSource, fragmentSource, sourceFile, sourceFile);
    Material& material = entry(name);
    material.shader = program;
    material.textures = bindings;

    for (const TextureBinding& binding : bindings) {
        if (textures.has(binding.texture)) continue;
        if (binding.target == GL_TEXTURE_2D)
            textures.load2D(binding.texture, -1, -1);
        else if (binding.target == GL_TEXTURE_CUBE_MAP)
            textures.loadCube(binding.texture, -1, -1);
        else
            fatalError("Unhandled type %d in %s, line %d!\n", GLint(binding.target), __FILE__, __LINE__);
    }
}

} // namespace rovena
