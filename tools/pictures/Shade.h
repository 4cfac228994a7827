#pragma once
// Small maths for the picture generator: colours and directions as three floats (Vec3, from
// base/Vector3.h), value noise and fractal sums. Every function is a pure function of its
// arguments, so pictures come out the same on every run.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/Vector3.h"

inline float mix(float a, float b, float t) {
    return a + (b - a) * t;
}
inline float clamp01(float v) {
    return std::min(1.0f, std::max(0.0f, v));
}
inline float smoothstep(float e0, float e1, float v) {
    float t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// Integer hash to [0, 1); the same lattice point always gives the same value.
inline float hash2(int x, int y, uint32_t seed = 0) {
    uint32_t h =
        static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return static_cast<float>(h & 0xffffffu) / 16777216.0f;
}

// Smooth value noise in [0, 1); `period` > 0 makes it tile every `period` lattice cells.
inline float valueNoise(float x, float y, uint32_t seed = 0, int period = 0) {
    float fx = std::floor(x), fy = std::floor(y);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto wrap = [period](int v) { return period > 0 ? ((v % period) + period) % period : v; };
    int x0 = wrap(ix), x1 = wrap(ix + 1), y0 = wrap(iy), y1 = wrap(iy + 1);
    float a = hash2(x0, y0, seed), b = hash2(x1, y0, seed), c = hash2(x0, y1, seed), d = hash2(x1, y1, seed);
    return mix(mix(a, b, tx), mix(c, d, tx), ty);
}

// Fractal sum of `octaves` value-noise layers, normalised to [0, 1).
inline float fbm(float x, float y, int octaves, uint32_t seed = 0, int period = 0) {
    float sum = 0, amplitude = 0.5f, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * valueNoise(x, y, seed + static_cast<uint32_t>(i) * 17u, period);
        total += amplitude;
        amplitude *= 0.5f;
        // Whole-cell offsets keep a tiling sum tiling; the odd factor breaks up lattice alignment.
        float scale = period > 0 ? 2.0f : 2.03f;
        x = x * scale + 17.0f;
        y = y * scale - 31.0f;
        period *= 2;
    }
    return sum / total;
}
