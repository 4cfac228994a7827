// The figures are simplified before they are written: the result must stay a closed surface the
// loader can shade, keep the thin parts (blades, horns, hairs) that a coarser surface would lose,
// and carry the source's own vertex records.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <utility>

#include "models/MeshReduction.h"
#include "models/Models.h"

namespace {

struct ThinPartCase {
    const char* name;
    ShapeList shape;
    Vec3d tipDirection; // the thin part reaches furthest this way
};

// A ball with a thin spike (a horn or a hair) and a ball with a thin flat sheet (a blade or a
// scarf's tail), both much thinner than the error a figure may be simplified to elsewhere.
std::vector<ThinPartCase> thinPartCases() {
    std::vector<ThinPartCase> cases(2);
    cases[0].name = "spike";
    cases[0].shape.sphere(ShapeList::Op::Union, 0, Vec3d(0, 0, 0), 1.0);
    cases[0].shape.capsule(ShapeList::Op::Union, 0.05, Vec3d(0, 0, 0.8), Vec3d(0.2, 0, 2.4), 0.04);
    cases[0].tipDirection = normalize(Vec3d(0.2, 0, 1.6));
    cases[1].name = "sheet";
    cases[1].shape.sphere(ShapeList::Op::Union, 0, Vec3d(0, 0, 0), 1.0);
    cases[1].shape.roundBox(ShapeList::Op::Union, 0.05, Vec3d(1.6, 0, 0), Vec3d(1, 0, 0), Vec3d(0, 1, 0),
                            Vec3d(0, 0, 1), Vec3d(0.9, 0.5, 0.03), 0.02);
    cases[1].tipDirection = Vec3d(1, 0, 0);
    return cases;
}

double reach(const ModelMesh& mesh, const Vec3d& direction) {
    double furthest = -1e30;
    for (const ModelVertex& v : mesh.vertices)
        furthest = std::max(furthest, dot(mesh.positions[v.position], direction));
    return furthest;
}

} // namespace

TEST(MeshReductionTest, ThinPartsSurviveAndTheSurfaceStaysClosedWithinTheBudget) {
    for (ThinPartCase& c : thinPartCases()) {
        SCOPED_TRACE(c.name);
        const ShapeList shape = c.shape;
        ImplicitModel implicit{[shape](const Vec3d& p) { return shape.evaluate(p); },
                               shape.bounds().grown(0.1), 0.02};
        implicit.size = 3.0;
        const ModelMesh source = buildImplicit(implicit);
        ASSERT_GT(source.triangles.size(), 20000u);

        // A budget the error bound allows is met; one it does not allow stops at the bound, which is
        // what keeps a thin part from being collapsed away to reach the count.
        ReductionReport report;
        EXPECT_LE(reduceMesh(source, {1500, 0.01}, &report).triangles.size(), 1500u);
        const ModelMesh reduced = reduceMesh(source, {100, 0.01}, &report);
        EXPECT_EQ(report.trianglesAfter, reduced.triangles.size());
        EXPECT_GT(reduced.triangles.size(), 100u);
        EXPECT_LE(report.error, 0.01);
        // The thin part still reaches as far: a collapse across it would have cut it short.
        EXPECT_NEAR(reach(reduced, c.tipDirection), reach(source, c.tipDirection), 0.01);

        // Closed and consistently wound, as the loader's normals need: every edge as often each way.
        std::map<std::pair<uint32_t, uint32_t>, int> edges;
        for (const auto& t : reduced.triangles)
            for (int e = 0; e < 3; ++e)
                ++edges[{reduced.vertices[t[e]].position, reduced.vertices[t[(e + 1) % 3]].position}];
        int open = 0;
        for (const auto& [edge, uses] : edges) {
            auto reverse = edges.find({edge.second, edge.first});
            open += reverse == edges.end() || reverse->second != uses;
        }
        EXPECT_EQ(open, 0);

        // Vertex records are the source's own: the same point with the same texture coordinates.
        std::map<std::tuple<double, double, double>, std::pair<double, double>> texCoordAt;
        for (const ModelVertex& v : source.vertices) {
            const Vec3d& p = source.positions[v.position];
            texCoordAt[{p.x, p.y, p.z}] = {v.s, v.t};
        }
        int foreign = 0;
        for (const ModelVertex& v : reduced.vertices) {
            const Vec3d& p = reduced.positions[v.position];
            auto found = texCoordAt.find({p.x, p.y, p.z});
            foreign += found == texCoordAt.end() || found->second != std::make_pair(v.s, v.t);
        }
        EXPECT_EQ(foreign, 0);
    }
}
