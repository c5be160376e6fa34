#include "SerialLink.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "PortsFolder.h"

namespace {

constexpr int kReadsPerWake = 16;

std::string failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

std::unique_ptr<SerialLink> SerialLink::open(const std::string& comName, std::string& error) {
    std::unique_ptr<SerialLink> link(new SerialLink);
    link->comName_ = comName;
    link->master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (link->master_ < 0) {
        error = failure("cannot open a pseudo-terminal");
        return nullptr;
    }
    char path[256] = "";
    if (fcntl(link->master_, F_SETFD, FD_CLOEXEC) != 0 ||
        fcntl(link->master_, F_SETFL, O_NONBLOCK) != 0 || grantpt(link->master_) != 0 ||
        unlockpt(link->master_) != 0 || ptsname_r(link->master_, path, sizeof path) != 0) {
        error = failure("cannot prepare the pseudo-terminal");
        return nullptr;
    }
    link->slavePath_ = path;
    link->slave_ = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    termios mode{};
    if (link->slave_ < 0 || tcgetattr(link->slave_, &mode) != 0) {
        error = failure("cannot open the terminal side");
        return nullptr;
    }
    // Raw: no echo of the panel's commands, no line editing, no CR/LF changes,
    // every byte passes unchanged both ways.
    cfmakeraw(&mode);
    if (tcsetattr(link->slave_, TCSANOW, &mode) != 0) {
        error = failure("cannot set the terminal to raw mode");
        return nullptr;
    }
    link->folder_ = sim::portsFolder();
    error = sim::claimPortLink(link->folder_, comName, link->slavePath_);
    if (!error.empty()) {
        return nullptr;
    }
    link->linked_ = true;
    return link;
}

SerialLink::~SerialLink() {
    if (linked_) {
        sim::releasePortLink(folder_, comName_, slavePath_);
    }
    if (slave_ >= 0) {
        close(slave_);
    }
    if (master_ >= 0) {
        close(master_);
    }
}

ssize_t SerialLink::send(std::string_view bytes) {
    return write(master_, bytes.data(), bytes.size());
}

bool SerialLink::receive(std::vector<std::string>& commands) {
    char buffer[4096];
    for (int i = 0; i < kReadsPerWake; ++i) {
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n > 0) {
            for (auto& command : splitter_.feed({buffer, static_cast<std::size_t>(n)})) {
                commands.push_back(std::move(command));
            }
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

void SerialLink::discardUnread() {
    tcflush(slave_, TCIFLUSH);
}

std::string SerialLink::describe() const {
    return "serial: " + comName_ + " -> " + slavePath_ + " (" + folder_ + "/" + comName_ + ")";
}
