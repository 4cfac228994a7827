#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <unistd.h>

namespace {

// Directories still present when the process exits (a death test's child never runs destructors).
std::set<std::string>& liveDirs() {
    static std::set<std::string>* dirs = new std::set<std::string>;
    return *dirs;
}

void removeLiveDirs() {
    std::error_code ignored;
    for (const std::string& dir : liveDirs()) std::filesystem::remove_all(dir, ignored);
}

} // namespace

TempDir::TempDir() {
    static bool cleanupRegistered = false;
    if (!cleanupRegistered) {
        atexit(removeLiveDirs);
        cleanupRegistered = true;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "lumorakka-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path = pattern;
    liveDirs().insert(path);
    std::filesystem::create_directories(path + "/data");
    previous = std::filesystem::current_path().string();
    std::filesystem::current_path(path);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
    std::filesystem::remove_all(path, ignored);
    liveDirs().erase(path);
}

void TempDir::write(const std::string& relativePath, const std::vector<unsigned char>& bytes) const {
    std::filesystem::path file = std::filesystem::path(path) / relativePath;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

void TempDir::write(const std::string& relativePath, const std::string& text) const {
    write(relativePath, std::vector<unsigned char>(text.begin(), text.end()));
}
