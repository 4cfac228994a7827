#pragma once
// Small maths for the model generator, beside the vectors of base/Vector3.h: doubles keep the field
// and the mesher stable; the files store floats.
#include <cmath>

#include "base/Vector3.h"

inline double clamp01(double v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}
inline double mix(double a, double b, double t) {
    return a + (b - a) * t;
}
inline double smoothstep(double e0, double e1, double v) {
    double t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

constexpr double kPi = 3.14159265358979323846;

// Rotation of v about a unit axis by an angle in radians (Rodrigues).
inline Vec3d rotateAbout(const Vec3d& v, const Vec3d& axis, double angle) {
    double c = std::cos(angle), s = std::sin(angle);
    return v * c + cross(axis, v) * s + axis * (dot(axis, v) * (1 - c));
}
