#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geometry/ModelManager.h"
#include "gpu/TextureManager.h"
#include "base/FatalError.h"
#include "base/Manager.h"
#include "support/FatalText.h"

using ::testing::ExitedWithCode;

namespace {

struct Target {
    int value = 0;
};

// A registry that records its GL work instead of doing it.
class RecordingManager : public rovena::UseManager<Target> {
public:
    explicit RecordingManager(std::string word) : word(std::move(word)) {}
    std::string typeName() const override { return word; }
    void bind(const std::string& name) override { binds.push_back(name); }
    void unbind() override { unbindsSeeing.push_back(current); }

    std::string word;
    std::vector<std::string> binds;
    std::vector<std::string> unbindsSeeing; // `current` as unbind found it
};

RecordingManager* watched = nullptr;

// Reports the watched registry's state at the moment the fatal report is made.
void stateSink(const char*) {
    fprintf(stderr, "current='%s' binds=%zu\n", watched->current.c_str(), watched->binds.size());
}

} // namespace

TEST(Manager, UnknownNameIsFatalWithTheKindWord) {
    rovena::ModelManager models;
    rovena::TextureManager textures;
    RecordingManager fbos("FBO");
    RecordingManager shaders("shader");
    EXPECT_EXIT(models.get("x"), ExitedWithCode(1), "No such model: 'x'\\.");
    EXPECT_EXIT(textures.get("overlay"), ExitedWithCode(1), "No such texture: 'overlay'\\.");
    EXPECT_EXIT(fbos.get("rt0"), ExitedWithCode(1), "No such FBO: 'rt0'\\.");
    EXPECT_EXIT(fbos.use("rt9"), ExitedWithCode(1), "No such FBO: 'rt9'\\.");
    // What a uniform setter reports when no shader is in use.
    EXPECT_EXIT(shaders.get(""), ExitedWithCode(1), "No such shader: ''\\.");
}

TEST(Manager, UseOfUnknownNameFailsBeforeCurrentChangesOrBind) {
    RecordingManager materials("material");
    materials.entry("a");
    materials.use("a");
    watched = &materials;
    EXPECT_EXIT(
        {
            setErrorBox(stateSink);
            materials.use("b");
        },
        ExitedWithCode(1), "No such material: 'b'\\.\ncurrent='a' binds=1");
}

TEST(Manager, UnuseWithNothingInUseIsFatal) {
    RecordingManager fbos("FBO");
    EXPECT_EXIT(fbos.unuse(), ExitedWithCode(1), "Cannot unuse: No FBO in use\\.");
    fbos.entry("rt0");
    fbos.use("rt0");
    fbos.unuse();
    EXPECT_TRUE(fbos.current.empty());
    EXPECT_EXIT(fbos.unuse(), ExitedWithCode(1), "Cannot unuse: No FBO in use\\.");
}

TEST(Manager, SecondUseReplacesWithoutUnbindingAndOneUnuseEndsIt) {
    RecordingManager materials("material");
    materials.entry("a");
    materials.entry("b");
    materials.use("a");
    materials.use("b");
    EXPECT_EQ(materials.binds, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(materials.unbindsSeeing.empty());
    EXPECT_EQ(materials.current, "b");
    materials.unuse();
    // unbind must still see the name, so a target can look itself up again.
    EXPECT_EQ(materials.unbindsSeeing, (std::vector<std::string>{"b"}));
    EXPECT_EQ(materials.current, "");
}

TEST(Manager, EmptyNameIsAnOrdinaryKey) {
    RecordingManager shaders("shader");
    shaders.entry("").value = 5;
    shaders.entry(" ").value = 6;
    EXPECT_EQ(shaders.get("").value, 5);
    EXPECT_EQ(shaders.get(" ").value, 6);
    EXPECT_EQ(shaders.entries.size(), 2u);
}

TEST(Manager, LookupIsExactAndCaseSensitive) {
    RecordingManager materials("material");
    materials.entry("marble").value = 1;
    EXPECT_TRUE(materials.has("marble"));
    EXPECT_FALSE(materials.has("marble "));
    EXPECT_FALSE(materials.has("marb"));
    EXPECT_FALSE(materials.has(std::string("marble\0", 7)));
    EXPECT_EXIT(materials.get("Marble"), ExitedWithCode(1), "No such material: 'Marble'\\.");
    EXPECT_EXIT(materials.use("MARBLE"), ExitedWithCode(1), "No such material: 'MARBLE'\\.");
}

TEST(Manager, EntryCreatesOnceAndReferencesSurviveLaterInsertions) {
    rovena::ModelManager models;
    rovena::Model& first = models.entry("pah");
    first.appendDefault().vertexCount = 42;
    for (int i = 0; i < 2000; ++i) models.entry("model" + std::to_string(i));
    EXPECT_EQ(&models.entry("pah"), &first);
    EXPECT_EQ(&models.get("pah"), &first);
    EXPECT_EQ(first.count, 1);
    EXPECT_EQ(first[0].vertexCount, 42);
    EXPECT_EQ(models.entries.size(), 2001u);
}

TEST(Manager, NameWithPercentSignsIsShownAsItStands) {
    rovena::ModelManager models;
    EXPECT_EXIT(models.get("%s%n%d"), ExitedWithCode(1), literally("No such model: '%s%n%d'."));
}
