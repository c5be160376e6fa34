#include "storage/DiskSync.h"

#include <unistd.h>

#include <cerrno>

int syncToDisk(int fd, SyncKind kind) {
    for (;;) {
        const int result = kind == SyncKind::Data ? ::fdatasync(fd) : ::fsync(fd);
        if (result == 0) {
            return 0;
        }
        if (errno != EINTR) {
            return errno;
        }
    }
}
