#pragma once
// A fresh directory under the system's temporary directory, with data/ inside, that is the working
// directory while the object lives, so the engine's relative paths such as "data/x.aml" land in it.
// Removed afterwards, also when a death test's child ends in exit().
#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    // Writes the bytes to a path relative to the directory, creating parent directories.
    void write(const std::string& relativePath, const std::vector<unsigned char>& bytes) const;
    void write(const std::string& relativePath, const std::string& text) const;

    std::string path;

private:
    std::string previous;
};
