// arc4random for the portable program (LUMORAKKA_PORTABLE). The static C++ runtime's
// std::random_device calls it, and the C library has it only from glibc 2.36: defined here, the
// program starts on older ones. As the C library's, it never fails; it aborts when the kernel
// gives no random bytes at all.
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/random.h>

uint32_t arc4random(void) {
    uint32_t value;
    for (;;) {
        const ssize_t got = getrandom(&value, sizeof value, 0);
        if (got == (ssize_t)sizeof value) return value;
        if (got < 0 && errno != EINTR) abort();
    }
}
