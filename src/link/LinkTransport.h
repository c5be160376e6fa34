#pragma once

#include <cstddef>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

#include "link/LinkStatus.h"

// What became of one command.
enum class SendResult {
    Sent,         // handed to the UDP socket, or written whole to the port
    Dropped,      // no machine address yet (NET) or no open port (serial)
    WriteFailed,  // the port did not take it all in time
};

// How a transport reaches its owner from its receive thread.
struct TransportEvents {
    // One received chunk, in order. `release` is requested when the chunk's
    // source is given up: a delivery still waiting for room then must return.
    std::function<void(std::string chunk, std::stop_token release)> deliver;
    // Something the transport adds to LinkStatus may have changed.
    std::function<void()> changed;
};

// One kind of link to the machine (UDP, a serial port). Link owns one of
// each and chooses which carries the commands. Every member but the receive
// thread's events is called on the owner's thread.
class LinkTransport {
  public:
    virtual ~LinkTransport() = default;

    // Starts the receive thread (and whatever it needs); stops and joins it.
    virtual void start() = 0;
    virtual void stop() = 0;
    // Sends `command`, its text and its NUL, and traces it.
    virtual SendResult send(std::string_view command) = 0;
    // The longest command, NUL included, that one send carries whole.
    virtual std::size_t longestCommand() const = 0;
    // Its part of the link's status.
    virtual void describe(LinkStatus& status) const = 0;
};
