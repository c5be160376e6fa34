#pragma once

#include <netinet/in.h>

#include <chrono>
#include <string>
#include <vector>

class Link;

// A UDP socket on 127.0.0.1 that plays the machine's end of the link.
class LoopbackEndpoint {
  public:
    LoopbackEndpoint();
    ~LoopbackEndpoint();
    LoopbackEndpoint(const LoopbackEndpoint&) = delete;
    LoopbackEndpoint& operator=(const LoopbackEndpoint&) = delete;

    int fd() const { return fd_; }
    sockaddr_in address() const;
    void sendTo(const sockaddr_in& to, const std::string& bytes) const;
    void sendTo(std::uint16_t port, const std::string& bytes) const;
    // Every datagram that arrives within `wait` after the last one.
    std::vector<std::string> receive(
        std::chrono::milliseconds wait = std::chrono::milliseconds(50)) const;
    // Waits up to `limit` for one datagram; empty optional-like flag through `got`.
    bool receiveOne(std::string& datagram, std::chrono::milliseconds limit) const;

  private:
    int fd_;
};

// Puts a link in NET mode without its receive thread: it sends from `panel`
// to `machine`, once the machine is known (`peerKnown`).
struct LoopbackWire {
    LoopbackEndpoint panel;
    LoopbackEndpoint machine;
    void attach(Link& link, bool peerKnown = true) const;
    std::vector<std::string> sent() const { return machine.receive(); }
};
