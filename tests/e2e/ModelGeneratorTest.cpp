// Runs the model generator as the build does and checks what it leaves behind.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kModelFiles[] = {"pallo.aml", "ovaali.AML",    "pah.aml",
                                   "ninja.aml", "bakteeri1.aml", "demoni.aml"};

struct RunResult {
    int exitStatus;
    std::string output; // standard output and standard error together
};

RunResult runGenerator(const std::string& argument) {
    std::string command = std::string(LUMORAKKA_BUILD_DIR) + "/tools/make_models '" + argument + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {-1, "popen failed"};
    std::string output;
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::vector<char> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path freshDirectory(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("lumorakka-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    return dir;
}

} // namespace

// Two runs must write identical bytes, so the build output never depends on timing, addresses or
// threads; each run must stay well inside the content time budget and say what it wrote.
TEST(ModelGeneratorTest, TwoRunsWriteIdenticalFilesAndReportThem) {
    fs::path first = freshDirectory("models-a"), second = freshDirectory("models-b");
    auto start = std::chrono::steady_clock::now();
    RunResult a = runGenerator(first.string());
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RunResult b = runGenerator(second.string());
    ASSERT_EQ(a.exitStatus, 0) << a.output;
    ASSERT_EQ(b.exitStatus, 0) << b.output;
    EXPECT_LT(seconds, 30.0);
    for (const char* name : kModelFiles) {
        std::vector<char> bytesA = readAll(first / name), bytesB = readAll(second / name);
        EXPECT_GT(bytesA.size(), 8u) << name;
        EXPECT_TRUE(bytesA == bytesB) << name << " differs between runs";
        EXPECT_NE(a.output.find(name), std::string::npos) << name << " not reported:\n" << a.output;
    }
    EXPECT_NE(a.output.find("models written in"), std::string::npos) << a.output;
    fs::remove_all(first);
    fs::remove_all(second);
}

TEST(ModelGeneratorTest, UnwritableDataDirectoryFailsWithItsName) {
    fs::path dir = freshDirectory("models-blocked");
    fs::create_directories(dir);
    std::ofstream(dir / "file") << "not a directory";
    std::string target = (dir / "file" / "data").string();
    RunResult result = runGenerator(target);
    EXPECT_NE(result.exitStatus, 0);
    EXPECT_NE(result.output.find("Cannot create '" + target + "'"), std::string::npos) << result.output;
    fs::remove_all(dir);
}
