#pragma once
// Opening the program's files without ever waiting on them or writing where it must not. A FIFO, a
// device or a directory put where an asset belongs would block in open() or read() until something
// wrote to it; every loader opens through these calls instead, and such a path counts as a file
// that can't be opened. What the program writes (captures, videos) goes into files of its own that
// take the place of whatever was at the path: nothing is written through a link or into another
// name of an existing file.
#include <cstddef>
#include <cstdio>
#include <string>

// True when the path (after links) names a regular file that may be read.
bool isReadableRegularFile(const char* path);

// Opens a regular file for binary reading ("rb"). Null for anything else, with why in `reason`
// when given ("No such file or directory", "not a regular file", ...). Never blocks.
FILE* openRegularFile(const char* path, std::string* reason = nullptr);

// A file the program writes (a capture, a video) that appears at its path only once it is
// complete: until publish() it has no name at all (O_TMPFILE, where the file system has it), so
// nothing is left behind even by SIGKILL, or else a name of its own beside the target,
// "TARGET.xxxxxx.partial" (createFileBeside). publish() puts it at the target in one rename: a file
// or a link already there is replaced, not written through, so a link's target and the other names
// of a file keep what they held, and a write that fails leaves the earlier file at the path as it
// was. A folder, a FIFO or a device at the path is refused without blocking. Dropped unpublished,
// the file goes (its partial name is removed).
class NewFile {
public:
    NewFile() = default;
    ~NewFile() { discard(); }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // False with the reason ("Is a directory", "not a regular file", "Read-only file system", ...).
    bool create(const std::string& target, std::string& reason);
    // Readable and writable; -1 before create() or after publish() or discard().
    int descriptor() const { return fd; }
    // The file's temporary name, or empty while it has none.
    const std::string& partialPath() const { return partial; }
    // Gives the complete file the target's name and closes it. False with the reason, the file
    // discarded and the path as it was, when the name can't be given or something other than a
    // regular file or a link has appeared at the path since.
    bool publish(std::string& reason);
    // Closes and removes the file.
    void discard();

private:
    int fd = -1;
    std::string target;
    std::string partial;
};

// A write past a file-size limit (ulimit -f) fails with "File too large" like any other failed
// write, instead of the signal's default of ending the process. Hosts call this first thing.
void reportFileSizeLimitAsError();

enum class FileRead {
    whole,      // the file is in `bytes`
    unopenable, // missing, or not a regular file that can be opened
    unreadable, // opened, but reading it failed
    tooLong,    // longer than the caller takes
};
// Reads a regular file whole into `bytes` (empty unless it was read whole), at most `limitBytes`
// of it: one that is longer is refused before it is read into memory, with its length in
// `lengthBytes` when given, or, should it have grown since, once reading passes the limit, with
// -1 there. Never reads more than a chunk past the limit.
FileRead readWholeFile(const char* path, size_t limitBytes, std::string& bytes, long long* lengthBytes = nullptr);
// What became of a read, as the rest of a sentence about the file ("can't be opened", "is 3221225472
// bytes long; at most 1048576 are read").
std::string describeFileRead(FileRead read, size_t limitBytes, long long lengthBytes = -1);

// The longest shader source or material file read, bytes: any real one is a few kilobytes.
constexpr size_t longestTextAsset = 1 << 20;
enum class TextRead {
    whole,      // the file is in `text`
    unopenable, // missing, or not a regular file that can be opened
    unreadable, // opened, but reading it failed
};
// readWholeFile for a text asset of the show. One longer than longestTextAsset is a fatal error
// naming it ("<kind> 'path' is ... bytes long").
TextRead readTextAsset(const char* kind, const char* path, std::string& text);
