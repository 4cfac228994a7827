#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "demo/Metaballs.h"
#include "demo/Random.h"

namespace {

const int faces[6][4] = {{0, 2, 4, 6}, {1, 3, 5, 7}, {0, 1, 4, 5}, {2, 3, 6, 7}, {0, 1, 2, 3}, {4, 5, 6, 7}};

bool edgeCrossed(int cubeCase, int edge) {
    return ((cubeCase >> edgeCorners[edge][0]) & 1) != ((cubeCase >> edgeCorners[edge][1]) & 1);
}
bool edgeOnFace(int edge, const int* face) {
    int found = 0;
    for (int c = 0; c < 4; ++c) found += face[c] == edgeCorners[edge][0] || face[c] == edgeCorners[edge][1];
    return found == 2;
}
int sharedCorner(int a, int b) {
    for (int x : edgeCorners[a])
        for (int y : edgeCorners[b])
            if (x == y) return x;
    return -1;
}

std::vector<std::array<int, 3>> rowTriangles(int row) {
    std::vector<std::array<int, 3>> triangles;
    for (int v = 0; v + 2 < 15 && triangleTable[row][v] != -1; v += 3)
        triangles.push_back({triangleTable[row][v], triangleTable[row][v + 1], triangleTable[row][v + 2]});
    return triangles;
}

GrowArray<Ball> ballsAt(const std::vector<std::array<float, 4>>& centresAndStrengths) {
    GrowArray<Ball> list(16);
    for (const auto& c : centresAndStrengths) {
        Ball ball{};
        ball.position[0] = c[0];
        ball.position[1] = c[1];
        ball.position[2] = c[2];
        ball.strength = c[3];
        ball.mass = std::sqrt(c[3]);
        ball.exponent = 2;
        list.append(ball);
    }
    return list;
}

using Point = std::array<float, 3>;
using Side = std::pair<Point, Point>;
Point pointOf(const MetaballVertex& v) {
    return {v.position[0], v.position[1], v.position[2]};
}
Side sideOf(Point a, Point b) {
    return a < b ? Side{a, b} : Side{b, a};
}

// Triangles of a surface, each as its sorted corner positions.
std::multiset<std::array<Point, 3>> triangleSet(const std::vector<MetaballVertex>& vertices) {
    std::multiset<std::array<Point, 3>> set;
    for (size_t v = 0; v + 2 < vertices.size(); v += 3) {
        std::array<Point, 3> t = {pointOf(vertices[v]), pointOf(vertices[v + 1]), pointOf(vertices[v + 2])};
        std::sort(t.begin(), t.end());
        set.insert(t);
    }
    return set;
}

// The reference for the crawl: every cell of the grid, its corners evaluated on the spot.
std::multiset<std::array<Point, 3>> fullScanTriangles(const GrowArray<Ball>& list) {
    const int n = MetaballGrid::size;
    std::vector<MetaballVertex> vertices;
    for (int k = 0; k + 1 < n; ++k)
        for (int j = 0; j + 1 < n; ++j)
            for (int i = 0; i + 1 < n; ++i) {
                MetaballCell cell;
                placeCellCorners(i, j, k, cell.position);
                for (int c = 0; c < 8; ++c)
                    cell.value[c] = evaluateField(list, cell.position[c], cell.normal[c]);
                polygonizeCell(cell, vertices);
            }
    return triangleSet(vertices);
}

} // namespace

TEST(TriangleTable, KnownRowsHoldTheirTrianglesInOrder) {
    const std::map<int, std::vector<int>> known = {
        {0, {}},
        {1, {4, 0, 1}},
        {3, {5, 4, 2, 4, 2, 1}},
        {6, {2, 0, 5, 3, 1, 6}},
        {7, {3, 2, 6, 2, 6, 5, 6, 5, 4}},
        {15, {5, 7, 4, 7, 4, 6}},
        {22, {5, 2, 0, 8, 4, 9, 3, 1, 6}},
        {105, {7, 10, 11, 2, 5, 0, 3, 6, 1, 8, 9, 4}},
        {127, {7, 10, 11}},
    };
    for (const auto& [row, edges] : known) {
        std::vector<int> expected = edges;
        expected.resize(15, -1);
        std::vector<int> actual(triangleTable[row], triangleTable[row] + 15);
        EXPECT_EQ(actual, expected) << "row " << row;
    }
    EXPECT_EQ(triangleRowForCase(200), 55);
    EXPECT_EQ(triangleRowForCase(127), 127);
    EXPECT_EQ(triangleRowForCase(128), 127);
    EXPECT_EQ(triangleRowForCase(255), 0);
}

// Each row must be a surface patch that separates the case's inside corners from its outside ones:
// only crossed edges, every crossed edge used, and an open border that runs along the cube's faces,
// joining each face's crossed edges in pairs that do not cross each other.
TEST(TriangleTable, EveryRowSeparatesItsCornerSet) {
    for (int row = 0; row < 128; ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        auto triangles = rowTriangles(row);
        ASSERT_LE(triangles.size(), 4u);
        for (size_t v = triangles.size() * 3; v < 15; ++v) EXPECT_EQ(triangleTable[row][v], -1);

        std::set<int> used;
        std::map<std::pair<int, int>, int> sides;
        for (const auto& t : triangles) {
            for (int v = 0; v < 3; ++v) {
                ASSERT_GE(t[v], 0);
                ASSERT_LT(t[v], 12);
                EXPECT_TRUE(edgeCrossed(row, t[v])) << "edge " << t[v];
                used.insert(t[v]);
                int a = t[v], b = t[(v + 1) % 3];
                EXPECT_NE(a, b);
                ++sides[{std::min(a, b), std::max(a, b)}];
            }
        }
        for (int e = 0; e < 12; ++e)
            EXPECT_TRUE(!edgeCrossed(row, e) || used.count(e)) << "crossed edge " << e << " unused";

        std::map<int, std::vector<std::pair<int, int>>> borderByFace;
        for (const auto& [side, count] : sides) {
            EXPECT_LE(count, 2);
            if (count != 1) continue;
            int face = -1;
            for (int f = 0; f < 6; ++f)
                if (edgeOnFace(side.first, faces[f]) && edgeOnFace(side.second, faces[f])) face = f;
            ASSERT_NE(face, -1) << "border side " << side.first << "-" << side.second << " leaves the faces";
            borderByFace[face].push_back(side);
        }
        for (int f = 0; f < 6; ++f) {
            std::multiset<int> crossed, joined;
            for (int e = 0; e < 12; ++e)
                if (edgeOnFace(e, faces[f]) && edgeCrossed(row, e)) crossed.insert(e);
            for (const auto& side : borderByFace[f]) {
                joined.insert(side.first);
                joined.insert(side.second);
                EXPECT_TRUE(crossed.size() != 4 || sharedCorner(side.first, side.second) != -1)
                    << "diagonal pairing on face " << f;
            }
            EXPECT_EQ(joined, crossed) << "face " << f;
        }
    }
}

// A corner exactly at 1 is outside: counting it in would put the surface on the other side of it.
TEST(MetaballCell, CaseCountsOnlyValuesAboveOneAsInside) {
    struct Case {
        float value[8];
        int cubeCase;
    };
    const Case cases[] = {
        {{1, 1, 1, 1, 1, 1, 1, 1}, 0},
        {{1, 1, 1, 1.0000001f, 1, 1, 1, 1}, 8},
        {{2, 0, 0, 2, 0, 0, 0, 2}, 137},
        {{2, 2, 2, 2, 2, 2, 2, 2}, 255},
    };
    for (const Case& c : cases) EXPECT_EQ(cornerCase(c.value), c.cubeCase);
}

// Corners at 2 (inside) or 0 (outside) put every vertex at its edge's midpoint, which names the edge.
TEST(MetaballCell, CaseAbove127DrawsTheComplementRow) {
    MetaballCell cell{};
    for (int c = 0; c < 8; ++c) {
        for (int axis = 0; axis < 3; ++axis) cell.position[c][axis] = (c >> axis) & 1;
        cell.value[c] = (200 >> c) & 1 ? 2.0f : 0.0f;
    }
    std::vector<MetaballVertex> vertices;
    polygonizeCell(cell, vertices);

    std::vector<int> drawnEdges;
    for (const auto& vertex : vertices) {
        int found = -1;
        for (int e = 0; e < 12; ++e) {
            bool atMidpoint = true;
            for (int axis = 0; axis < 3; ++axis) {
                float middle = (((edgeCorners[e][0] >> axis) & 1) + ((edgeCorners[e][1] >> axis) & 1)) / 2.0f;
                atMidpoint = atMidpoint && vertex.position[axis] == middle;
            }
            if (atMidpoint) found = e;
        }
        drawnEdges.push_back(found);
    }
    std::vector<int> row55;
    for (int v = 0; v < 15 && triangleTable[55][v] != -1; ++v) row55.push_back(triangleTable[55][v]);
    EXPECT_EQ(drawnEdges, row55);
}

TEST(MetaballField, ValueFallsToOneAtTheSurfaceRadiusAndToZeroBeyondReach) {
    GrowArray<Ball> one = ballsAt({{0.1f, -0.2f, 0.3f, 0.04f}});
    float normal[3];
    struct Case {
        float distance;
        float value;
    };
    const float reach = std::sqrt(0.04f / 0.1f);
    const Case cases[] = {
        {std::sqrt(0.04f / 1.1f), 1.0f}, {0.1907f, 1.0f}, {reach + 1e-4f, 0.0f}, {0.9f, 0.0f}, {0.1f, 3.9f}};
    for (const Case& c : cases) {
        float p[3] = {0.1f, -0.2f + c.distance, 0.3f};
        EXPECT_NEAR(evaluateField(one, p, normal), c.value, 1e-3f) << "distance " << c.distance;
    }
    float above[3] = {0.1f, 0.0f, 0.3f};
    evaluateField(one, above, normal);
    EXPECT_NEAR(normal[0], 0.0f, 1e-6f);
    EXPECT_NEAR(normal[1], 1.0f, 1e-6f) << "normal points away from the ball";
    EXPECT_NEAR(normal[2], 0.0f, 1e-6f);
}

TEST(MetaballField, CentreAndEmptySpaceGiveFiniteValuesAndNormals) {
    GrowArray<Ball> pair = ballsAt({{0, 0, 0, 0.04f}, {0.5f, 0, 0, 0.04f}});
    const float points[][3] = {{0, 0, 0}, {0.5f, 0, 0}, {0.25f, 0, 0}, {-0.9f, 0.9f, 0.9f}};
    for (const auto& p : points) {
        float normal[3];
        float value = evaluateField(pair, p, normal);
        EXPECT_TRUE(std::isfinite(value));
        float length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
        EXPECT_TRUE(std::isfinite(length));
        EXPECT_TRUE(length < 1e-6f || std::fabs(length - 1) < 1e-5f) << length;
    }
    float normal[3];
    EXPECT_GT(evaluateField(pair, points[0], normal), 1000.0f) << "a centre is deep inside";
    EXPECT_EQ(evaluateField(pair, points[3], normal), 0.0f);
    EXPECT_EQ(normal[0], 0.0f);
    EXPECT_EQ(normal[1], 0.0f);
    EXPECT_EQ(normal[2], 0.0f);
}

TEST(MetaballMotion, AtTimeZeroBallsSitOnTheDiagonal) {
    GrowArray<Ball> list = ballsAt(std::vector<std::array<float, 4>>(6, {9, 9, 9, 0.04f}));
    moveBalls(list, 0);
    for (int i = 0; i < 6; ++i)
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_FLOAT_EQ(list[i].position[axis], static_cast<float>(std::sin(i)) * 0.3f) << i;
    EXPECT_EQ(list[0].position[0], 0.0f);
}

TEST(MetaballMotion, ResetDrawsSmallMassesFromTheSharedSequence) {
    restartRandom();
    const int classic[8] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
    for (int value : classic) EXPECT_EQ(nextRandom(), value);

    restartRandom();
    GrowArray<Ball> list(16);
    MetaballGrid grid;
    testing::internal::CaptureStdout();
    resetBalls(list, grid);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "mass: 0.200001 dim: 9\n"
                       "mass: 0.200275 dim: 9\n"
                       "mass: 0.200094 dim: 9\n"
                       "mass: 0.200395 dim: 9\n"
                       "mass: 0.200286 dim: 9\n"
                       "mass: 0.200234 dim: 9\n");
    ASSERT_EQ(list.count, 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(list[i].exponent, 2);
        EXPECT_EQ(list[i].strength, list[i].mass * list[i].mass);
        EXPECT_FLOAT_EQ(list[i].mass, 0.2f + classic[i] / 16777216.0f * 0.25f);
    }
    EXPECT_EQ(nextRandom(), classic[6]) << "the balls took exactly six values";
}

// The crawl only visits cells it reaches from the balls; at these times it must still find every
// triangle a scan of the whole grid finds, and every triangle side must be shared by two triangles.
TEST(MetaballCrawl, FindsTheWholeSurfaceOfTheSixBalls) {
    GrowArray<Ball> list = ballsAt(std::vector<std::array<float, 4>>(6, {0, 0, 0, 0}));
    const float masses[6] = {0.200001f, 0.200275f, 0.200094f, 0.200395f, 0.200286f, 0.200234f};
    for (int i = 0; i < 6; ++i) list[i].strength = masses[i] * masses[i];
    MetaballGrid grid;
    for (float p : {0.0f, 1.3f, 5.125f, 10.25f, 12.0f, 15.2f}) {
        SCOPED_TRACE("p " + std::to_string(p));
        const MetaballSurface& surface = grid.buildFrame(list, p);
        ASSERT_GT(surface.vertices.size(), 0u);
        EXPECT_EQ(surface.vertices.size() % 3, 0u);
        EXPECT_EQ(triangleSet(surface.vertices), fullScanTriangles(list));
        int evaluated = 0;
        for (int point = 0; point < MetaballGrid::pointCount; ++point)
            evaluated += grid.evaluatedForCell(point);
        EXPECT_LT(evaluated, MetaballGrid::pointCount / 4) << "the crawl must not sample the whole grid";
        for (const auto& v : surface.vertices)
            for (int axis = 0; axis < 3; ++axis) {
                EXPECT_TRUE(std::isfinite(v.normal[axis]));
                EXPECT_TRUE(std::isfinite(v.position[axis]));
            }
    }
}

TEST(MetaballCrawl, SingleBallSurfaceIsClosed) {
    MetaballGrid grid;
    const std::array<float, 4> placements[] = {{0, 0, 0, 0.04f},
                                               {0.013f, -0.021f, 0.037f, 0.04f},
                                               {-0.3f, 0.25f, 0.1f, 0.0402f},
                                               {0.2f, 0.2f, -0.2f, 0.09f}};
    for (const auto& placement : placements) {
        SCOPED_TRACE("ball at " + std::to_string(placement[0]) + "," + std::to_string(placement[1]));
        GrowArray<Ball> one = ballsAt({placement});
        const std::vector<MetaballVertex>& vertices = grid.buildSurface(one).vertices;
        ASSERT_GE(vertices.size(), 3u * 50);
        std::map<Side, int> sides;
        for (size_t v = 0; v + 2 < vertices.size(); v += 3)
            for (int s = 0; s < 3; ++s)
                ++sides[sideOf(pointOf(vertices[v + s]), pointOf(vertices[v + (s + 1) % 3]))];
        int open = 0;
        for (const auto& entry : sides) open += entry.second != 2;
        EXPECT_EQ(open, 0);
    }
}

// Balls against or beyond the border: the crawl must stay inside the 40^3 arrays and only draw
// cells whose corners all lie in the grid.
TEST(MetaballCrawl, StaysInsideTheGridAtItsBorders) {
    MetaballGrid grid;
    const std::vector<std::vector<std::array<float, 4>>> scenes = {
        {{0.93f, 0.0f, 0.0f, 0.04f}},
        {{-0.98f, -0.98f, -0.98f, 0.04f}},
        {{0.9f, 0.9f, 0.9f, 0.04f}, {-1.0f, 0.5f, 0.94f, 0.04f}},
        {{3.0f, 0.0f, 0.0f, 0.04f}, {0.0f, -7.0f, 0.0f, 0.04f}},
        {{0.0f, 0.0f, 0.0f, 4.0f}},    // fills the whole grid: no surface to find
        {{0.0f, 0.0f, 0.0f, 0.0001f}}, // weaker than any grid point can see
    };
    for (const auto& scene : scenes) {
        GrowArray<Ball> list = ballsAt(scene);
        const std::vector<MetaballVertex>& vertices = grid.buildSurface(list).vertices;
        for (const auto& v : vertices)
            for (int axis = 0; axis < 3; ++axis) {
                EXPECT_GE(v.position[axis], -1.0f);
                EXPECT_LE(v.position[axis], 39.0f / 20.0f - 1.0f);
            }
        auto crawled = triangleSet(vertices);
        auto scanned = fullScanTriangles(list);
        EXPECT_TRUE(std::includes(scanned.begin(), scanned.end(), crawled.begin(), crawled.end()));
    }
}
