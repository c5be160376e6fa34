#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <thread>

#include "link/NetLinkState.h"
#include "os/WakeEvent.h"

// The UDP receive thread. It owns the panel's one UDP socket (also the socket
// commands leave from, published in net.udpSocket), binds it to 0.0.0.0:<port>,
// and while net.netMode holds receives datagrams: the sender becomes the
// machine's address and each datagram (at most 1023 bytes of it) is delivered
// in order. While the link is serial, datagrams wait in the socket's queue. A
// port held by another program is retried once a second. `changed` is called
// whenever the socket, its binding or the machine's address change.
class NetReceiver {
  public:
    // Hands one datagram on. `release` is requested by stop(): a delivery
    // still waiting then must return.
    using Deliver = std::function<void(std::string datagram, std::stop_token release)>;
    using Changed = std::function<void()>;

    NetReceiver(std::uint16_t port, NetLinkState& net, Deliver deliver, Changed changed = {});
    ~NetReceiver();
    NetReceiver(const NetReceiver&) = delete;
    NetReceiver& operator=(const NetReceiver&) = delete;

    void start();
    // Call after changing the link mode, so the thread looks at it again.
    void wake();
    // Stops and joins the thread and closes the socket.
    void stop();

    bool bound() const { return bound_; }

  private:
    void run();
    bool tryBind(int socket, int& lastError);
    // False when nothing was waiting.
    bool receiveOne(int socket);

    void setBound(bool bound);
    void changed() const;

    std::uint16_t port_;
    NetLinkState& net_;
    Deliver deliver_;
    Changed changed_;
    WakeEvent wake_;
    std::atomic<bool> stopping_{false};
    std::stop_source release_;
    std::atomic<bool> bound_{false};
    int socket_ = -1;
    int lastBindError_ = 0;  // touched by start() before the thread, then by the thread only
    std::thread thread_;
};
