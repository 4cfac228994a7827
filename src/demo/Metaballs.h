#pragma once
// The metaball effect: six balls on fixed sine paths and the surface where their summed field is 1,
// sampled on a 40^3 grid. Each frame walks from every ball to the surface and then crawls over the
// cells the surface passes through, so most of the grid is never touched. The field, the cases, the
// table and the crawl are plain CPU code; only drawMetaballs talks to GL.
#include <array>
#include <vector>

#include "base/GrowArray.h"

struct Ball {
    float position[3]; // centre in grid space (the grid spans -1 to 0.95 on each axis)
    float mass;        // drawn once by randomRange(0.2, 0.45)
    float strength;    // mass^exponent: numerator of the ball's field
    int exponent;      // always 2
};

// Created with room for 16 balls and none in it; resetBalls appends the six the effect uses.
extern GrowArray<Ball> balls;

// Corner c of a cell sits at +x for bit 0, +y for bit 1 and +z for bit 2 of c.
// Edge e joins corners edgeCorners[e][0] and edgeCorners[e][1].
extern const int edgeCorners[12][2];
// Triangles for cases 0 to 127 as edge triples, ended by -1. Case c above 127 uses row 255 - c.
extern const signed char triangleTable[128][15];
int triangleRowForCase(int cubeCase);

// Field of all balls at a position: the sum of strength / r^2 - 0.1 over the balls for which that
// is not negative. `normal` receives the unit gradient direction pointing away from the balls, or
// zero where no ball contributes or the contributions cancel. A point at a ball's centre is treated
// as lying a hair (1e-4) away from it, so the value stays finite.
float evaluateField(const GrowArray<Ball>& balls, const float position[3], float normal[3]);

// Sets every ball's position for time parameter p (the effect's time is half the demo time).
void moveBalls(GrowArray<Ball>& balls, float p);

// Grid-space coordinate of point i (0 to 39) along any axis: i / 20 - 1.
float gridCoordinate(int i);

// One cell's eight corners, numbered as for edgeCorners.
struct MetaballCell {
    float position[8][3]; // grid space
    float value[8];       // field value
    float normal[8][3];   // unit normal
};

// Fills the grid-space corner positions of the cell whose lowest corner is point (i, j, k).
void placeCellCorners(int i, int j, int k, float position[8][3]);

// Marching-cubes case of a cell: bit c set when value[c] is above 1 (exactly 1 is outside).
int cornerCase(const float value[8]);

struct MetaballVertex {
    float normal[3];   // interpolated between the edge's corner normals, not re-normalised
    float position[3]; // grid space
};

// Appends the cell's triangles, three vertices each, to `out`; a cell of case 0 or 255 adds none.
void polygonizeCell(const MetaballCell& cell, std::vector<MetaballVertex>& out);

// The triangles of one frame: those of the drawn cells in crawl order, and for each drawn cell the
// end of its vertices (a cell may contribute none).
struct MetaballSurface {
    std::vector<MetaballVertex> vertices;
    std::vector<int> cellEnds;
};

// The sampled field and the crawl over it. The arrays live as long as the grid; a frame reads a
// point only after evaluating it in that frame.
class MetaballGrid {
public:
    static constexpr int size = 40;                       // points along each axis
    static constexpr int pointCount = size * size * size; // 64000

    MetaballGrid(); // allocates the four arrays, zeroed

    // Zeroes values, normals and flags.
    void clear();

    // One frame for time parameter p: moves `balls`, then builds the surface (buildSurface).
    const MetaballSurface& buildFrame(GrowArray<Ball>& balls, float p);
    // Walks from each ball to the surface and crawls it with the balls where they are. The result
    // stays valid until the next build.
    const MetaballSurface& buildSurface(const GrowArray<Ball>& balls);

    // Test seam: whether the last build evaluated point i + 40 j + 1600 k for a cell's corners.
    bool evaluatedForCell(int point) const { return flags[point] & pointEvaluated; }

private:
    static constexpr unsigned char cellVisited = 1;    // flags bit 0, on a cell's lowest corner
    static constexpr unsigned char pointEvaluated = 2; // flags bit 1
    static constexpr unsigned char caseUnknown = 71;   // caseCache entry not computed this frame

    static int pointIndex(int i, int j, int k) { return i + size * j + size * size * k; }
    // A cell, named by its lowest corner, is usable when all eight corners lie in the grid.
    static bool isCell(int i, int j, int k) {
        return i >= 0 && j >= 0 && k >= 0 && i < size - 1 && j < size - 1 && k < size - 1;
    }

    // Sets a point's value and normal from the balls; leaves its flags alone.
    void evaluatePoint(const GrowArray<Ball>& balls, int i, int j, int k);
    // Evaluates the corners of a usable cell that this frame has not evaluated yet.
    void evaluateCell(const GrowArray<Ball>& balls, int cell);
    // Case of a cell whose corners are evaluated, cached for the frame.
    int cellCase(int cell);
    // Breadth-first from the seed over the cells the surface passes through, drawing each once.
    void crawl(const GrowArray<Ball>& balls, int seed);
    // Adds an evaluated cell's triangles to the surface as a block of their own: drawMetaballs
    // gives every drawn cell one glBegin/glEnd, even a cell without triangles.
    void drawCell(int cell);

    std::vector<float> values;                 // field value per point
    std::vector<std::array<float, 3>> normals; // unit normal per point (zero where undefined)
    std::vector<unsigned char> flags;          // cellVisited | pointEvaluated
    std::vector<unsigned char> caseCache;      // case per cell, or caseUnknown
    std::vector<int> queue;                    // cells of the crawl, first in first out
    MetaballSurface surface;                   // output of the last build
};

// Appends the six balls to `into`, printing "mass: %f dim: %d" for each, and clears the grid.
void resetBalls(GrowArray<Ball>& into, MetaballGrid& grid);

// The surface's grid space (-1 to 0.95) is drawn this many view units across per unit. At 5 the
// cluster covered about 2.5 % of the frame from the second scene's orbit (8 to 14 units away) and
// read as a speck; at 6 it covers nearly half as much again, and the orbit's nearest pass (3.7
// units from the centre at 21.7 s) still stays about 0.7 units clear of it, where at 7 the camera
// would graze the surface.
constexpr float metaballViewScale = 6.0f;

// Draws the surface at demo time t (seconds) with immediate-mode triangles, scaled by
// metaballViewScale times `growth` (subjectGrowth's, for the eye drawing it). Sets the colour to
// white and leaves GL_TEXTURE_2D disabled; the material in use does the shading. The first call
// creates the grid and the balls.
void drawMetaballs(float t, float growth = 1.0f);
