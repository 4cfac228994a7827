#pragma once
// 4x4 matrices as OpenGL keeps them (column-major floats) and the transforms of the matrix stack
// and GLU, each the matrix that the GL call multiplies onto the current one. No GL here.

namespace webgl {

struct Matrix {
    float m[16]; // column-major: m[column * 4 + row]
};

Matrix identityMatrix();
// a * b: b applied first, as glMultMatrix applies it.
Matrix multiply(const Matrix& a, const Matrix& b);
Matrix translation(float x, float y, float z);
Matrix scaling(float x, float y, float z);
// glRotate: `degrees` about the axis (x, y, z), normalised; a zero axis leaves identity.
Matrix rotation(float degrees, float x, float y, float z);
Matrix orthographic(double left, double right, double bottom, double top, double zNear, double zFar);
Matrix perspective(double fovyDegrees, double aspect, double zNear, double zFar);
Matrix lookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ,
              double upX, double upY, double upZ);
// The inverse; a singular matrix gives identity.
Matrix inverse(const Matrix& matrix);
// The inverse transpose of the upper-left 3x3 (column-major, 9 floats): how normals transform.
void normalMatrix(const Matrix& modelView, float out[9]);

} // namespace webgl
