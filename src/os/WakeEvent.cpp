#include "os/WakeEvent.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

WakeEvent::WakeEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), error_(fd_ < 0 ? errno : 0) {}

WakeEvent::~WakeEvent() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

void WakeEvent::signal() {
    if (fd_ < 0) {
        return;
    }
    const std::uint64_t one = 1;
    while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void WakeEvent::drain() {
    if (fd_ < 0) {
        return;
    }
    std::uint64_t count = 0;
    while (read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

void WakeEvent::wait(int timeoutMs) {
    pollfd entry{fd_, POLLIN, 0};  // poll skips a negative descriptor: only the timeout then
    while (poll(&entry, 1, timeoutMs) < 0 && errno == EINTR) {
    }
}
