#include "base/RegularFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "base/FatalError.h"

namespace {

FILE* fail(std::string* reason, const char* why) {
    if (reason) *reason = why;
    return nullptr;
}

// A file as the system knows it, whatever name it is reached by.
using FileIdentity = std::pair<unsigned long long, unsigned long long>; // device, inode

std::mutex gInputsLock;
std::set<FileIdentity> gInputs;

FileIdentity identityOf(const struct stat& info) {
    return {static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino)};
}

void noteInput(const struct stat& info) {
    const std::lock_guard<std::mutex> hold(gInputsLock);
    gInputs.insert(identityOf(info));
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
    noteInput(info);
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

int createFileBeside(const std::string& target, std::string& createdPath) {
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
#ifdef _WIN32
        int fd = open(createdPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_BINARY, 0666);
#else
        int fd = open(createdPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
#endif
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

#ifdef _WIN32
FILE* openRegularFile(const char* path, std::string* reason) {
    return openChecked(path, "rb", false, reason);
}

FILE* createRegularFile(const char* path, std::string* reason) {
    return openChecked(path, "wb", true, reason);
}
#else
FILE* openRegularFile(const char* path, std::string* reason) {
    return openChecked(path, reason);
}

// The new file is made beside the path and renamed over it before anything is written: the path
// names a file of its own from the start, so a write that fails leaves no one else's bytes changed.
FILE* createRegularFile(const char* path, std::string* reason) {
    struct stat info;
    if (lstat(path, &info) == 0) {
        if (S_ISDIR(info.st_mode)) return fail(reason, strerror(EISDIR));
        if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) return fail(reason, "not a regular file");
    } else if (errno != ENOENT) {
        return fail(reason, strerror(errno));
    }
    std::string fresh;
    const int fd = createFileBeside(path, fresh);
    if (fd < 0) return fail(reason, strerror(errno));
    FILE* file = rename(fresh.c_str(), path) == 0 ? fdopen(fd, "wb") : nullptr;
    if (!file) {
        const int error = errno;
        close(fd);
        unlink(fresh.c_str());
        return fail(reason, strerror(error));
    }
    return file;
}
#endif

bool isProgramInput(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0) return false;
    struct stat program;
    if (stat("/proc/self/exe", &program) == 0 && identityOf(program) == identityOf(info)) return true;
    const std::lock_guard<std::mutex> hold(gInputsLock);
    return gInputs.count(identityOf(info)) > 0;
}

void noteInputFolder(const char* folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (fs::recursive_directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        struct stat info;
        if (stat(entry->path().string().c_str(), &info) == 0 && S_ISREG(info.st_mode)) noteInput(info);
    }
}

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
