#pragma once
// The one way pictures are drawn over the view: a quad in the plane one unit in front of the eye,
// through the current projection with the model-view matrix set aside, scaled about the view's
// centre. The loading screen draws its picture so, and the post-processing passes their targets.

// Where the quad lies in that plane before scaling, and the texture coordinates of its right and
// top edges (its left and bottom edges take 0).
struct QuadArea {
    float left, bottom, right, top;
    float sRight, tTop;
};

// The quad alone, with whatever texture, program and colour are set. Acts on the current matrix
// (callers keep the model-view selected) and restores it.
void drawQuadAtUnitDistance(const QuadArea& area, float scale);

// The 2D texture on that quad, lighting off for it (the lighting bit is saved and restored). Leaves
// GL_TEXTURE_2D enabled with the texture bound: the lighting bit does not hold the texture enable.
void drawTexturedQuad(unsigned int texture, const QuadArea& area, float scale);
