#include "base/RegularFile.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/FatalError.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

FILE* fail(std::string* reason, const char* why) {
    if (reason) *reason = why;
    return nullptr;
}

#ifdef _WIN32
// No FIFOs to wait on here; stat's answer is as good as the open.
FILE* openChecked(const char* path, const char* mode, bool creating, std::string* reason) {
    struct _stat info;
    if (_stat(path, &info) == 0) {
        if (!(info.st_mode & _S_IFREG)) return fail(reason, "not a regular file");
    } else if (!creating) {
        return fail(reason, strerror(errno));
    }
    FILE* file = fopen(path, mode);
    if (!file) return fail(reason, strerror(errno));
    return file;
}
#else
// O_NONBLOCK makes opening a FIFO return at once; fstat then tells what was opened, so no second
// lookup can be raced.
FILE* openChecked(const char* path, std::string* reason) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(reason, strerror(errno));
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return fail(reason, "not a regular file");
    }
    int status = fcntl(fd, F_GETFL);
    if (status < 0 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        int error = errno;
        close(fd);
        return fail(reason, strerror(error));
    }
    FILE* file = fdopen(fd, "rb");
    if (!file) {
        int error = errno;
        close(fd);
        return fail(reason, strerror(error));
    }
    return file;
}
#endif

// The longest name `folder` takes, bytes.
size_t longestName(const std::string& folder) {
#if defined(_PC_NAME_MAX)
    const long most = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (most > 0) return static_cast<size_t>(most);
#else
    (void)folder;
#endif
    return 255;
}

} // namespace

bool isReadableRegularFile(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode) && access(path, R_OK) == 0;
}

namespace {

// Tries names "TARGET.xxxxxx.partial" beside `target` under tags no other caller picks until
// `make` (which returns 0 or an errno) takes one that doesn't exist yet. The name is cut to fit the
// longest name the folder takes. 0, or the errno of the last try.
template <typename Make>
int nameBeside(const std::string& target, std::string& createdPath, Make make) {
    // The folder as the target names it (empty for the working directory), and the name in it.
    const size_t slash = target.find_last_of('/');
    const std::string prefix = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string name = target.substr(prefix.size());
    const char* const suffix = ".partial";
    constexpr size_t tagBytes = 7; // ".xxxxxx"
    const size_t room = longestName(prefix.empty() ? "." : prefix);
    if (room > tagBytes + strlen(suffix) && name.size() > room - tagBytes - strlen(suffix)) {
        // Cut at the start of a character, so the name stays readable as UTF-8.
        size_t keep = room - tagBytes - strlen(suffix);
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xc0) == 0x80) --keep;
        name.resize(keep);
    }
    const std::string stem = prefix + name;

    static unsigned counter = 0;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned mix = static_cast<unsigned>(now) ^ static_cast<unsigned>(getpid()) * 2654435761u ^
                             (++counter * 40503u);
        char tag[16];
        snprintf(tag, sizeof tag, ".%06x", mix & 0xffffff);
        createdPath = stem + tag + suffix;
        const int error = make(createdPath);
        if (error != EEXIST) return error;
    }
    return EEXIST;
}

#if defined(O_TMPFILE)
// An unnamed file gets its name through its /proc link; without /proc it could never get one.
bool unnamedFilesCanBeNamed() {
    static const bool can = access("/proc/self/fd", X_OK) == 0;
    return can;
}
#endif

} // namespace

int createFileBeside(const std::string& target, std::string& createdPath) {
    int fd = -1;
    const int error = nameBeside(target, createdPath, [&](const std::string& path) {
#ifdef _WIN32
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_BINARY, 0666);
#else
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
#endif
        return fd >= 0 ? 0 : errno;
    });
    if (error != 0) errno = error;
    return error == 0 ? fd : -1;
}

bool NewFile::create(const std::string& path, std::string& reason) {
    discard();
#ifndef _WIN32
    struct stat info;
    if (lstat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return (reason = strerror(EISDIR)), false;
        if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) return (reason = "not a regular file"), false;
    } else if (errno != ENOENT) {
        return (reason = strerror(errno)), false;
    }
#else
    struct _stat info;
    if (_stat(path.c_str(), &info) == 0 && !(info.st_mode & _S_IFREG))
        return (reason = "not a regular file"), false;
#endif
    target = path;
#if defined(O_TMPFILE)
    if (unnamedFilesCanBeNamed()) {
        const size_t slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd >= 0) return true;
        // A file system without unnamed files says so in one of these ways; anything else (no such
        // folder, no permission, read-only) is the reason a named file would fail for too.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return (reason = strerror(errno)), false;
    }
#endif
    fd = createFileBeside(path, partial);
    if (fd < 0) {
        reason = strerror(errno);
        partial.clear();
        return false;
    }
    return true;
}

bool NewFile::publish(std::string& reason) {
    if (fd < 0) return (reason = strerror(EBADF)), false;
#ifndef _WIN32
    struct stat info;
    if (lstat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
        reason = S_ISDIR(info.st_mode) ? strerror(EISDIR) : "not a regular file";
        discard();
        return false;
    }
#endif
#if defined(O_TMPFILE)
    if (partial.empty()) {
        // linkat won't replace a file: the complete file gets a name of its own beside the target
        // first, and that name is renamed over the target.
        char self[40];
        snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
        const int error = nameBeside(target, partial, [&](const std::string& name) {
            return linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
        });
        if (error != 0) {
            partial.clear();
            reason = strerror(error);
            discard();
            return false;
        }
    }
#endif
    close(fd);
    fd = -1;
#ifdef _WIN32
    const bool renamed = MoveFileExA(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    const std::string why = renamed ? "" : "cannot replace the file";
#else
    const bool renamed = rename(partial.c_str(), target.c_str()) == 0;
    const std::string why = renamed ? "" : strerror(errno);
#endif
    if (!renamed) {
        reason = why;
        discard();
        return false;
    }
    partial.clear();
    return true;
}

void NewFile::discard() {
    if (fd >= 0) close(fd);
    fd = -1;
    if (!partial.empty()) remove(partial.c_str());
    partial.clear();
}

void reportFileSizeLimitAsError() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

#ifdef _WIN32
FILE* openRegularFile(const char* path, std::string* reason) {
    return openChecked(path, "rb", false, reason);
}
#else
FILE* openRegularFile(const char* path, std::string* reason) {
    return openChecked(path, reason);
}
#endif

FileRead readWholeFile(const char* path, size_t limitBytes, std::string& bytes, long long* lengthBytes) {
    bytes.clear();
    FILE* file = openRegularFile(path);
    if (!file) return FileRead::unopenable;
    struct stat info;
    if (fstat(fileno(file), &info) == 0 && static_cast<unsigned long long>(info.st_size) > limitBytes) {
        fclose(file);
        if (lengthBytes) *lengthBytes = static_cast<long long>(info.st_size);
        return FileRead::tooLong;
    }
    // Read up to a chunk past the limit: a file that has grown since still can't take the memory.
    char chunk[4096];
    size_t got;
    while (bytes.size() <= limitBytes && (got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    const bool failed = ferror(file) != 0;
    fclose(file);
    FileRead read = FileRead::whole;
    if (bytes.size() > limitBytes) {
        if (lengthBytes) *lengthBytes = -1;
        read = FileRead::tooLong;
    } else if (failed) {
        read = FileRead::unreadable;
    }
    if (read != FileRead::whole) bytes.clear();
    return read;
}

std::string describeFileRead(FileRead read, size_t limitBytes, long long lengthBytes) {
    switch (read) {
    case FileRead::whole:
        return "was read whole";
    case FileRead::unopenable:
        return "can't be opened";
    case FileRead::unreadable:
        return "can't be read";
    case FileRead::tooLong:
        break;
    }
    char text[128];
    if (lengthBytes >= 0)
        snprintf(text, sizeof text, "is %lld bytes long; at most %zu are read", lengthBytes, limitBytes);
    else
        snprintf(text, sizeof text, "is more than %zu bytes long; at most that many are read", limitBytes);
    return text;
}

TextRead readTextAsset(const char* kind, const char* path, std::string& text) {
    long long length = -1;
    switch (readWholeFile(path, longestTextAsset, text, &length)) {
    case FileRead::whole:
        return TextRead::whole;
    case FileRead::unopenable:
        return TextRead::unopenable;
    case FileRead::unreadable:
        return TextRead::unreadable;
    case FileRead::tooLong:
        break;
    }
    fatalError("%s '%s' %s.", kind, path, describeFileRead(FileRead::tooLong, longestTextAsset, length).c_str());
}
