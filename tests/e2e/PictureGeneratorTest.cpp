#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <unistd.h>
#include <string>

#include "support/ShowContent.h"

namespace fs = std::filesystem;

namespace {

// Runs the generator into a fresh directory; returns its exit status and fills the directory.
int runGenerator(const fs::path& dir, std::string& output) {
    fs::create_directories(dir);
    fs::path log = dir.string() + ".log";
    std::string command = std::string(LUMORAKKA_BUILD_DIR) + "/tools/make_pictures '" + dir.string() +
                          "' > '" + log.string() + "' 2>&1";
    int status = std::system(command.c_str());
    output = readWholeFile(log.string());
    fs::remove(log);
    return status;
}

std::map<std::string, std::string> filesIn(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir))
        files[entry.path().filename().string()] = readWholeFile(entry.path().string());
    return files;
}

} // namespace

// The build regenerates pictures whenever the generator changes; the same code must give the
// same bytes, or reviews and captured frames drift from run to run. Also checks the budget the
// content has to stay within and that every written file is reported.
TEST(PictureGenerator, TwoRunsWriteIdenticalBytesWithinTheTimeBudget) {
    fs::path root = fs::temp_directory_path() / ("lumorakka-pictures-" + std::to_string(::getpid()));
    fs::remove_all(root);
    std::string firstOutput, secondOutput;
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(runGenerator(root / "first", firstOutput), 0) << firstOutput;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(runGenerator(root / "second", secondOutput), 0) << secondOutput;
    std::map<std::string, std::string> first = filesIn(root / "first"), second = filesIn(root / "second");
    fs::remove_all(root);

    EXPECT_LT(seconds, 20.0);
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
