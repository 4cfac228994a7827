#include "platform/web/GLMatrix.h"

#include <cmath>
#include <utility>

namespace webgl {

namespace {
constexpr double pi = 3.14159265358979323846;

float& at(Matrix& matrix, int row, int column) {
    return matrix.m[column * 4 + row];
}
} // namespace

Matrix identityMatrix() {
    Matrix result = {};
    for (int i = 0; i < 4; ++i) result.m[i * 5] = 1;
    return result;
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix result;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[k * 4 + row] * b.m[column * 4 + k];
            result.m[column * 4 + row] = sum;
        }
    return result;
}

Matrix translation(float x, float y, float z) {
    Matrix result = identityMatrix();
    result.m[12] = x;
    result.m[13] = y;
    result.m[14] = z;
    return result;
}

Matrix scaling(float x, float y, float z) {
    Matrix result = identityMatrix();
    result.m[0] = x;
    result.m[5] = y;
    result.m[10] = z;
    return result;
}

Matrix rotation(float degrees, float x, float y, float z) {
    Matrix result = identityMatrix();
    const float length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0)) return result;
    x /= length;
    y /= length;
    z /= length;
    const float radians = static_cast<float>(degrees * pi / 180.0);
    const float s = std::sin(radians), c = std::cos(radians), one = 1 - c;
    at(result, 0, 0) = x * x * one + c;
    at(result, 0, 1) = x * y * one - z * s;
    at(result, 0, 2) = x * z * one + y * s;
    at(result, 1, 0) = y * x * one + z * s;
    at(result, 1, 1) = y * y * one + c;
    at(result, 1, 2) = y * z * one - x * s;
    at(result, 2, 0) = x * z * one - y * s;
    at(result, 2, 1) = y * z * one + x * s;
    at(result, 2, 2) = z * z * one + c;
    return result;
}

Matrix orthographic(double left, double right, double bottom, double top, double zNear, double zFar) {
    Matrix result = identityMatrix();
    at(result, 0, 0) = static_cast<float>(2 / (right - left));
    at(result, 1, 1) = static_cast<float>(2 / (top - bottom));
    at(result, 2, 2) = static_cast<float>(-2 / (zFar - zNear));
    at(result, 0, 3) = static_cast<float>(-(right + left) / (right - left));
    at(result, 1, 3) = static_cast<float>(-(top + bottom) / (top - bottom));
    at(result, 2, 3) = static_cast<float>(-(zFar + zNear) / (zFar - zNear));
    return result;
}

Matrix perspective(double fovyDegrees, double aspect, double zNear, double zFar) {
    const double radians = fovyDegrees / 2 * pi / 180;
    const double deltaZ = zFar - zNear;
    const double sine = std::sin(radians);
    Matrix result = identityMatrix();
    // A degenerate frustum leaves the matrix alone, as GLU does.
    if (deltaZ == 0 || sine == 0 || aspect == 0) return result;
    const double cotangent = std::cos(radians) / sine;
    at(result, 0, 0) = static_cast<float>(cotangent / aspect);
    at(result, 1, 1) = static_cast<float>(cotangent);
    at(result, 2, 2) = static_cast<float>(-(zFar + zNear) / deltaZ);
    at(result, 3, 2) = -1;
    at(result, 2, 3) = static_cast<float>(-2 * zNear * zFar / deltaZ);
    at(result, 3, 3) = 0;
    return result;
}

Matrix lookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ,
              double upX, double upY, double upZ) {
    float forward[3] = {static_cast<float>(centerX - eyeX), static_cast<float>(centerY - eyeY),
                        static_cast<float>(centerZ - eyeZ)};
    float up[3] = {static_cast<float>(upX), static_cast<float>(upY), static_cast<float>(upZ)};
    auto normalise = [](float v[3]) {
        const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (length == 0) return;
        for (int i = 0; i < 3; ++i) v[i] /= length;
    };
    auto cross = [](const float a[3], const float b[3], float out[3]) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    normalise(forward);
    float side[3];
    cross(forward, up, side);
    normalise(side);
    cross(side, forward, up);
    Matrix rotate = identityMatrix();
    for (int i = 0; i < 3; ++i) {
        at(rotate, 0, i) = side[i];
        at(rotate, 1, i) = up[i];
        at(rotate, 2, i) = -forward[i];
    }
    return multiply(
        rotate, translation(static_cast<float>(-eyeX), static_cast<float>(-eyeY), static_cast<float>(-eyeZ)));
}

Matrix inverse(const Matrix& matrix) {
    // Gauss-Jordan elimination with partial pivoting, in double.
    double a[4][8];
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            a[row][column] = matrix.m[column * 4 + row];
            a[row][column + 4] = row == column ? 1 : 0;
        }
    for (int column = 0; column < 4; ++column) {
        int pivot = column;
        for (int row = column + 1; row < 4; ++row)
            if (std::fabs(a[row][column]) > std::fabs(a[pivot][column])) pivot = row;
        if (a[pivot][column] == 0) return identityMatrix();
        for (int k = 0; k < 8; ++k) std::swap(a[column][k], a[pivot][k]);
        const double scale = 1 / a[column][column];
        for (int k = 0; k < 8; ++k) a[column][k] *= scale;
        for (int row = 0; row < 4; ++row) {
            if (row == column) continue;
            const double factor = a[row][column];
            for (int k = 0; k < 8; ++k) a[row][k] -= factor * a[column][k];
        }
    }
    Matrix result;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            result.m[column * 4 + row] = static_cast<float>(a[row][column + 4]);
    return result;
}

void normalMatrix(const Matrix& modelView, float out[9]) {
    const float* m = modelView.m;
    // Upper-left 3x3, a[row][column].
    const double a[3][3] = {{m[0], m[4], m[8]}, {m[1], m[5], m[9]}, {m[2], m[6], m[10]}};
    const double cofactor[3][3] = {
        {a[1][1] * a[2][2] - a[1][2] * a[2][1], a[1][2] * a[2][0] - a[1][0] * a[2][2],
         a[1][0] * a[2][1] - a[1][1] * a[2][0]},
        {a[0][2] * a[2][1] - a[0][1] * a[2][2], a[0][0] * a[2][2] - a[0][2] * a[2][0],
         a[0][1] * a[2][0] - a[0][0] * a[2][1]},
        {a[0][1] * a[1][2] - a[0][2] * a[1][1], a[0][2] * a[1][0] - a[0][0] * a[1][2],
         a[0][0] * a[1][1] - a[0][1] * a[1][0]}};
    const double determinant = a[0][0] * cofactor[0][0] + a[0][1] * cofactor[0][1] + a[0][2] * cofactor[0][2];
    const double scale = determinant == 0 ? 0 : 1 / determinant;
    // (A^-1)^T = cofactor matrix / det; out is column-major.
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            out[column * 3 + row] = static_cast<float>(cofactor[row][column] * scale);
}

} // namespace webgl
