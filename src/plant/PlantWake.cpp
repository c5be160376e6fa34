#include "plant/PlantWake.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

PlantWake::PlantWake() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

PlantWake::~PlantWake() {
    close(fd_);
}

void PlantWake::signal() {
    const std::uint64_t one = 1;
    while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void PlantWake::drain() {
    std::uint64_t count = 0;
    while (read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
}
