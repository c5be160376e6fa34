#include "os/WakeEvent.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

WakeEvent::WakeEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

WakeEvent::~WakeEvent() {
    close(fd_);
}

void WakeEvent::signal() {
    const std::uint64_t one = 1;
    while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void WakeEvent::drain() {
    std::uint64_t count = 0;
    while (read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

void WakeEvent::wait(int timeoutMs) {
    pollfd entry{fd_, POLLIN, 0};
    while (poll(&entry, 1, timeoutMs) < 0 && errno == EINTR) {
    }
}
