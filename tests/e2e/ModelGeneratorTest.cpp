// Runs the model generator as the build does and checks what it leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

const char* const kModelFiles[] = {"pallo.aml", "ovaali.AML",    "pah.aml",
                                   "ninja.aml", "bakteeri1.aml", "demoni.aml"};

struct RunResult {
    int exitStatus;
    std::string output; // standard output and standard error together
};

RunResult runGenerator(const std::string& argument) {
    CommandResult result =
        runCommand({std::string(LUMORAKKA_BUILD_DIR) + "/tools/make_models", argument}, "/", {}, 120000);
    return {result.exitStatus, result.output + result.errors};
}

std::vector<char> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

// Two runs must write identical bytes, so the build output never depends on timing, addresses or
// threads; each run says what it wrote.
TEST(ModelGeneratorTest, TwoRunsWriteIdenticalFilesAndReportThem) {
    TempDir scratch;
    fs::path first = fs::path(scratch.path) / "a", second = fs::path(scratch.path) / "b";
    RunResult a = runGenerator(first.string());
    RunResult b = runGenerator(second.string());
    ASSERT_EQ(a.exitStatus, 0) << a.output;
    ASSERT_EQ(b.exitStatus, 0) << b.output;
    for (const char* name : kModelFiles) {
        std::vector<char> bytesA = readAll(first / name), bytesB = readAll(second / name);
        EXPECT_GT(bytesA.size(), 8u) << name;
        EXPECT_TRUE(bytesA == bytesB) << name << " differs between runs";
        EXPECT_NE(a.output.find(name), std::string::npos) << name << " not reported:\n" << a.output;
    }
    EXPECT_NE(a.output.find("models written in"), std::string::npos) << a.output;
}

TEST(ModelGeneratorTest, UnwritableDataDirectoryFailsWithItsName) {
    TempDir scratch;
    fs::path dir = scratch.path;
    std::ofstream(dir / "file") << "not a directory";
    std::string target = (dir / "file" / "data").string();
    RunResult result = runGenerator(target);
    EXPECT_NE(result.exitStatus, 0);
    EXPECT_NE(result.output.find("Cannot create '" + target + "'"), std::string::npos) << result.output;
}
