#pragma once
// The matrices the matrix-stack calls and GLU multiply onto the current one, in GLM's types, with
// the same arithmetic as GL and GLU: GLU's in double (gluPerspective) or float (gluLookAt), GL's in
// float, each step rounded where theirs is. Pictures drawn through the route then match the
// desktop's to the bit wherever the rasteriser is the same. No GL here.
#include <glm/mat4x4.hpp>

namespace glroute {

// glRotatef: `degrees` about the axis (x, y, z), normalised; an axis shorter than 1e-4 leaves identity.
glm::mat4 rotation(float degrees, float x, float y, float z);
// glOrtho, whose arguments GL takes as floats.
glm::mat4 orthographic(double left, double right, double bottom, double top, double zNear, double zFar);
// gluPerspective; identity where GLU leaves the matrix alone (no depth range, no angle, no aspect).
glm::mat4 perspective(double fovyDegrees, double aspect, double zNear, double zFar);
// gluLookAt: the view's rotation, which GLU multiplies on before its translation by -eye.
glm::mat4 lookAtRotation(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ,
                         double upX, double upY, double upZ);

} // namespace glroute
