#pragma once
// A cube as a model's mesh: each face a grid of `cells` x `cells` squares, every triangle turning
// counter-clockwise outward; positions only, no GL buffers. The other shapes are what a replaced
// model may be: the same cube without its -Y face, or with every triangle turned inward.
#include "geometry/ModelManager.h"

enum class CubeShape { closed, openAtMinusY, inward };

void appendCube(rovena::Model& model, float x, float y, float z, float halfSide, int cells,
                CubeShape shape = CubeShape::closed);
