#include <set>
#include <string>

#include <gtest/gtest.h>

#include "demo/Content.h"

// A name the timeline draws with but start-up never loads ends the show mid-way.
TEST(ContentTest, EverySequenceRowNamesLoadedContent) {
    std::set<std::string> models(contentModels, contentModels + contentModelCount);
    std::set<std::string> materials;
    for (const MaterialLoad& load : materialLoads) materials.insert(load.name);
    std::set<std::string> usedMaterials;
    for (int row = 0; row < objectSequenceRows; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(models.count(objectSequence[row].model), 1u);
        EXPECT_EQ(materials.count(objectSequence[row].material), 1u);
        EXPECT_GT(objectSequence[row].scale, 0.0f);
        usedMaterials.insert(objectSequence[row].material);
    }
    EXPECT_EQ(usedMaterials.size(), 9u); // m1 to m9 all appear
    for (const char* name : {"marble", "kivikko skybox"}) EXPECT_EQ(materials.count(name), 1u) << name;
    for (const char* name : {"ninja", "pallo"}) EXPECT_EQ(models.count(name), 1u) << name;
    EXPECT_EQ(materials.size(), static_cast<size_t>(materialLoadCount)) << "a material name is loaded twice";
    // A hue listed under a name the sequence never draws with leaves the sky's light on its figure.
    for (const SubjectHue& hue : subjectHues) EXPECT_EQ(usedMaterials.count(hue.material), 1u) << hue.material;
}
