#include "base/StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

int openClosedStandardDescriptors() {
    int closed = 0;
#if !defined(_WIN32)
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        closed |= 1 << fd;
        // The lowest free number is this one: the ones below it are open by now.
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
#endif
    return closed;
}
