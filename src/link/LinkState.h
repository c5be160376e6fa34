#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>

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
    bool operator==(const PeerAddress&) const = default;
};

// The process-wide link record: which link carries commands and the handles it
// uses. Every field that more than one thread touches is atomic; each has one
// writer.
struct LinkState {
    std::atomic<int> serialHandle{-1};  // meaningful only while serialOpen
    std::atomic<std::uint64_t> peerAddr{0};
    sockaddr_in bindAddr{};  // written once by the UDP thread before it binds
    std::atomic<bool> peerKnown{false};
    std::atomic<bool> serialOpen{false};
    std::atomic<bool> sendSuppressed{false};
    std::atomic<int> udpSocket{-1};
    std::atomic<bool> netMode{true};

    PeerAddress peer() const { return PeerAddress::unpack(peerAddr.load()); }
    void setPeer(const PeerAddress& peer) { peerAddr.store(peer.pack()); }

    // Back to the values a new window starts from (used when a window closes).
    void reset();
};

extern LinkState linkState;
