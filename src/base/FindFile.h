#pragma once
// Asset lookup: turns a bare resource name into the path of a readable file.
#include <string>

// Tries directory/name.ext for each extension slot up to the last non-empty one, in order, and
// returns the first path that can be read. An empty slot before a filled one is tried as a path
// ending in ".". When nothing can be read the process ends with "Could not find file: ..." listing
// every counted extension.
std::string findFile(const std::string& directory, const std::string& name, const std::string& ext1 = "",
                     const std::string& ext2 = "", const std::string& ext3 = "", const std::string& ext4 = "",
                     const std::string& ext5 = "", const std::string& ext6 = "", const std::string& ext7 = "",
                     const std::string& ext8 = "");
