#pragma once
// The textures the material files name, besides the sky and the environment maps.
#include <string>
#include <vector>

std::vector<std::string> writeMaterialTextures(const std::string& dataDir);
