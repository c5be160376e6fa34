#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

// The machine's network address, packed into one 64-bit word so that it is
// always read and written whole: the UDP receive thread replaces it with every
// datagram while the window's thread sends to it.
struct PeerAddress {
    std::uint32_t address = 0;  // IPv4 address, network byte order
    std::uint16_t port = 0;     // network byte order

    static PeerAddress fromSockaddr(const sockaddr_in& from);
    sockaddr_in toSockaddr() const;
    std::uint64_t pack() const;
    static PeerAddress unpack(std::uint64_t word);
    // "192.168.1.20:5000"
    std::string text() const;
    bool operator==(const PeerAddress&) const = default;
};
