#pragma once
// Signed distance primitives (negative inside), smooth blends, gradient noise, and ShapeList: an
// ordered list of primitives combined by smooth union or subtraction, where each primitive carries
// a bounding box so that far-away primitives cost one box test.
#include <algorithm>
#include <functional>
#include <vector>

#include "Maths.h"

double sdSphere(const Vec3d& p, const Vec3d& centre, double radius);
// Close to the true distance near the surface, which is all the mesher needs.
double sdEllipsoid(const Vec3d& p, const Vec3d& centre, const Vec3d& radii);
double sdCapsule(const Vec3d& p, const Vec3d& a, const Vec3d& b, double radius);
// A capsule whose radius runs linearly from ra at a to rb at b; exact for |ra - rb| < |b - a|.
double sdRoundCone(const Vec3d& p, const Vec3d& a, const Vec3d& b, double ra, double rb);
double sdTorus(const Vec3d& p, const Vec3d& centre, const Vec3d& axis, double majorRadius, double minorRadius);
// A box with rounded edges in the frame (u, v, w) about `centre`; halfSize includes the rounding.
double sdRoundBox(const Vec3d& p, const Vec3d& centre, const Vec3d& u, const Vec3d& v, const Vec3d& w,
                  const Vec3d& halfSize, double rounding);

// Polynomial smooth minimum: equals min(a, b) once they differ by more than k.
double smoothMin(double a, double b, double k);
double smoothMax(double a, double b, double k);

// Gradient noise in about [-1, 1], periodic in nothing, the same on every run.
double gradientNoise(const Vec3d& p);
double fractalNoise(const Vec3d& p, int octaves);

// Points on the Catmull-Rom spline through `controls`, `perSpan` steps between neighbours, ends
// included. Used to make tubes and ribbons flow instead of kinking at their control points.
std::vector<Vec3d> smoothPath(const std::vector<Vec3d>& controls, int perSpan);
// Linear resampling of per-control values to match smoothPath.
std::vector<double> smoothValues(const std::vector<double>& values, int perSpan);

struct Bounds {
    Vec3d lo{1e30, 1e30, 1e30};
    Vec3d hi{-1e30, -1e30, -1e30};
    void add(const Vec3d& p) {
        lo = componentMin(lo, p);
        hi = componentMax(hi, p);
    }
    void add(const Bounds& b) {
        lo = componentMin(lo, b.lo);
        hi = componentMax(hi, b.hi);
    }
    Bounds grown(double margin) const {
        return {lo - Vec3d(margin, margin, margin), hi + Vec3d(margin, margin, margin)};
    }
    // Squared distance from p to the box, 0 inside it.
    double distanceSquared(const Vec3d& p) const {
        double dx = std::max(std::max(lo.x - p.x, p.x - hi.x), 0.0);
        double dy = std::max(std::max(lo.y - p.y, p.y - hi.y), 0.0);
        double dz = std::max(std::max(lo.z - p.z, p.z - hi.z), 0.0);
        return dx * dx + dy * dy + dz * dz;
    }
    // True when every point of the shape inside the box is at least `threshold` away from p.
    bool fartherThan(const Vec3d& p, double threshold) const {
        double d2 = distanceSquared(p);
        return d2 > 0 && (threshold <= 0 || d2 >= threshold * threshold);
    }
    bool empty() const { return lo.x > hi.x; }
};

class ShapeList {
  public:
    enum class Op { Union, Subtract };
    using Distance = std::function<double(const Vec3d&)>;

    // `bounds` must contain every point where `distance` is negative.
    void add(Op op, double blend, const Bounds& bounds, Distance distance);

    void sphere(Op op, double blend, const Vec3d& c, double r);
    void ellipsoid(Op op, double blend, const Vec3d& c, const Vec3d& radii);
    void capsule(Op op, double blend, const Vec3d& a, const Vec3d& b, double r);
    void roundCone(Op op, double blend, const Vec3d& a, const Vec3d& b, double ra, double rb);
    void torus(Op op, double blend, const Vec3d& c, const Vec3d& axis, double major, double minor);
    void roundBox(Op op, double blend, const Vec3d& c, const Vec3d& u, const Vec3d& v, const Vec3d& w,
                  const Vec3d& halfSize, double rounding);
    // A tapering tube through the points, radius interpolated from `radii`, one round cone a span.
    void tube(Op op, double blend, const std::vector<Vec3d>& points, const std::vector<double>& radii);

    // A flat strip through the points: `side` gives the direction of its width at each point.
    void ribbon(Op op, double blend, const std::vector<Vec3d>& points, const std::vector<Vec3d>& side,
                const std::vector<double>& widths, double thickness);
    // A round cone wound with `turns` raised bands of height `ridge`, like wrapped cloth or cord.
    void woundCone(Op op, double blend, const Vec3d& a, const Vec3d& b, double ra, double rb, int turns,
                   double ridge);

    // Starts from `start` (1e9: empty space) and applies the shapes in order.
    double evaluate(const Vec3d& p, double start = 1e9) const;
    const Bounds& bounds() const { return unionBounds; }

  private:
    struct Entry {
        Op op;
        double blend;
        Bounds bounds;
        Distance distance;
    };
    std::vector<Entry> entries;
    Bounds unionBounds;
};
