#include "support/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

Pty::Pty() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        throw std::runtime_error("posix_openpt");
    }
    slavePath_ = ptsname(master_);
    termios raw{};
    tcgetattr(master_, &raw);
    cfmakeraw(&raw);
    tcsetattr(master_, TCSANOW, &raw);
}

Pty::~Pty() {
    unplug();
}

void Pty::linkAs(const std::filesystem::path& portsDir, const std::string& comName) const {
    std::filesystem::create_directories(portsDir);
    std::filesystem::create_symlink(slavePath_, portsDir / comName);
}

void Pty::relinkAs(const std::filesystem::path& portsDir, const std::string& comName) const {
    std::filesystem::remove(portsDir / comName);
    linkAs(portsDir, comName);
}

void Pty::write(const std::string& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) {
            throw std::runtime_error("pty write");
        }
        done += static_cast<std::size_t>(wrote);
    }
}

void Pty::offer(const std::string& bytes) const {
    pollfd entry{master_, POLLOUT, 0};
    if (poll(&entry, 1, 0) > 0 && (entry.revents & POLLOUT) != 0) {
        const int flags = fcntl(master_, F_GETFL);
        fcntl(master_, F_SETFL, flags | O_NONBLOCK);
        [[maybe_unused]] const ssize_t wrote = ::write(master_, bytes.data(), bytes.size());
        fcntl(master_, F_SETFL, flags);
    }
}

std::string Pty::read(std::chrono::milliseconds quiet) const {
    std::string bytes;
    std::array<char, 4096> buffer{};
    pollfd entry{master_, POLLIN, 0};
    while (poll(&entry, 1, static_cast<int>(quiet.count())) > 0 && (entry.revents & POLLIN)) {
        const ssize_t got = ::read(master_, buffer.data(), buffer.size());
        if (got <= 0) {
            break;
        }
        bytes.append(buffer.data(), static_cast<std::size_t>(got));
    }
    return bytes;
}

void Pty::unplug() {
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}
