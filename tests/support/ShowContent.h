#pragma once
// What the show loads from the run-time data directory of the build: the material loads in their
// order and the pictures they and the set-up name. Content tests check the generated and
// hand-written assets against this list.
#include <string>
#include <vector>

struct MaterialLoad {
    const char* name; // registry name
    const char* file; // path relative to the build directory
};

// The seventeen material loads, in load order; the first five load textures that repeat.
const std::vector<MaterialLoad>& showMaterialLoads();
// Pictures the set-up loads by name, besides those named in material files.
const std::vector<std::string>& showPictures();
// Render textures registered before the materials load; a material may sample them.
const std::vector<std::string>& renderTextureNames();

// <build>/data. Inline: the build directory is known to the test executables, not to this library.
#ifdef LUMORAKKA_BUILD_DIR
inline std::string buildDataDir() {
    return std::string(LUMORAKKA_BUILD_DIR) + "/data";
}
#endif
// data/<name>.png if present, else data/<name>.jpg if present, else "" (the engine's preference).
std::string findPictureFile(const std::string& dataDir, const std::string& name);
std::string readWholeFile(const std::string& path);
