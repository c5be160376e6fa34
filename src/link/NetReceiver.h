#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/NetLinkState.h"
#include "os/WakeEvent.h"

// The UDP receive thread. It owns the panel's one UDP socket (also the socket
// commands leave from, published in net.udpSocket), binds it to 0.0.0.0:<port>,
// and while net.netMode holds receives datagrams, each read whole (up to
// 65,507 bytes). A datagram that holds a complete frame ("start[" ... "]end")
// is delivered in order and its sender becomes the machine's address; any
// other (empty, stray) is counted in net.ignoredDatagrams and dropped. The
// datagrams the kernel dropped from the full queue are counted too
// (SO_RXQ_OVFL, net.losses) and traced. While the link is serial, datagrams
// wait in the socket's queue. A port held by another program is retried once
// a second. `changed` is called whenever the socket, its binding, the
// machine's address or the losses change.
// Whether a datagram holds a frame from "start[" to "]end" (before any NUL).
bool holdsCompleteFrame(std::string_view datagram);

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
    void noteDrops(std::uint32_t dropsSoFar);

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
    int lastBindError_ = 0;        // touched by start() before the thread, then by the thread only
    std::uint32_t dropsSeen_ = 0;  // the thread's
    std::vector<char> buffer_ = std::vector<char>(65507);  // the thread's: one whole datagram
    std::thread thread_;
};
