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

struct MetaballVertex {
    float normal[3];   // interpolated between the edge's corner normals, not re-normalised
    float position[3]; // grid space
};

// Field of all balls at a position: the sum of strength / r^2 - 0.1 over the balls for which that
// is not negative. `normal` receives the unit gradient direction pointing away from the balls, or
// zero where no ball contributes or the contributions cancel. A point at a ball's centre is treated
// as lying a hair (1e-4) away from it, so the value stays finite.
float evaluateField(const GrowArray<Ball>& balls, const float position[3], float normal[3]);

// Sets every ball's position for time parameter p (the effect's time is half the demo time).
void moveBalls(GrowArray<Ball>& balls, float p);

// The balls of one frame laid out for evaluating four points at a time.
struct BallSet {
    typedef float Lane4 __attribute__((vector_size(16)));

    void load(const GrowArray<Ball>& balls);
    // evaluateField for four points at once: one point per lane.
    void field(const Lane4& x, const Lane4& y, const Lane4& z, Lane4& value, Lane4 normal[3]) const;

    std::vector<float> x, y, z, strength; // per ball, in list order
};

class MetaballGrid {
public:
    static constexpr int size = 40;                       // points along each axis
    static constexpr int pointCount = size * size * size; // 64000
    static constexpr unsigned char cellVisited = 1;       // flags bit 0, on a cell's lowest corner
    static constexpr unsigned char pointEvaluated = 2;    // flags bit 1
    // flags bit 2, on a cell's lowest corner: pushed onto this frame's crawl queue. A queued cell is
    // sure to be drawn, so it is never pushed twice and its neighbours' corners can be evaluated
    // ahead of its turn.
    static constexpr unsigned char cellQueued = 4;
    static constexpr unsigned char caseUnknown = 71; // caseCache entry not computed this frame

    MetaballGrid(); // allocates the four arrays, zeroed

    static int pointIndex(int i, int j, int k) { return i + size * j + size * size * k; }
    // A cell, named by its lowest corner, is usable when all eight corners lie in the grid.
    static bool isCell(int i, int j, int k) {
        return i >= 0 && j >= 0 && k >= 0 && i < size - 1 && j < size - 1 && k < size - 1;
    }

    // Zeroes values, normals and flags.
    void clear();

    // One frame for time parameter p: moves `balls`, then builds the surface (buildSurface).
    void buildFrame(GrowArray<Ball>& balls, float p);
    // Walks from each ball to the surface and crawls it with the balls where they are. Fills
    // `vertices` (three per triangle) and `cellEnds`; clears flags and caseCache first.
    void buildSurface(const GrowArray<Ball>& balls);

    // Reference for the crawl: evaluates every point and polygonises every usable cell, filling
    // `vertices` and `cellEnds` the same way. Evaluates about ten times the points the crawl does.
    void scanWholeGrid(const GrowArray<Ball>& balls);

    // Case of an evaluated cell: bit c set when corner c's value is above 1. Cached per frame.
    int cellCase(int cell) { return caseCache[cell] != caseUnknown ? caseCache[cell] : computeCase(cell); }
    // Appends the cell's triangles to `vertices`.
    void polygonizeCell(int cell);

    std::vector<float> values;                 // field value per point
    std::vector<std::array<float, 3>> normals; // unit normal per point (zero where undefined)
    std::vector<unsigned char> flags;          // cellVisited | pointEvaluated | cellQueued
    std::vector<unsigned char> caseCache;      // case per cell, or caseUnknown

    // Output of the last buildSurface: the triangles of the drawn cells in crawl order, and for
    // each drawn cell the end of its vertices (a cell may contribute none).
    std::vector<MetaballVertex> vertices;
    std::vector<int> cellEnds;
    int pointsEvaluated = 0; // point evaluations of the last build, repeats included

private:
    // Sets a point's value and normal from the loaded balls (the flags are the caller's business).
    void evaluatePoint(int i, int j, int k);
    // Queues the points of a block (inclusive bounds) not evaluated yet this frame, and marks them.
    // Up to three may still wait in the batch afterwards: flushPoints before reading them.
    void queueBlock(int i0, int j0, int k0, int i1, int j1, int k1);
    // queueBlock for the corners of the cell and of every neighbour that is a cell.
    void queueNeighbourhood(int cell);
    void evaluateCell(int i, int j, int k); // a usable cell's eight corners, flushed
    // Breadth-first from the seed over the cells the surface passes through, drawing each once.
    void crawl(int seed);
    int computeCase(int cell);
    // Points wait here until four can be evaluated together.
    void queuePoint(int i, int j, int k);
    void flushPoints();

    BallSet ballSet;               // the balls of the frame being built
    float coordinates[size];       // grid-space coordinate of point index i along any axis
    std::array<int, 3> pending[4]; // queued points as (i, j, k)
    int pendingCount = 0;
    // Cells of the crawl, first in first out. Sized once for every cell of the grid: no cell is
    // queued twice in a frame, so pushing never needs to grow it.
    std::vector<int> queue;
};

// Appends the six balls to `into`, printing "mass: %f dim: %d" for each, and clears the grid.
void resetBalls(GrowArray<Ball>& into, MetaballGrid& grid);

// Draws the surface at demo time t (seconds) with immediate-mode triangles, scaled by 5. Sets the
// colour to white and leaves GL_TEXTURE_2D disabled; the material in use does the shading.
// The first call creates the grid and the balls.
void drawMetaballs(float t);
