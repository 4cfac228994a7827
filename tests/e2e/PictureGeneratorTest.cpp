#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "support/Process.h"
#include "support/ShowContent.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// Runs the generator into a fresh directory; returns its exit status and fills the directory.
int runGenerator(const fs::path& dir, std::string& output) {
    fs::create_directories(dir);
    CommandResult result = runCommand(
        {std::string(LUMORAKKA_BUILD_DIR) + "/tools/make_pictures", dir.string()}, "/", {}, 120000);
    output = result.output + result.errors;
    return result.exitStatus;
}

std::map<std::string, std::string> filesIn(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir))
        files[entry.path().filename().string()] = readWholeFile(entry.path().string());
    return files;
}

} // namespace

// The build regenerates pictures whenever the generator changes; the same code must give the
// same bytes, or reviews and captured frames drift from run to run. Every written file is reported.
TEST(PictureGenerator, TwoRunsWriteIdenticalBytesAndReportThem) {
    TempDir root;
    std::string firstOutput, secondOutput;
    ASSERT_EQ(runGenerator(fs::path(root.path) / "first", firstOutput), 0) << firstOutput;
    ASSERT_EQ(runGenerator(fs::path(root.path) / "second", secondOutput), 0) << secondOutput;
    std::map<std::string, std::string> first = filesIn(fs::path(root.path) / "first"),
                                       second = filesIn(fs::path(root.path) / "second");

    ASSERT_FALSE(first.empty());
    ASSERT_EQ(first.size(), second.size());
    for (const auto& [name, bytes] : first) {
        auto other = second.find(name);
        ASSERT_NE(other, second.end()) << name << " missing from the second run";
        EXPECT_TRUE(bytes == other->second) << name << " differs between runs";
        EXPECT_NE(firstOutput.find(name), std::string::npos) << name << " written but not reported";
    }
    EXPECT_NE(firstOutput.find("done in"), std::string::npos) << firstOutput;
}
