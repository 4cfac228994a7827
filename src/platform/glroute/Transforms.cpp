#include "platform/glroute/Transforms.h"

#include <cmath>

#include "base/Vector3.h"

namespace glroute {
namespace {

const double pi = 3.14159265358979323846;

} // namespace

glm::mat4 rotation(float degrees, float x, float y, float z) {
    const float radians = static_cast<float>(degrees * pi / 180.0);
    const float s = std::sin(radians), c = std::cos(radians);
    glm::mat4 m(1.0f); // m[column][row]
    // About one axis GL sets the four entries alone, with the sign of that axis.
    if (x == 0 && y == 0 && z != 0) {
        const float sz = z < 0 ? -s : s;
        m[0][0] = m[1][1] = c;
        m[1][0] = -sz;
        m[0][1] = sz;
        return m;
    }
    if (x == 0 && z == 0 && y != 0) {
        const float sy = y < 0 ? -s : s;
        m[0][0] = m[2][2] = c;
        m[2][0] = sy;
        m[0][2] = -sy;
        return m;
    }
    if (y == 0 && z == 0 && x != 0) {
        const float sx = x < 0 ? -s : s;
        m[1][1] = m[2][2] = c;
        m[2][1] = -sx;
        m[1][2] = sx;
        return m;
    }
    const float magnitude = std::sqrt(x * x + y * y + z * z);
    if (magnitude <= 1.0e-4f) return m;
    x /= magnitude;
    y /= magnitude;
    z /= magnitude;
    const float oneC = 1.0f - c, xs = x * s, ys = y * s, zs = z * s;
    m[0][0] = oneC * (x * x) + c;
    m[1][0] = oneC * (x * y) - zs;
    m[2][0] = oneC * (z * x) + ys;
    m[0][1] = oneC * (x * y) + zs;
    m[1][1] = oneC * (y * y) + c;
    m[2][1] = oneC * (y * z) - xs;
    m[0][2] = oneC * (z * x) - ys;
    m[1][2] = oneC * (y * z) + xs;
    m[2][2] = oneC * (z * z) + c;
    return m;
}

glm::mat4 orthographic(double left, double right, double bottom, double top, double zNear, double zFar) {
    const float l = static_cast<float>(left), r = static_cast<float>(right);
    const float b = static_cast<float>(bottom), t = static_cast<float>(top);
    const float n = static_cast<float>(zNear), f = static_cast<float>(zFar);
    glm::mat4 m(1.0f);
    m[0][0] = 2.0f / (r - l);
    m[3][0] = -(r + l) / (r - l);
    m[1][1] = 2.0f / (t - b);
    m[3][1] = -(t + b) / (t - b);
    m[2][2] = -2.0f / (f - n);
    m[3][2] = -(f + n) / (f - n);
    return m;
}

glm::mat4 perspective(double fovyDegrees, double aspect, double zNear, double zFar) {
    const double radians = fovyDegrees / 2 * pi / 180;
    const double deltaZ = zFar - zNear;
    const double sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) return glm::mat4(1.0f);
    const double cotangent = std::cos(radians) / sine;
    glm::mat4 m(0.0f);
    m[0][0] = static_cast<float>(cotangent / aspect);
    m[1][1] = static_cast<float>(cotangent);
    m[2][2] = static_cast<float>(-(zFar + zNear) / deltaZ);
    m[2][3] = -1;
    m[3][2] = static_cast<float>(-2 * zNear * zFar / deltaZ);
    return m;
}

glm::mat4 lookAtRotation(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ,
                         double upX, double upY, double upZ) {
    const Vec3 forward = normalize(Vec3{static_cast<float>(centerX - eyeX), static_cast<float>(centerY - eyeY),
                                        static_cast<float>(centerZ - eyeZ)});
    const Vec3 side = normalize(cross(forward, {static_cast<float>(upX), static_cast<float>(upY),
                                                static_cast<float>(upZ)}));
    const Vec3 up = cross(side, forward);
    glm::mat4 m(1.0f);
    m[0] = {side.x, up.x, -forward.x, 0};
    m[1] = {side.y, up.y, -forward.y, 0};
    m[2] = {side.z, up.z, -forward.z, 0};
    return m;
}

} // namespace glroute
