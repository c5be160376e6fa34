#include "os/StopSignals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

namespace {

sigset_t stopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

StopSignals::StopSignals() {
    const sigset_t set = stopSet();
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) {
        error_ = errno;
        return;
    }
    fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd_ < 0) {
        error_ = errno;
        sigprocmask(SIG_UNBLOCK, &set, nullptr);
    }
}

StopSignals::~StopSignals() {
    if (fd_ >= 0) {
        close(fd_);
        const sigset_t set = stopSet();
        sigprocmask(SIG_UNBLOCK, &set, nullptr);
    }
}

int StopSignals::take() {
    int last = 0;
    signalfd_siginfo info{};
    while (fd_ >= 0 && read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        last = static_cast<int>(info.ssi_signo);
    }
    return last;
}
