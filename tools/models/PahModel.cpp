// pah: a fat trefoil knot whose tube carries twisted, rounded ribs with narrow grooves between
// them, swelling and thinning as it winds.
#include "Models.h"

namespace {

constexpr int kTurns = 2;       // windings about the Z axis
constexpr int kLoops = 3;       // windings through the hole
constexpr double kMajor = 1.7;  // radius of the torus the knot lies on
constexpr double kMinor = 0.78; // radius of the knot's path about that torus
constexpr double kTube = 0.4;   // tube radius before ribs and swelling
constexpr int kRibs = 7;
constexpr int kRibTwists = 9; // turns of the ribs along the whole knot
// How far the loops rise and fall through the hole, over kMinor. The far orbits (eight to ten
// times scale 3) see the knot from the side, where a flat knot is a thin band; at 2 it stands
// about 1.4 times as tall as it did at 1.25, with the same width.
constexpr double kRise = 2.0;
// The knot is turned about Z so that the sequence camera's low sweeps pass through its gaps
// rather than through its tube; the turn was chosen, with kRise, by trying every few degrees
// against every orbit that shows the knot.
constexpr double kTurn = 22.0 * kPi / 180.0;

Vec3d knotPoint(double a) {
    double ring = kMajor + kMinor * std::cos(kLoops * a);
    return Vec3d(ring * std::cos(kTurns * a + kTurn), ring * std::sin(kTurns * a + kTurn),
                kMinor * std::sin(kLoops * a) * kRise);
}

} // namespace

ModelMesh makePah() {
    const int along = 640, around = 96;
    return buildWrappedGrid(along, around, [&](int i, int j) {
        double a = 2 * kPi * i / along;
        double theta = 2 * kPi * j / around;
        const double d = 1e-4;
        Vec3d p = knotPoint(a), prev = knotPoint(a - d), next = knotPoint(a + d);
        Vec3d tangent = normalize(next - prev);
        Vec3d bend = next + prev - p * 2;
        Vec3d normal = normalize(bend - tangent * dot(bend, tangent));
        Vec3d binormal = cross(tangent, normal);
        double swell = 1 + 0.16 * std::sin(3 * a + 0.7) + 0.05 * std::sin(9 * a);
        double phase = kRibs * theta + kRibTwists * a;
        double c = std::cos(phase);
        // Wide rounded ribs, narrow grooves: the groove only bites where the cosine peaks.
        double groove = 0.17 * std::pow(std::fmax(c, 0.0), 4) + 0.035 * (1 - c) * 0.5;
        double radius = kTube * swell * (1 - groove);
        return p + (normal * std::cos(theta) + binormal * std::sin(theta)) * radius;
    });
}
