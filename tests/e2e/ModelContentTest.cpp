// The generated models as the program reads them: through its own loaders, from the run-time
// data directory the build fills (tests run in the build directory).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "demo/Content.h"
#include "demo/Timeline.h"
#include "geometry/AmlReader.h"
#include "geometry/ModelManager.h"
#include "geometry/ResDesc.h"
#include "models/Figures.h"

namespace {

struct Expectation {
    const char* name;
    float minSide, maxSide; // largest side of the bounding box, model units
    bool tallest;           // the figure stands: Z is its longest side
};

// The sky is a unit sphere; the figures are made at the sizes their orbits were framed for.
std::vector<Expectation> expectedModels() {
    std::vector<Expectation> models = {{"pallo", 1.99f, 2.01f, false}};
    for (const FigureSpec& figure : kFigures) {
        const float side = static_cast<float>(figure.largestSide);
        models.push_back({figure.name, side * 0.995f, side * 1.005f, std::string(figure.name) == "ninja"});
    }
    return models;
}

float word(const Mesh& mesh, int vertex, int offset) {
    float value;
    std::memcpy(&value, &mesh.vertices[vertex * mesh.stride + offset], 4);
    return value;
}

using PositionKey = std::array<uint32_t, 3>;

PositionKey keyOf(const Mesh& mesh, int vertex) {
    return {mesh.vertices[vertex * mesh.stride], mesh.vertices[vertex * mesh.stride + 1],
            mesh.vertices[vertex * mesh.stride + 2]};
}

// Checks one model's meshes as loaded and expanded; `what` names it in failures.
void checkMeshes(const std::string& what, Mesh* meshes, int count, const Expectation& expect) {
    ASSERT_GE(count, 1) << what;
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    // Each directed edge between positions, counted over all meshes: a closed, consistently wound
    // surface uses every edge as often in one direction as in the other, whatever the cuts between
    // meshes.
    std::map<std::pair<PositionKey, PositionKey>, int> edges;
    double signedVolume = 0;
    for (int m = 0; m < count; ++m) {
        Mesh& mesh = meshes[m];
        SCOPED_TRACE(what + " mesh " + std::to_string(m));
        ASSERT_GT(mesh.vertexCount, 0);
        ASSERT_LE(mesh.vertexCount, 65535);
        ASSERT_GT(mesh.triangleCount, 0);
        ASSERT_LE(mesh.triangleCount, 65535);
        ASSERT_EQ(mesh.attributeCount, 3);
        ASSERT_EQ(mesh.stride, 8);
        EXPECT_EQ(mesh.types[0], 0);
        EXPECT_EQ(mesh.types[1], 2);
        EXPECT_EQ(mesh.types[2], 6);
        EXPECT_EQ(mesh.components[2], 2);
        for (int i = 0; i < 3 * mesh.triangleCount; ++i) ASSERT_LT(mesh.indices[i], mesh.vertexCount);

        mesh.computeNormals();
        int nonFinite = 0, badNormals = 0, badTexCoords = 0;
        for (int v = 0; v < mesh.vertexCount; ++v) {
            for (int w = 0; w < 8; ++w) nonFinite += !std::isfinite(word(mesh, v, w));
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::fmin(lo[a], word(mesh, v, a));
                hi[a] = std::fmax(hi[a], word(mesh, v, a));
            }
            float nx = word(mesh, v, 3), ny = word(mesh, v, 4), nz = word(mesh, v, 5);
            badNormals += !(std::fabs(std::sqrt(nx * nx + ny * ny + nz * nz) - 1.0f) < 1e-3f);
            float s = word(mesh, v, 6), t = word(mesh, v, 7);
            badTexCoords += !(s >= 0 && s <= 1 && t >= 0 && t <= 1);
        }
        EXPECT_EQ(nonFinite, 0);
        EXPECT_EQ(badNormals, 0) << "vertices whose triangles give no normal";
        EXPECT_EQ(badTexCoords, 0);

        for (int t = 0; t < mesh.triangleCount; ++t) {
            const uint16_t* tri = &mesh.indices[3 * t];
            for (int e = 0; e < 3; ++e) ++edges[{keyOf(mesh, tri[e]), keyOf(mesh, tri[(e + 1) % 3])}];
            double p[3][3];
            for (int c = 0; c < 3; ++c)
                for (int a = 0; a < 3; ++a) p[c][a] = word(mesh, tri[c], a);
            signedVolume += (p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) -
                             p[0][1] * (p[1][0] * p[2][2] - p[1][2] * p[2][0]) +
                             p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0])) /
                            6;
        }
    }
    float side[3] = {hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
    float largest = std::fmax(side[0], std::fmax(side[1], side[2]));
    EXPECT_GE(largest, expect.minSide) << what;
    EXPECT_LE(largest, expect.maxSide) << what;
    for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(lo[a] + hi[a], 0.0f, 0.05f) << what << " is off centre on axis " << a;
    if (expect.tallest) {
        EXPECT_EQ(largest, side[2]) << what << " does not stand along +Z";
    }

    // The timeline culls a figure's back faces whenever the eye stands outside it, which is right
    // only for a surface that is closed and wound one way (for any other, the load says to draw
    // both sides). Simplifying may pinch two
    // sheets together along an edge, which then has two uses each way: the surface is still closed
    // and consistently wound, so an edge only counts as open when its uses either way differ.
    int open = 0;
    for (const auto& [edge, uses] : edges) {
        auto reverse = edges.find({edge.second, edge.first});
        open += reverse == edges.end() || reverse->second != uses;
    }
    EXPECT_EQ(open, 0) << what << " has holes or inconsistently wound triangles";
    // Counter-clockwise seen from outside, or the recomputed normals would point inwards.
    EXPECT_GT(signedVolume, 0) << what;
}

} // namespace

TEST(ModelContentTest, GeneratedModelsLoadClosedCentredAndWithinIndexLimits) {
    for (const Expectation& expect : expectedModels()) {
        rovena::ModelManager models;
        models.load(expect.name);
        rovena::Model& model = models.get(expect.name);
        checkMeshes(expect.name, model.items, model.count, expect);
        // The load's own verdict: otherwise the show draws both sides of it, at a third more cost.
        EXPECT_TRUE(model.closedOutward) << expect.name;
    }
}

// The software renderer pays for every triangle: a figure over its budget costs frame rate (the
// simplifier stops early when the budget would move the surface too far).
TEST(ModelContentTest, FiguresStayWithinTheirTriangleBudgets) {
    for (const FigureSpec& figure : kFigures) {
        rovena::ModelManager models;
        models.load(figure.name);
        const rovena::Model& model = models.get(figure.name);
        size_t triangles = 0;
        for (int m = 0; m < model.count; ++m) triangles += static_cast<size_t>(model.items[m].triangleCount);
        EXPECT_LE(triangles, figure.triangleBudget) << figure.name;
        EXPECT_GT(triangles, figure.triangleBudget / 2)
            << figure.name << " lost more detail than its budget asks";
    }
}

// The sky is drawn from inside this sphere scaled by 400: every point must be on the unit sphere.
TEST(ModelContentTest, PalloIsTheUnitSphere) {
    rovena::ModelManager models;
    models.load("pallo");
    const Mesh& mesh = models.get("pallo")[0];
    float worst = 0;
    for (int v = 0; v < mesh.vertexCount; ++v) {
        float x = word(mesh, v, 0), y = word(mesh, v, 1), z = word(mesh, v, 2);
        worst = std::fmax(worst, std::fabs(std::sqrt(x * x + y * y + z * z) - 1));
    }
    EXPECT_LT(worst, 1e-5f);
    EXPECT_EQ(mesh.triangleCount, 2 * 8 * 3);
}

// The scene model is opened by its exact path, upper-case extension included. The scene loader
// also uploads GL buffers; the reading and expansion it shares are checked here without GL.
TEST(ModelContentTest, SceneModelOvaaliReadsFromItsExactPath) {
    GrowArray<Mesh> meshes;
    ResDescFile file("data/ovaali.AML");
    int count = readAml(file, meshes, [](const AmlError& error) { FAIL() << "AML error " << error.kind; });
    ASSERT_EQ(count, meshes.count);
    for (Mesh& mesh : meshes) mesh.expandPositions();
    checkMeshes("ovaali", meshes.items, meshes.count, {"ovaali", 5.0f, 6.2f, true});
}

// A row draws its figure larger than its model, the more so the further the eye: its orbit must
// still pass a unit outside the enlarged figure in every frame at 60 a second. A model rebuilt larger
// or reshaped without the sizes fitted again (review_show --fit-sizes) would put the eye into it.
TEST(ModelContentTest, EnlargedFiguresLeaveTheirRowsOrbitsClear) {
    rovena::ModelManager models;
    for (int row = 0; row < objectSequenceRows; ++row) {
        const ContentRow& content = objectSequence[row];
        if (!models.has(content.model)) models.load(content.model);
        const rovena::Model& figure = models.get(content.model);
        const double start = sequenceStartSeconds + row * sequenceRowSeconds;
        std::vector<double> inside;
        for (long frame = std::lround(std::ceil(start * 60)); frame < (start + sequenceRowSeconds) * 60;
             ++frame) {
            const Vec3 eye = sceneEye(Scene::sequence, static_cast<float>(frame / 60.0), 0, content.scale);
            const float size = sequenceFigureScale(row, eye);
            // The figure's +Z is up: the eye's height is its Z, the eye's depth its -Y.
            const float inModel[3] = {eye.x / size, -eye.z / size, eye.y / size};
            if (size != 1 && !figure.clearOutside(inModel, 1 / size)) inside.push_back(frame / 60.0);
        }
        EXPECT_TRUE(inside.empty()) << "row " << row << " (" << content.model << " at "
                                    << sequenceFigureSize[row] << " times its size, grown by the eye's distance): "
                                    << inside.size() << " frames from "
                                    << inside.front() << " s";
    }
}
