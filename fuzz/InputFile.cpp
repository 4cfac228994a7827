#include "InputFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

const std::string& inputFile(const uint8_t* data, size_t size) {
    static int fd = -1;
    static std::string path;
    if (fd < 0) {
        fd = memfd_create("fuzz-input", 0);
        if (fd < 0) {
            perror("memfd_create");
            abort();
        }
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    if (ftruncate(fd, 0) != 0 || (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
        perror("fuzz input");
        abort();
    }
    return path;
}
