#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "link/ChunkQueue.h"
#include "link/LinkStatus.h"
#include "link/LinkTransport.h"
#include "link/NetTransport.h"
#include "link/SerialPortNames.h"
#include "link/SerialTransport.h"
#include "os/WakeEvent.h"

class PortWatcher;

struct LinkSetup {
    std::uint16_t udpPort = 0;
    PortsEnvironment ports;  // where COM names are looked up
};

// Called on the thread that calls Link::pump(), never on a receive thread.
struct LinkHandlers {
    std::function<void(const std::string& chunk)> chunk;
    std::function<void(const LinkStatus& status)> statusChanged;
    // Serial devices or port names may have come or gone: read the list again.
    std::function<void()> portsChanged;
};

// The panel's link to the machine: NET (UDP; the machine's address is the
// latest sender) or one serial port, each a transport that Link owns; Link
// chooses which carries the commands. Everything it has to tell its owner
// (chunks, status changes, port list changes) reaches the owner's thread
// through one descriptor: eventFd() becomes readable, then pump() hands it
// over to the handlers. Every member but the constructor's handlers is
// called on the owner's thread.
class Link {
  public:
    Link(LinkSetup setup, LinkHandlers handlers);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Opens the UDP socket, starts both receive threads and watches the ports.
    void start();
    // Stops and joins both threads and closes the socket and the port; idempotent.
    void stop();

    void chooseNet();
    // Closes any open port, then opens COM<number>. False when it cannot be
    // opened (traced with the reason); commands then go nowhere until another
    // choice. A chosen port whose device goes away is closed and reopened by
    // itself as soon as a device is back under its name; commands sent
    // meanwhile fail like a failed write.
    bool chooseSerial(unsigned number);

    // The text up to its first NUL, and one NUL, as one datagram to the
    // machine or one write to the open port.
    SendResult send(const std::string& text);
    // The longest command, its NUL included, that the chosen link carries
    // whole: 65,507 bytes in one datagram, 90,000 bytes on the serial line.
    std::size_t longestCommand() const;

    // The serial ports to offer now (listSerialPorts); names in the ports
    // folder that are not port names are traced once each.
    std::vector<unsigned> serialPorts();

    LinkStatus status() const;
    // Datagrams that held no complete frame: they named no machine and were
    // not handed over.
    std::uint64_t ignoredDatagrams() const { return net_.ignoredDatagrams(); }
    // When the owner last took a chunk of the chosen link; none since it was
    // chosen.
    std::optional<std::chrono::steady_clock::time_point> lastFrameAt() const {
        return lastFrameAt_;
    }

    // Readable when there is something to hand over (-1 when the descriptor
    // could not be made). pump() then takes port events (closing a port whose
    // name no longer leads to its device, reopening one that waits for its
    // device, telling portsChanged), hands over a status change, if any, then
    // up to a batch of chunks; it signals eventFd() again while more are
    // queued.
    int eventFd() const { return events_; }
    void pump();

    // Without the receive threads: commands in NET mode leave from `socket`
    // (still the caller's) to `peer`, when given. For tests that play the wire.
    void attachSocket(int socket, std::optional<PeerAddress> peer);

  private:
    LinkTransport& chosen();
    const LinkTransport& chosen() const;
    bool takePortEvents();
    void queueChunk(std::string chunk, std::stop_token release);
    void markChanged();

    LinkSetup setup_;
    LinkHandlers handlers_;
    ChunkQueue chunks_;
    WakeEvent wake_;   // the owner's: chunks queued or status changed
    int events_ = -1;  // epoll: wake_ and the port watcher
    std::atomic<bool> statusChanged_{false};
    LinkStatus reported_;
    std::optional<std::chrono::steady_clock::time_point> lastFrameAt_;
    NetTransport net_;
    SerialTransport serial_;
    std::unique_ptr<PortWatcher> ports_;  // from start(), once the ports folder exists
    IgnoredPortNames ignoredNames_;
};
