#include "e2e/FileWatch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

FileWatch::FileWatch(std::vector<std::filesystem::path> folders)
    : folders_(std::move(folders)), fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ < 0) {
        throw std::runtime_error(std::string("inotify_init1: ") + std::strerror(errno));
    }
}

FileWatch::~FileWatch() {
    close(fd_);
}

void FileWatch::watchExisting() {
    constexpr std::uint32_t kChanges =
        IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE;
    for (const auto& folder : folders_) {
        // Watching a folder again is harmless; a missing one simply fails.
        inotify_add_watch(fd_, folder.c_str(), kChanges);
    }
}

void FileWatch::drain() {
    alignas(inotify_event) char buffer[4096];
    while (read(fd_, buffer, sizeof buffer) > 0) {
    }
}

bool FileWatch::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
                          const std::vector<int>& stopFds) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        // Watches first, then the look: a change after the look wakes the poll.
        watchExisting();
        if (done()) {
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        std::vector<pollfd> waits{{fd_, POLLIN, 0}};
        for (const int fd : stopFds) {
            waits.push_back({fd, POLLIN, 0});
        }
        if (poll(waits.data(), waits.size(), static_cast<int>(left.count())) < 0 &&
            errno != EINTR) {
            return done();
        }
        if (std::any_of(waits.begin() + 1, waits.end(),
                        [](const pollfd& p) { return p.revents != 0; })) {
            return done();
        }
        drain();
    }
}
