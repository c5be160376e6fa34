#include "support/LoopbackWire.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

#include "link/Link.h"

LoopbackEndpoint::LoopbackEndpoint() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        throw std::runtime_error("loopback socket");
    }
}

LoopbackEndpoint::~LoopbackEndpoint() {
    close(fd_);
}

sockaddr_in LoopbackEndpoint::address() const {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size);
    return local;
}

void LoopbackEndpoint::sendTo(const sockaddr_in& to, const std::string& bytes) const {
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void LoopbackEndpoint::sendTo(std::uint16_t port, const std::string& bytes) const {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    sendTo(to, bytes);
}

bool LoopbackEndpoint::receiveOne(std::string& datagram, std::chrono::milliseconds limit) const {
    pollfd entry{fd_, POLLIN, 0};
    if (poll(&entry, 1, static_cast<int>(limit.count())) <= 0) {
        return false;
    }
    std::array<char, 70000> buffer{};
    const ssize_t size = recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (size < 0) {
        return false;
    }
    datagram.assign(buffer.data(), static_cast<std::size_t>(size));
    return true;
}

std::vector<std::string> LoopbackEndpoint::receive(std::chrono::milliseconds wait) const {
    std::vector<std::string> datagrams;
    std::string datagram;
    while (receiveOne(datagram, wait)) {
        datagrams.push_back(datagram);
    }
    return datagrams;
}

void LoopbackWire::attach(Link& link, bool peerKnown) const {
    link.attachSocket(panel.fd(), peerKnown
                                      ? std::optional(PeerAddress::fromSockaddr(machine.address()))
                                      : std::nullopt);
}
