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

#include "link/ChunkQueue.h"
#include "link/LinkStatus.h"
#include "link/NetLinkState.h"
#include "link/SerialCommandWriter.h"
#include "link/SerialPortNames.h"
#include "link/WakeEvent.h"

class NetReceiver;
class PortWatcher;
class SerialReceiver;

// What became of one command.
enum class SendResult {
    Sent,         // handed to the UDP socket, or written whole to the port
    Suppressed,   // held back while sends are suppressed; not traced
    Dropped,      // no machine address yet (NET) or no open port (serial)
    WriteFailed,  // the port did not take it all in time
};

struct LinkSetup {
    std::uint16_t udpPort = 0;
    PortsEnvironment ports;  // where COM names are looked up
};

// Called on the thread that calls Link::pump(), never on a receive thread.
struct LinkHandlers {
    std::function<void(const std::string& chunk)> chunk;
    std::function<void(const LinkStatus& status)> statusChanged;
};

// The panel's link to the machine: NET (UDP; the machine's address is the
// latest sender) or one serial port. It owns the UDP socket, the open port and
// both receive threads. Chunks and status changes reach the owner's thread
// through one queue: eventFd() becomes readable, then pump() hands them over.
// Every member but the constructor's handlers is called on the owner's thread.
class Link {
  public:
    // The largest UDP payload over IPv4: a command and its NUL must fit.
    static constexpr std::size_t kMaxDatagram = 65507;

    Link(LinkSetup setup, LinkHandlers handlers);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Opens the UDP socket and starts both receive threads.
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
    void setSendsSuppressed(bool suppressed) { sendsSuppressed_ = suppressed; }
    bool sendsSuppressed() const { return sendsSuppressed_; }

    LinkStatus status() const;
    // When the owner last took a chunk of the chosen link; none since it was
    // chosen.
    std::optional<std::chrono::steady_clock::time_point> lastFrameAt() const {
        return lastFrameAt_;
    }

    // Readable when serial devices or port names may have changed (-1 when
    // they cannot be watched). Then the owner calls takePortEvents(), which
    // also closes a port whose name no longer leads to its device and reopens
    // a port that is waiting for its device. True when the list of ports
    // should be read again.
    int portEventFd() const;
    bool takePortEvents();

    int eventFd() const { return wake_.fd(); }
    // Hands over a status change, if any, then up to a batch of chunks;
    // signals eventFd() again while more are queued.
    void pump();

    // Without the receive threads: commands in NET mode leave from `socket`
    // (still the caller's) to `peer`, when given. For tests that play the wire.
    void attachSocket(int socket, std::optional<PeerAddress> peer);

  private:
    void closeSerial();
    bool openChosenPort(int& error);
    void portWentAway();
    void lookAtChosenPort();
    void queueChunk(std::string chunk, std::stop_token release);
    void markChanged();

    LinkSetup setup_;
    LinkHandlers handlers_;
    NetLinkState net_;
    ChunkQueue chunks_;
    WakeEvent wake_;  // the owner's: chunks queued or status changed
    std::atomic<bool> statusChanged_{false};
    std::atomic<bool> serialFailed_{false};
    LinkStatus reported_;
    int serialFd_ = -1;
    unsigned serialPort_ = 0;
    SerialState serialState_ = SerialState::None;
    int serialError_ = 0;
    std::string serialDevice_;
    std::optional<std::chrono::steady_clock::time_point> lastFrameAt_;
    std::unique_ptr<PortWatcher> ports_;  // from start(), once the ports folder exists
    bool sendsSuppressed_ = false;
    SerialCommandWriter serialWriter_;  // what the serial line owes survives a port switch
    std::unique_ptr<NetReceiver> netReceiver_;
    std::unique_ptr<SerialReceiver> serialReceiver_;
};
