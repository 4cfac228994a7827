#pragma once
// Opening asset files without ever waiting on them. A FIFO, a device or a directory put where an
// asset belongs would block in open() or read() until something wrote to it; every loader opens
// through these calls instead, and such a path counts as a file that can't be opened.
#include <cstddef>
#include <cstdio>
#include <string>

// True when the path (after links) names a regular file that may be read.
bool isReadableRegularFile(const char* path);

// Opens a regular file for binary reading ("rb"). Null for anything else, with why in `reason`
// when given ("No such file or directory", "not a regular file", ...). Never blocks.
FILE* openRegularFile(const char* path, std::string* reason = nullptr);

// Creates or truncates a regular file for binary writing ("wb"); refuses, without blocking, to
// write into a FIFO or a device found at the path.
FILE* createRegularFile(const char* path, std::string* reason = nullptr);

// The longest shader source or material file read, bytes: any real one is a few kilobytes.
constexpr size_t longestTextAsset = 1 << 20;
enum class TextRead {
    whole,      // the file is in `text`
    unopenable, // missing, or not a regular file that can be opened
    unreadable, // opened, but reading it failed
};
// Reads a regular file whole into `text` (empty unless it was read whole). One longer than
// longestTextAsset is a fatal error naming it ("<kind> 'path' is ... bytes long"), found before it
// is read into memory.
TextRead readTextAsset(const char* kind, const char* path, std::string& text);
