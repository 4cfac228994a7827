#include "Shapes.h"

#include <algorithm>
#include <cstdint>

double sdSphere(const Vec3d& p, const Vec3d& centre, double radius) {
    return length(p - centre) - radius;
}

double sdEllipsoid(const Vec3d& p, const Vec3d& centre, const Vec3d& radii) {
    Vec3d q = p - centre;
    double k0 = length(Vec3d(q.x / radii.x, q.y / radii.y, q.z / radii.z));
    double k1 = length(Vec3d(q.x / (radii.x * radii.x), q.y / (radii.y * radii.y), q.z / (radii.z * radii.z)));
    if (k1 < 1e-12) return -std::min(radii.x, std::min(radii.y, radii.z));
    return k0 * (k0 - 1.0) / k1;
}

double sdCapsule(const Vec3d& p, const Vec3d& a, const Vec3d& b, double radius) {
    Vec3d pa = p - a, ba = b - a;
    double h = clamp01(dot(pa, ba) / std::max(dot(ba, ba), 1e-18));
    return length(pa - ba * h) - radius;
}

double sdRoundCone(const Vec3d& p, const Vec3d& a, const Vec3d& b, double ra, double rb) {
    Vec3d ba = b - a;
    double l2 = dot(ba, ba);
    if (l2 < 1e-18) return length(p - a) - std::max(ra, rb);
    double rr = ra - rb;
    double a2 = l2 - rr * rr;
    double il2 = 1.0 / l2;
    Vec3d pa = p - a;
    double y = dot(pa, ba);
    double z = y - l2;
    Vec3d xv = pa * l2 - ba * y;
    double x2 = dot(xv, xv);
    double y2 = y * y * l2;
    double z2 = z * z * l2;
    double k = (rr > 0 ? 1 : (rr < 0 ? -1 : 0)) * rr * rr * x2;
    if ((z > 0 ? 1 : (z < 0 ? -1 : 0)) * a2 * z2 > k) return std::sqrt(x2 + z2) * il2 - rb;
    if ((y > 0 ? 1 : (y < 0 ? -1 : 0)) * a2 * y2 < k) return std::sqrt(x2 + y2) * il2 - ra;
    return (std::sqrt(x2 * a2 * il2) + y * rr) * il2 - ra;
}

double sdTorus(const Vec3d& p, const Vec3d& centre, const Vec3d& axis, double majorRadius, double minorRadius) {
    Vec3d q = p - centre;
    double along = dot(q, axis);
    double radial = length(q - axis * along);
    double dx = radial - majorRadius;
    return std::sqrt(dx * dx + along * along) - minorRadius;
}

double sdRoundBox(const Vec3d& p, const Vec3d& centre, const Vec3d& u, const Vec3d& v, const Vec3d& w,
                  const Vec3d& halfSize, double rounding) {
    Vec3d d = p - centre;
    Vec3d q(std::fabs(dot(d, u)) - halfSize.x + rounding, std::fabs(dot(d, v)) - halfSize.y + rounding,
           std::fabs(dot(d, w)) - halfSize.z + rounding);
    Vec3d outside = componentMax(q, Vec3d(0, 0, 0));
    return length(outside) + std::min(std::max(q.x, std::max(q.y, q.z)), 0.0) - rounding;
}

double smoothMin(double a, double b, double k) {
    if (k <= 0) return std::min(a, b);
    double h = std::max(k - std::fabs(a - b), 0.0) / k;
    return std::min(a, b) - h * h * k * 0.25;
}

double smoothMax(double a, double b, double k) {
    return -smoothMin(-a, -b, k);
}

namespace {

uint32_t hash3(int32_t x, int32_t y, int32_t z) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^
                 static_cast<uint32_t>(z) * 0xcb1ab31fu;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

// The twelve edge directions of a cube, the usual choice that avoids axis-aligned artefacts.
const double kGradients[12][3] = {{1, 1, 0},  {-1, 1, 0},  {1, -1, 0}, {-1, -1, 0}, {1, 0, 1},  {-1, 0, 1},
                                  {1, 0, -1}, {-1, 0, -1}, {0, 1, 1},  {0, -1, 1},  {0, 1, -1}, {0, -1, -1}};

double corner(int32_t ix, int32_t iy, int32_t iz, double fx, double fy, double fz) {
    const double* g = kGradients[hash3(ix, iy, iz) % 12];
    return g[0] * fx + g[1] * fy + g[2] * fz;
}

double fade(double t) {
    return t * t * t * (t * (t * 6 - 15) + 10);
}

} // namespace

double gradientNoise(const Vec3d& p) {
    double fx = std::floor(p.x), fy = std::floor(p.y), fz = std::floor(p.z);
    int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy), iz = static_cast<int32_t>(fz);
    double x = p.x - fx, y = p.y - fy, z = p.z - fz;
    double u = fade(x), v = fade(y), w = fade(z);
    double c000 = corner(ix, iy, iz, x, y, z), c100 = corner(ix + 1, iy, iz, x - 1, y, z);
    double c010 = corner(ix, iy + 1, iz, x, y - 1, z), c110 = corner(ix + 1, iy + 1, iz, x - 1, y - 1, z);
    double c001 = corner(ix, iy, iz + 1, x, y, z - 1), c101 = corner(ix + 1, iy, iz + 1, x - 1, y, z - 1);
    double c011 = corner(ix, iy + 1, iz + 1, x, y - 1, z - 1);
    double c111 = corner(ix + 1, iy + 1, iz + 1, x - 1, y - 1, z - 1);
    double x00 = mix(c000, c100, u), x10 = mix(c010, c110, u), x01 = mix(c001, c101, u),
           x11 = mix(c011, c111, u);
    return mix(mix(x00, x10, v), mix(x01, x11, v), w);
}

double fractalNoise(const Vec3d& p, int octaves) {
    double sum = 0, amplitude = 1, norm = 0;
    Vec3d q = p;
    for (int i = 0; i < octaves; ++i) {
        sum += gradientNoise(q) * amplitude;
        norm += amplitude;
        amplitude *= 0.5;
        // Offset each octave so their lattices do not line up at the origin.
        q = q * 2.03 + Vec3d(17.3, -9.1, 4.7);
    }
    return sum / norm;
}

std::vector<Vec3d> smoothPath(const std::vector<Vec3d>& controls, int perSpan) {
    std::vector<Vec3d> points;
    const size_t n = controls.size();
    for (size_t i = 0; i + 1 < n; ++i) {
        Vec3d p0 = controls[i > 0 ? i - 1 : 0], p1 = controls[i], p2 = controls[i + 1];
        Vec3d p3 = controls[i + 2 < n ? i + 2 : n - 1];
        for (int step = 0; step < perSpan; ++step) {
            double t = static_cast<double>(step) / perSpan, t2 = t * t, t3 = t2 * t;
            points.push_back((p1 * 2 + (p2 - p0) * t + (p0 * 2 - p1 * 5 + p2 * 4 - p3) * t2 +
                              (p1 * 3 - p0 - p2 * 3 + p3) * t3) *
                             0.5);
        }
    }
    points.push_back(controls.back());
    return points;
}

std::vector<double> smoothValues(const std::vector<double>& values, int perSpan) {
    std::vector<double> out;
    for (size_t i = 0; i + 1 < values.size(); ++i)
        for (int step = 0; step < perSpan; ++step)
            out.push_back(mix(values[i], values[i + 1], static_cast<double>(step) / perSpan));
    out.push_back(values.back());
    return out;
}

void ShapeList::add(Op op, double blend, const Bounds& bounds, Distance distance) {
    entries.push_back({op, blend, bounds, std::move(distance)});
    if (op == Op::Union) unionBounds.add(bounds);
}

void ShapeList::sphere(Op op, double blend, const Vec3d& c, double r) {
    Bounds b{c - Vec3d(r, r, r), c + Vec3d(r, r, r)};
    add(op, blend, b, [=](const Vec3d& p) { return sdSphere(p, c, r); });
}

void ShapeList::ellipsoid(Op op, double blend, const Vec3d& c, const Vec3d& radii) {
    add(op, blend, Bounds{c - radii, c + radii}, [=](const Vec3d& p) { return sdEllipsoid(p, c, radii); });
}

void ShapeList::capsule(Op op, double blend, const Vec3d& a, const Vec3d& b, double r) {
    Bounds box;
    box.add(a);
    box.add(b);
    add(op, blend, box.grown(r), [=](const Vec3d& p) { return sdCapsule(p, a, b, r); });
}

void ShapeList::roundCone(Op op, double blend, const Vec3d& a, const Vec3d& b, double ra, double rb) {
    Bounds box;
    box.add(a);
    box.add(b);
    add(op, blend, box.grown(std::max(ra, rb)), [=](const Vec3d& p) { return sdRoundCone(p, a, b, ra, rb); });
}

void ShapeList::torus(Op op, double blend, const Vec3d& c, const Vec3d& axis, double major, double minor) {
    Vec3d n = normalize(axis);
    double reach = major + minor;
    add(op, blend, Bounds{c - Vec3d(reach, reach, reach), c + Vec3d(reach, reach, reach)},
        [=](const Vec3d& p) { return sdTorus(p, c, n, major, minor); });
}

void ShapeList::roundBox(Op op, double blend, const Vec3d& c, const Vec3d& u, const Vec3d& v, const Vec3d& w,
                         const Vec3d& halfSize, double rounding) {
    Vec3d nu = normalize(u), nv = normalize(v), nw = normalize(w);
    double reach = length(halfSize);
    add(op, blend, Bounds{c - Vec3d(reach, reach, reach), c + Vec3d(reach, reach, reach)},
        [=](const Vec3d& p) { return sdRoundBox(p, c, nu, nv, nw, halfSize, rounding); });
}

void ShapeList::tube(Op op, double blend, const std::vector<Vec3d>& points, const std::vector<double>& radii) {
    // One entry with a hard minimum over the spans: a smooth union between overlapping spans
    // would swell every joint.
    struct Span {
        Vec3d a, b;
        double ra, rb;
        Bounds bounds;
    };
    std::vector<Span> spans;
    Bounds all;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        Bounds box;
        box.add(points[i]);
        box.add(points[i + 1]);
        box = box.grown(std::max(radii[i], radii[i + 1]));
        spans.push_back({points[i], points[i + 1], radii[i], radii[i + 1], box});
        all.add(box);
    }
    add(op, blend, all, [spans](const Vec3d& p) {
        double best = 1e9;
        for (const Span& span : spans)
            if (!span.bounds.fartherThan(p, best))
                best = std::min(best, sdRoundCone(p, span.a, span.b, span.ra, span.rb));
        return best;
    });
}

void ShapeList::ribbon(Op op, double blend, const std::vector<Vec3d>& points, const std::vector<Vec3d>& side,
                       const std::vector<double>& widths, double thickness) {
    struct Piece {
        Vec3d centre, u, v, w, halfSize;
        Bounds bounds;
    };
    std::vector<Piece> pieces;
    Bounds all;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        Vec3d along = points[i + 1] - points[i];
        double len = length(along);
        Vec3d u = along / len;
        Vec3d across = side[i] + side[i + 1];
        Vec3d v = normalize(across - u * dot(across, u));
        Vec3d w = cross(u, v);
        double width = 0.5 * (widths[i] + widths[i + 1]);
        // Pieces overlap by half a thickness so the joints close.
        Vec3d halfSize(len * 0.5 + thickness * 0.5, width * 0.5, thickness * 0.5);
        Vec3d centre = (points[i] + points[i + 1]) * 0.5;
        double reach = length(halfSize);
        Bounds box{centre - Vec3d(reach, reach, reach), centre + Vec3d(reach, reach, reach)};
        pieces.push_back({centre, u, v, w, halfSize, box});
        all.add(box);
    }
    const double rounding = thickness * 0.49;
    add(op, blend, all, [pieces, rounding](const Vec3d& p) {
        double best = 1e9;
        for (const Piece& piece : pieces)
            if (!piece.bounds.fartherThan(p, best))
                best = std::min(
                    best, sdRoundBox(p, piece.centre, piece.u, piece.v, piece.w, piece.halfSize, rounding));
        return best;
    });
}

void ShapeList::woundCone(Op op, double blend, const Vec3d& a, const Vec3d& b, double ra, double rb, int turns,
                          double ridge) {
    Bounds box;
    box.add(a);
    box.add(b);
    Vec3d axis = b - a;
    double axisLength2 = dot(axis, axis);
    add(op, blend, box.grown(std::max(ra, rb) + ridge), [=](const Vec3d& p) {
        double h = clamp01(dot(p - a, axis) / axisLength2);
        double band = 0.5 + 0.5 * std::cos(2 * kPi * turns * h);
        return sdRoundCone(p, a, b, ra, rb) - ridge * band * band;
    });
}

double ShapeList::evaluate(const Vec3d& p, double start) const {
    double d = start;
    for (const Entry& e : entries) {
        if (e.op == Op::Union) {
            // A shape at least `blend` farther than the surface so far cannot change the result.
            if (e.bounds.fartherThan(p, d + e.blend)) continue;
            d = smoothMin(d, e.distance(p), e.blend);
        } else {
            if (e.bounds.fartherThan(p, e.blend - d)) continue;
            d = smoothMax(d, -e.distance(p), e.blend);
        }
    }
    return d;
}
