#include "base/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/FatalError.h"

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
// O_NONBLOCK makes opening a FIFO return at once (or fail with ENXIO when writing to one nobody
// reads); fstat then tells what was opened, so no second lookup can be raced.
FILE* openChecked(const char* path, const char* mode, bool creating, std::string* reason) {
    int flags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (creating ? O_WRONLY | O_CREAT : O_RDONLY);
    int fd = open(path, flags, 0666);
    if (fd < 0) return fail(reason, strerror(errno));
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return fail(reason, "not a regular file");
    }
    // Truncated only now that it is known to be a regular file.
    int status = fcntl(fd, F_GETFL);
    if ((creating && ftruncate(fd, 0) != 0) || status < 0 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        int error = errno;
        close(fd);
        return fail(reason, strerror(error));
    }
    FILE* file = fdopen(fd, mode);
    if (!file) {
        int error = errno;
        close(fd);
        return fail(reason, strerror(error));
    }
    return file;
}
#endif

} // namespace

bool isReadableRegularFile(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode) && access(path, R_OK) == 0;
}

FILE* openRegularFile(const char* path, std::string* reason) {
    return openChecked(path, "rb", false, reason);
}

FILE* createRegularFile(const char* path, std::string* reason) {
    return openChecked(path, "wb", true, reason);
}

TextRead readTextAsset(const char* kind, const char* path, std::string& text) {
    text.clear();
    FILE* file = openRegularFile(path);
    if (!file) return TextRead::unopenable;
    struct stat info;
    if (fstat(fileno(file), &info) == 0 && info.st_size > static_cast<off_t>(longestTextAsset)) {
        fclose(file);
        fatalError("%s '%s' is %lld bytes long; at most %zu are read.", kind, path,
                   static_cast<long long>(info.st_size), longestTextAsset);
    }
    // Read up to a chunk past the bound: a file that has grown since still can't take the memory.
    char chunk[4096];
    size_t got;
    while (text.size() <= longestTextAsset && (got = fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    const bool failed = ferror(file) != 0;
    fclose(file);
    if (text.size() > longestTextAsset)
        fatalError("%s '%s' is more than %zu bytes long; at most that many are read.", kind, path,
                   longestTextAsset);
    if (!failed) return TextRead::whole;
    text.clear();
    return TextRead::unreadable;
}
