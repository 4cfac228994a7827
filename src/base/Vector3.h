#pragma once
// Three-component vectors for positions, directions and colours, with the few operations the engine
// and the content generators take: Vec3 in single precision (camera eyes, the picture generator's
// colours and directions) and Vec3d in double (the model generator's field and mesher, the engine's
// solid angles, which single precision would leave unstable). Header-only, so the generators take
// it without the engine's code.
#include <cmath>

template <typename T>
struct Vector3 {
    using Scalar = T;
    T x = 0, y = 0, z = 0;

    Vector3() = default;
    constexpr Vector3(T xIn, T yIn, T zIn) : x(xIn), y(yIn), z(zIn) {}

    constexpr Vector3 operator+(const Vector3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr Vector3 operator-(const Vector3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr Vector3 operator-() const { return {-x, -y, -z}; }
    // Component by component.
    constexpr Vector3 operator*(const Vector3& o) const { return {x * o.x, y * o.y, z * o.z}; }
    constexpr Vector3 operator*(T s) const { return {x * s, y * s, z * s}; }
    constexpr Vector3 operator/(T s) const { return {x / s, y / s, z / s}; }
    Vector3& operator+=(const Vector3& o) { return *this = *this + o; }
    Vector3& operator-=(const Vector3& o) { return *this = *this - o; }
    Vector3& operator*=(T s) { return *this = *this * s; }
};

using Vec3 = Vector3<float>;
using Vec3d = Vector3<double>;

template <typename T>
constexpr Vector3<T> operator*(typename Vector3<T>::Scalar s, const Vector3<T>& v) {
    return v * s;
}

template <typename T>
constexpr T dot(const Vector3<T>& a, const Vector3<T>& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

template <typename T>
constexpr Vector3<T> cross(const Vector3<T>& a, const Vector3<T>& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

template <typename T>
T length(const Vector3<T>& v) {
    return std::sqrt(dot(v, v));
}

// The unit vector along `v`; a zero vector has no direction and stays as it is.
template <typename T>
Vector3<T> normalize(const Vector3<T>& v) {
    const T l = length(v);
    return l > 0 ? v / l : v;
}

// From a (t = 0) to b (t = 1).
template <typename T>
constexpr Vector3<T> mix(const Vector3<T>& a, const Vector3<T>& b, typename Vector3<T>::Scalar t) {
    return a + (b - a) * t;
}

// The smaller and the larger of each component (fmin and fmax: a NaN gives way to a number).
template <typename T>
Vector3<T> componentMin(const Vector3<T>& a, const Vector3<T>& b) {
    return {std::fmin(a.x, b.x), std::fmin(a.y, b.y), std::fmin(a.z, b.z)};
}
template <typename T>
Vector3<T> componentMax(const Vector3<T>& a, const Vector3<T>& b) {
    return {std::fmax(a.x, b.x), std::fmax(a.y, b.y), std::fmax(a.z, b.z)};
}
