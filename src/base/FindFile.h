#pragma once
// Asset lookup: turns a bare resource name into the path of a readable file.
#include <string>

// Whether `name` names a file inside the folder it is looked up in: no NUL (which would cut the
// path short, extension and all), no absolute path and no ".." part. Names come from the content
// lists and from material files, which anyone may edit.
bool nameStaysInFolder(const std::string& name);
// `name` as a message shows it: a NUL as \0.
std::string printableName(const std::string& name);

// Tries directory/name.ext for each extension slot up to the last non-empty one, in order, and
// returns the first path that is a regular file that can be read (a FIFO or a directory of that
// name is passed over). An empty slot before a filled one is tried as a path
// ending in ".". A name that leaves the directory (nameStaysInFolder) ends the process, naming it.
// When nothing can be read the process ends with "Could not find file: ..." listing
// every counted extension.
std::string findFile(const std::string& directory, const std::string& name, const std::string& ext1 = "",
                     const std::string& ext2 = "", const std::string& ext3 = "", const std::string& ext4 = "",
                     const std::string& ext5 = "", const std::string& ext6 = "", const std::string& ext7 = "",
                     const std::string& ext8 = "");
