#pragma once
// Helpers for the content tests, which check the generated and hand-written assets in the build's
// run-time data directory against the show's own load lists.
#include <string>
#include <vector>

#include "demo/Content.h"

// Pictures the show loads by name: the loading picture and the set-up's, besides those named in
// material files. The load lists themselves are the program's own (demo/Content.h).
std::vector<std::string> showPictures();
// Whether a name is one of the render textures registered before the materials load.
bool isRenderTexture(const std::string& name);

// <build>/data. Inline: the build directory is known to the test executables, not to this library.
#ifdef LUMORAKKA_BUILD_DIR
inline std::string buildDataDir() {
    return std::string(LUMORAKKA_BUILD_DIR) + "/data";
}
#endif
// data/<name>.png if present, else data/<name>.jpg if present, else "" (the engine's preference).
std::string findPictureFile(const std::string& dataDir, const std::string& name);
std::string readWholeFile(const std::string& path);
