#pragma once
// A closed cube as a model's mesh: each face a grid of `cells` x `cells` squares, every triangle
// turning counter-clockwise outward; positions only, no GL buffers.
#include "geometry/ModelManager.h"

void appendCube(rovena::Model& model, float x, float y, float z, float halfSide, int cells);
