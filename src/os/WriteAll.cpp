#include "os/WriteAll.h"

#include <unistd.h>

#include <cerrno>

int writeAll(int fd, const void* data, std::size_t size) {
    const char* next = static_cast<const char*>(data);
    std::size_t left = size;
    while (left > 0) {
        const ssize_t n = ::write(fd, next, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return EIO;
        }
        next += n;
        left -= static_cast<std::size_t>(n);
    }
    return 0;
}
