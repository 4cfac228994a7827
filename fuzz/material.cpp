// Material files: the parser that splits the shader sources and reads the texture lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gpu/MaterialFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MaterialFile parsed;
    std::string error;
    if (!parseMaterialText(std::string(reinterpret_cast<const char*>(data), size), parsed, error)) return 0;
    // What the registry takes from an accepted file stays within the scan's bounds.
    for (const rovena::TextureBinding& binding : parsed.textures)
        if (binding.uniform.size() > materialNameBytes || binding.texture.size() > materialNameBytes) abort();
    return 0;
}
