#include "link/PortWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace {
// Names created, removed, renamed in or out, and device nodes whose owner or
// mode changed (udev grants the dialout group only after creating the node).
constexpr std::uint32_t kFolderEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF;
}  // namespace

PortWatcher::PortWatcher(const PortsEnvironment& env)
    : folders_{env.portsDir, env.devRoot / "serial", env.devRoot / "serial" / "by-id",
               env.devRoot} {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    watchFolders();
}

PortWatcher::~PortWatcher() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

// Adding a watch that exists already is harmless, so every folder is simply
// watched again after each batch of events: one that appeared meanwhile (the
// ports folder made at start-up, /dev/serial made for the first adapter) is
// then watched too.
void PortWatcher::watchFolders() {
    if (fd_ < 0) {
        return;
    }
    for (const std::filesystem::path& folder : folders_) {
        inotify_add_watch(fd_, folder.c_str(), kFolderEvents | IN_ONLYDIR);
    }
}

bool PortWatcher::takeEvents() {
    if (fd_ < 0) {
        return false;
    }
    alignas(inotify_event) std::array<char, 4096> buffer;
    bool any = false;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
        if (got > 0) {
            any = true;
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        break;  // EAGAIN: nothing more pending
    }
    if (any) {
        watchFolders();
    }
    return any;
}
