#pragma once
// The boulder-field sky cube map and the three environment pictures. Each writer returns the
// paths it wrote.
#include <string>
#include <vector>

#include "pictures/Shade.h"

// World direction (+Z up) of the cube-map texel (column, row) of face `face` (0..5 = +X, -X, +Y,
// -Y, +Z, -Z), with `row` counted from the top of the face file. The engine flips every picture
// on load, so file row 0 lands on the last GL row, t = 1.
Vec3 cubeFaceDirection(int face, float column, float row, int size);

std::vector<std::string> writeKivikko(const std::string& dataDir, int size);
std::vector<std::string> writeEnvironmentMaps(const std::string& dataDir, int size);
