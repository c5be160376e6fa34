#include "link/PeerAddress.h"

#include <arpa/inet.h>

PeerAddress PeerAddress::fromSockaddr(const sockaddr_in& from) {
    return PeerAddress{from.sin_addr.s_addr, from.sin_port};
}

sockaddr_in PeerAddress::toSockaddr() const {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = port;
    to.sin_addr.s_addr = address;
    return to;
}

std::uint64_t PeerAddress::pack() const {
    return (std::uint64_t{address} << 16) | port;
}

PeerAddress PeerAddress::unpack(std::uint64_t word) {
    return PeerAddress{static_cast<std::uint32_t>(word >> 16),
                       static_cast<std::uint16_t>(word & 0xFFFF)};
}

std::string PeerAddress::text() const {
    char dotted[INET_ADDRSTRLEN] = {};
    const in_addr ip{address};
    inet_ntop(AF_INET, &ip, dotted, sizeof dotted);
    return std::string(dotted) + ":" + std::to_string(ntohs(port));
}
