#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "link/PeerAddress.h"

// Datagrams the kernel dropped from the socket's full queue, as the UDP
// receive thread learns of them (SO_RXQ_OVFL) and the owner shows them.
class DatagramLosses {
  public:
    using Clock = std::chrono::steady_clock;
    // Losses this close to the one before count as one episode.
    static constexpr std::chrono::seconds kRecent{10};

    // `lost` more datagrams were dropped, learnt at `now`; returns the episode's count.
    std::uint64_t note(std::uint64_t lost, Clock::time_point now) {
        const std::lock_guard lock(mutex_);
        if (lately_ == 0 || now - lastAt_ > kRecent) {
            lately_ = 0;
        }
        lately_ += lost;
        inAll_ += lost;
        lastAt_ = now;
        return lately_;
    }
    // The count of the latest episode while it is recent, else 0.
    std::uint64_t recent(Clock::time_point now) const {
        const std::lock_guard lock(mutex_);
        return lately_ != 0 && now - lastAt_ <= kRecent ? lately_ : 0;
    }
    std::uint64_t inAll() const {
        const std::lock_guard lock(mutex_);
        return inAll_;
    }

  private:
    mutable std::mutex mutex_;
    std::uint64_t lately_ = 0;
    std::uint64_t inAll_ = 0;
    Clock::time_point lastAt_{};
};

// The NET side of the link as its owner and the UDP receive thread share it:
// whether NET carries commands, the socket they leave from and the machine's
// address. Every field has one writer: the owner writes netMode, the receive
// thread the others.
struct NetLinkState {
    std::atomic<std::uint64_t> peerAddr{0};
    std::atomic<bool> peerKnown{false};
    std::atomic<int> udpSocket{-1};
    std::atomic<bool> netMode{true};
    // Datagrams without a complete frame: counted, never delivered, and they
    // never name the machine.
    std::atomic<std::uint64_t> ignoredDatagrams{0};
    DatagramLosses losses;

    PeerAddress peer() const { return PeerAddress::unpack(peerAddr.load()); }
    void setPeer(const PeerAddress& peer) { peerAddr.store(peer.pack()); }
};
