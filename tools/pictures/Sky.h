#pragma once
// The boulder-field sky cube map and the three environment pictures. Each writer returns the
// paths it wrote.
#include <string>
#include <vector>

#include "pictures/Shade.h"

// World direction (+Z up) of the cube-map texel (column, row) of face `face` (0..5 = +X, -X, +Y,
// -Y, +Z, -Z), with `row` counted from the top of the face file. The engine flips every picture
// on load, so file row 0 lands on the last GL row, t = 1.
inline Vec3 cubeFaceDirection(int face, float column, float row, int size) {
    // GL picks a face by the major axis and maps the other two to (s, t) as below; this is the
    // inverse. s grows with the column, t with the GL row, which is the file row turned over.
    float sc = 2.0f * (column + 0.5f) / size - 1.0f;
    float tc = 2.0f * (size - row - 0.5f) / size - 1.0f;
    switch (face) {
    case 0:
        return normalize(Vec3{1, -tc, -sc});
    case 1:
        return normalize(Vec3{-1, -tc, sc});
    case 2:
        return normalize(Vec3{sc, 1, tc});
    case 3:
        return normalize(Vec3{sc, -1, -tc});
    case 4:
        return normalize(Vec3{sc, -tc, 1});
    default:
        return normalize(Vec3{-sc, -tc, -1});
    }
}

// Where the sun and the moon stand in the sky's frame (+Z up), and their discs' angular radii in
// radians. The paints that mirror the sky light their sparkle from the same sun.
inline const Vec3 kSunDirection = normalize(Vec3{0.62f, 0.74f, 0.16f});
inline const Vec3 kMoonDirection = normalize(Vec3{-0.377f, -0.807f, 0.454f});
constexpr float kSunRadius = 0.035f;
constexpr float kMoonRadius = 0.026f;

// The size of the faces pictures of 800 by 600 and smaller read: about a texel a pixel through the
// 90-degree view. Larger faces are drawn with the detail their finer texels hold besides.
constexpr int kKivikkoBaseSize = 512;

// Six faces of `size` texels, data/<name>_c00 .. _c05.
std::vector<std::string> writeKivikko(const std::string& dataDir, int size, const char* name = "kivikko");
std::vector<std::string> writeEnvironmentMaps(const std::string& dataDir, int size);
