#include <gtest/gtest.h>

#include <cstring>

#include "geometry/ModelManager.h"
#include "geometry/SceneModel.h"
#include "support/AmlSamples.h"
#include "support/FatalText.h"
#include "support/TempDir.h"

using ::testing::ExitedWithCode;

namespace {

Bytes versionThree() {
    return amlHeader(1, 3).append(amlMesh(texturedQuad()));
}

} // namespace

TEST(AmlLoader, LoadReadsDataNameAmlAndExpandsEveryMesh) {
    TempDir dir;
    dir.write("data/x.aml",
              amlHeader(2).append(amlMesh(texturedQuad())).append(amlMesh(texturedQuad())).data);
    rovena::ModelManager models;
    models.load("x");
    rovena::Model& model = models.get("x");
    ASSERT_EQ(model.count, 2);
    for (const Mesh& mesh : model) {
        EXPECT_EQ(mesh.stride, 8);
        EXPECT_EQ(mesh.positionCount, 0);
        EXPECT_EQ(mesh.types[0], 0);
        EXPECT_EQ(mesh.vertexBuffer, -1); // buffers are the caller's next step
    }

    // Loading the name again replaces the meshes in the same stored model.
    dir.write("data/x.aml", smallestAml().data);
    models.load("x");
    EXPECT_EQ(&models.get("x"), &model);
    ASSERT_EQ(model.count, 1);
    EXPECT_EQ(model[0].stride, 3);
    EXPECT_EQ(model[0].triangleCount, 1);

    dir.write("data/empty.aml", amlHeader(0).data);
    models.load("empty");
    EXPECT_EQ(models.get("empty").count, 0);
}

TEST(AmlLoader, LoadOfMissingModelNamesTheLookup) {
    TempDir dir;
    dir.write("data/other.aml", smallestAml().data);
    rovena::ModelManager models;
    EXPECT_EXIT(models.load("x"), ExitedWithCode(1), literally("Could not find file: \"data/x.{aml }\"!"));
}

TEST(AmlLoader, SceneModelKeepsFileLayoutUnlessAskedToExpand) {
    TempDir dir;
    dir.write("data/ovaali.AML",
              amlHeader(2).append(amlMesh(texturedQuad())).append(amlMesh(texturedQuad())).data);
    SceneModelTable table;
    static const char name[] = "sisa";
    static const char sameText[] = "sisa";
    EXPECT_EQ(loadSceneModel(table, "data/ovaali.AML", name, 0), 0);
    ASSERT_EQ(table.entries.count(name), 1u);
    SceneModel* model = table.entries[name];
    EXPECT_EQ(model->meshCount, 2);
    ASSERT_EQ(model->meshes.count, 2);
    EXPECT_EQ(model->meshes[1].stride, 6);
    EXPECT_EQ(model->meshes[1].positionCount, 4);

    // Keyed by the text's address: equal text elsewhere is another entry.
    loadSceneModel(table, "data/ovaali.AML", sameText, 0);
    EXPECT_EQ(table.entries.size(), 2u);
    loadSceneModel(table, "data/ovaali.AML", name, 0);
    EXPECT_EQ(table.entries.size(), 2u);
    EXPECT_NE(table.entries[name], nullptr);
}

TEST(AmlLoader, SceneModelOpensExactlyThePathGiven) {
    TempDir dir;
    dir.write("data/ovaali.aml", smallestAml().data);
    SceneModelTable table;
    EXPECT_EXIT(
        {
            echoBoxTextOnStderr();
            loadSceneModel(table, "data/ovaali.AML", "sisa", 0);
        },
        ExitedWithCode(1), literally("[box]File data/ovaali.AML not found![/box]"));
}

namespace {
// Both loaders stop on a bad file with the same message naming it, in the error box; `message` is
// a regular expression for the box's text from its start.
void expectBothLoadersReport(const std::string& message) {
    rovena::ModelManager models;
    EXPECT_EXIT(
        {
            echoBoxTextOnStderr();
            models.load("x");
        },
        ExitedWithCode(1), "\\[box\\]" + message);
    SceneModelTable table;
    EXPECT_EXIT(
        {
            echoBoxTextOnStderr();
            loadSceneModel(table, "data/x.aml", "x", 1);
        },
        ExitedWithCode(1), "\\[box\\]" + message);
}
} // namespace

TEST(AmlLoader, WrongMagicIsReportedByBothLoaders) {
    TempDir dir;
    dir.write("data/x.aml", Bytes().raw({'A', 'M', 'X', 2, 0, 0, 0, 0}).data);
    expectBothLoadersReport(literally("File 'data/x.aml' is not AML file (or is format version 0).\n[/box]"));
}

TEST(AmlLoader, VersionThreeIsReportedByBothLoaders) {
    TempDir dir;
    dir.write("data/x.aml", versionThree().data);
    expectBothLoadersReport(literally("File 'data/x.aml' is not AML format 2 file (format = 3).\n[/box]"));
}

TEST(AmlLoader, DamagedFilesAreRejectedByBothLoaders) {
    TempDir dir;
    for (const DamagedCase& c : damagedCases()) {
        SCOPED_TRACE(c.name);
        dir.write("data/x.aml", c.bytes.data);
        expectBothLoadersReport(literally("File 'data/x.aml' is damaged AML file: ") + c.detail);
    }
}
