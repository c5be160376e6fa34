#include "UdpLink.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string addressText(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

// Datagrams taken per wake-up, so that a flooding panel cannot starve the timers.
constexpr int kDatagramsPerWake = 64;

}  // namespace

std::unique_ptr<UdpLink> UdpLink::open(const sim::UdpTarget& target, std::uint16_t localPort,
                                       std::string& error) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot create a UDP socket: ") + std::strerror(errno);
        return nullptr;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    local.sin_port = htons(localPort);
    socklen_t length = sizeof local;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        error = "cannot bind 127.0.0.1:" + std::to_string(localPort) + ": " + std::strerror(errno);
        close(fd);
        return nullptr;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(target.address);
    to.sin_port = htons(target.port);
    return std::unique_ptr<UdpLink>(new UdpLink(fd, local, to));
}

UdpLink::~UdpLink() {
    close(fd_);
}

ssize_t UdpLink::send(std::string_view bytes) {
    const ssize_t n = sendto(fd_, bytes.data(), bytes.size(), 0,
                             reinterpret_cast<const sockaddr*>(&target_), sizeof target_);
    // Nobody listening on the panel's port is normal (the panel is not started
    // yet); the datagram is simply lost, as on a real network.
    if (n < 0 && errno == ECONNREFUSED) {
        return static_cast<ssize_t>(bytes.size());
    }
    if (n < 0 && errno == ENOBUFS) {
        errno = EAGAIN;
    }
    return n;
}

bool UdpLink::receive(std::vector<std::string>& commands) {
    for (int i = 0; i < kDatagramsPerWake; ++i) {
        const ssize_t n = recv(fd_, buffer_.data(), buffer_.size(), MSG_DONTWAIT);
        if (n >= 0) {
            commands.emplace_back(buffer_.data(), static_cast<std::size_t>(n));
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return true;
        } else if (errno != ECONNREFUSED && errno != EINTR) {
            return false;
        }
    }
    return true;
}

std::string UdpLink::describe() const {
    return "udp: " + addressText(local_) + " -> " + addressText(target_);
}
