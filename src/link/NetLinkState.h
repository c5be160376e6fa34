#pragma once

#include <atomic>
#include <cstdint>

#include "link/PeerAddress.h"

// The NET side of the link as its owner and the UDP receive thread share it:
// whether NET carries commands, the socket they leave from and the machine's
// address. Every field has one writer: the owner writes netMode, the receive
// thread the others.
struct NetLinkState {
    std::atomic<std::uint64_t> peerAddr{0};
    std::atomic<bool> peerKnown{false};
    std::atomic<int> udpSocket{-1};
    std::atomic<bool> netMode{true};

    PeerAddress peer() const { return PeerAddress::unpack(peerAddr.load()); }
    void setPeer(const PeerAddress& peer) { peerAddr.store(peer.pack()); }
};
