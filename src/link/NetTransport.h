#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "link/LinkTransport.h"
#include "link/NetLinkState.h"

class NetReceiver;

// The UDP link: the panel's one socket on 0.0.0.0:<port> and its receive
// thread. The machine's address is learnt from the datagrams. The socket
// stays bound while a serial port carries the commands; datagrams then wait
// in its queue.
class NetTransport final : public LinkTransport {
  public:
    // The largest UDP payload over IPv4: a command and its NUL must fit.
    static constexpr std::size_t kMaxDatagram = 65507;

    NetTransport(std::uint16_t port, TransportEvents events);
    ~NetTransport() override;

    void start() override;
    void stop() override;
    SendResult send(std::string_view command) override;
    std::size_t longestCommand() const override { return kMaxDatagram; }
    void describe(LinkStatus& status) const override;

    // Whether NET carries the commands: datagrams are received only then.
    void setCarrying(bool carrying);
    bool carrying() const { return state_.netMode; }
    // Datagrams received without a complete frame, and so ignored.
    std::uint64_t ignoredDatagrams() const { return state_.ignoredDatagrams; }

    // Without the receive thread: commands leave from `socket` (still the
    // caller's) to `peer`, when given. For tests that play the wire.
    void attachSocket(int socket, std::optional<PeerAddress> peer);

  private:
    std::uint16_t port_;
    TransportEvents events_;
    NetLinkState state_;
    std::unique_ptr<NetReceiver> receiver_;
};
