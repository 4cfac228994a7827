#pragma once
// A working directory of its own for one run of the program: captures and relative output paths
// land in it, and its data/ is the build's run-time data, linked entry by entry so single files can
// be left out or replaced. Inline: the build directory is known to the test executables only.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "support/Process.h"

#ifdef LUMORAKKA_BUILD_DIR
class ShowRun {
public:
    ShowRun() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumorakka-e2e-XXXXXX").string();
        if (mkdtemp(pattern.data())) root = pattern;
        std::filesystem::create_directories(root / "data" / "materials");
        const std::filesystem::path built = std::filesystem::path(LUMORAKKA_BUILD_DIR) / "data";
        for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(built))
            if (entry.path().filename() != "materials")
                std::filesystem::create_symlink(entry.path(), root / "data" / entry.path().filename());
        for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(built / "materials"))
            std::filesystem::create_symlink(entry.path(), root / "data" / "materials" / entry.path().filename());
    }
    ~ShowRun() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    void remove(const std::string& dataFile) { std::filesystem::remove(root / "data" / dataFile); }
    // Replaces a linked data file by its first `length` bytes, as an interrupted copy leaves it.
    void truncate(const std::string& dataFile, size_t length) {
        const std::filesystem::path path = root / "data" / dataFile;
        std::ifstream in(std::filesystem::read_symlink(path), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::filesystem::remove(path);
        std::ofstream(path, std::ios::binary) << bytes.substr(0, length);
    }
    // Replaces a linked data file by a copy with `line` added at its end.
    void appendLine(const std::string& dataFile, const std::string& line) {
        const std::filesystem::path path = root / "data" / dataFile;
        std::ifstream in(std::filesystem::read_symlink(path), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        std::filesystem::remove(path);
        std::ofstream(path, std::ios::binary) << text.str() << line;
    }

    std::unique_ptr<ChildProcess> start(const std::string& display) {
        return start(display, {});
    }
    // The program with `arguments`, on `display` ("" for none) and SDL's silent audio driver.
    std::unique_ptr<ChildProcess> start(const std::string& display, const std::vector<std::string>& arguments,
                                        std::map<std::string, std::string> environment = {}) {
        std::vector<std::string> argv{std::string(LUMORAKKA_BUILD_DIR) + "/lumorakka"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        environment.emplace("DISPLAY", display);
        environment.emplace("SDL_AUDIODRIVER", "dummy");
        return std::make_unique<ChildProcess>(argv, root.string(), environment);
    }

    std::filesystem::path root;
};

#endif
