#include "link/Link.h"

#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "link/NetReceiver.h"
#include "link/PortWatcher.h"
#include "link/SerialDevice.h"
#include "link/SerialReceiver.h"
#include "text/DebugTrace.h"
#include "text/TraceText.h"

namespace {
// Chunks handed over per pump, so a flood never starves painting and the
// operator's clicks on the owner's thread.
constexpr std::size_t kChunksPerPump = 64;
}  // namespace

Link::Link(LinkSetup setup, LinkHandlers handlers)
    : setup_(std::move(setup)), handlers_(std::move(handlers)) {}

Link::~Link() {
    stop();
}

// The receive threads queue their chunks; the wake event tells the owner's
// thread that the queue is no longer empty. Chunks and their order travel
// only through the queue.
void Link::start() {
    if (netReceiver_) {
        return;
    }
    auto deliver = [this](std::string chunk, std::stop_token release) {
        queueChunk(std::move(chunk), std::move(release));
    };
    netReceiver_ =
        std::make_unique<NetReceiver>(setup_.udpPort, net_, deliver, [this] { markChanged(); });
    serialReceiver_ = std::make_unique<SerialReceiver>(deliver, [this] {
        serialFailed_ = true;
        markChanged();
    });
    netReceiver_->start();
    serialReceiver_->start();
    ports_ = std::make_unique<PortWatcher>(setup_.ports);
    if (serialFd_ >= 0) {
        serialReceiver_->setPort(serialFd_);
    }
}

// The queue is closed first: a receive thread waiting for room returns, so
// both threads can be joined.
void Link::stop() {
    chunks_.close();
    if (netReceiver_) {
        netReceiver_->stop();
    }
    closeSerial();
    if (serialReceiver_) {
        serialReceiver_->stop();
    }
}

void Link::closeSerial() {
    if (serialFd_ < 0) {
        return;
    }
    if (serialReceiver_) {
        serialReceiver_->setPort(-1);  // returns once the reader has let go of it
    }
    closeSerialPort(serialFd_);
    serialFd_ = -1;
    serialFailed_ = false;
    serialDevice_.clear();
    markChanged();
}

void Link::chooseNet() {
    DebugTrace("CTolvaneAppDlg::OnCbnSelchangeComnumCombo", 939, "command by net");
    closeSerial();
    serialState_ = SerialState::None;
    lastFrameAt_.reset();
    net_.netMode = true;
    if (netReceiver_) {
        netReceiver_->wake();
    }
    markChanged();
}

bool Link::chooseSerial(unsigned number) {
    DebugTrace("CTolvaneAppDlg::OnCbnSelchangeComnumCombo", 943, "command by uart");
    net_.netMode = false;
    if (netReceiver_) {
        netReceiver_->wake();
    }
    closeSerial();
    serialPort_ = number;
    lastFrameAt_.reset();
    markChanged();
    int error = 0;
    if (!openChosenPort(error)) {
        const std::string path = comPortPath(setup_.ports, number).string();
        DebugTrace("CTolvaneAppDlg::OnCbnSelchangeComnumCombo", 951, "open %s failed: %s%s",
                   path.c_str(), std::strerror(error),
                   error == EACCES ? " (is the user in the dialout group?)" : "");
        serialState_ = SerialState::CannotOpen;
        serialError_ = error;
        return false;
    }
    return true;
}

// Opens the chosen port's name as it leads now, raw at 2,000,000 bit/s 8N1,
// and has the receive thread serve it.
bool Link::openChosenPort(int& error) {
    const std::filesystem::path path = comPortPath(setup_.ports, serialPort_);
    const SerialOpenResult opened = openSerialPort(path.string());
    if (opened.fd < 0) {
        error = opened.error;
        return false;
    }
    configureSerialPort(opened.fd);
    serialFd_ = opened.fd;
    serialState_ = SerialState::Open;
    serialError_ = 0;
    std::error_code ignored;
    serialDevice_ = std::filesystem::canonical(path, ignored).string();
    if (serialReceiver_) {
        serialReceiver_->setPort(opened.fd);
    }
    markChanged();
    return true;
}

// The open port stopped working (unplugged, hung up, its name removed): it is
// closed and waits, with no thread awake, for a port event naming a device.
// The device may be back already, so one attempt is made at once.
void Link::portWentAway() {
    DebugTrace("Link::portWentAway", 1, "COM%u went away; waiting for it", serialPort_);
    closeSerial();
    serialState_ = SerialState::Away;
    lookAtChosenPort();
}

// Compares the chosen port's name with what is open: a name that no longer
// leads to the open device means the device went away; a port waiting for
// its device is reopened once the name leads to one again.
void Link::lookAtChosenPort() {
    if (net_.netMode) {
        return;
    }
    if (serialState_ == SerialState::Open) {
        struct stat named {};
        struct stat held {};
        const std::string path = comPortPath(setup_.ports, serialPort_).string();
        const bool same = ::stat(path.c_str(), &named) == 0 && ::fstat(serialFd_, &held) == 0 &&
                          named.st_rdev == held.st_rdev;
        if (!same) {
            portWentAway();
        }
        return;
    }
    if (serialState_ != SerialState::Away) {
        return;
    }
    int error = 0;
    if (openChosenPort(error)) {
        DebugTrace("Link::lookAtChosenPort", 1, "COM%u is back; reopened", serialPort_);
    }
}

bool Link::takePortEvents() {
    if (!ports_ || !ports_->takeEvents()) {
        return false;
    }
    lookAtChosenPort();
    return true;
}

// The trace lines keep the names operators' scripts match them by.
SendResult Link::send(const std::string& text) {
    if (sendsSuppressed_) {
        return SendResult::Suppressed;
    }
    const std::size_t size = std::strlen(text.c_str()) + 1;  // up to the first NUL, and it

    if (net_.netMode) {
        DebugTrace("CTolvaneAppDlg::tmSendMsg", 799, "net cmd:\r\n%s",
                   traceSafe(text.c_str()).c_str());
        const int socket = net_.udpSocket;
        if (!net_.peerKnown || socket < 0) {
            return SendResult::Dropped;
        }
        const sockaddr_in to = net_.peer().toSockaddr();
        sendto(socket, text.c_str(), size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
               sizeof to);
        return SendResult::Sent;
    }

    // A port waiting for its device takes nothing: the command fails as a
    // write to an unplugged port would, and nothing is kept for later.
    SendResult result =
        serialState_ == SerialState::Away ? SendResult::WriteFailed : SendResult::Dropped;
    if (serialFd_ >= 0) {
        result = serialWriter_.write(serialFd_, {text.c_str(), size}) ? SendResult::Sent
                                                                      : SendResult::WriteFailed;
    }
    DebugTrace("CTolvaneAppDlg::tmSendMsg", 807, "uart cmd:\r\n%s",
               traceSafe(text.c_str()).c_str());
    return result;
}

LinkStatus Link::status() const {
    LinkStatus status;
    status.kind = net_.netMode ? LinkKind::Net : LinkKind::Serial;
    status.serialPort = serialPort_;
    status.serial = serialState_;
    status.serialOpen = serialFd_ >= 0;
    status.serialError = serialError_;
    status.serialDevice = serialDevice_;
    status.udpOpen = net_.udpSocket >= 0;
    status.udpBound = netReceiver_ && netReceiver_->bound();
    status.peerKnown = net_.peerKnown;
    status.peer = net_.peer();
    return status;
}

void Link::pump() {
    wake_.drain();
    if (serialFailed_.exchange(false) && serialFd_ >= 0) {
        portWentAway();
    }
    if (statusChanged_.exchange(false)) {
        const LinkStatus now = status();
        if (now != reported_) {
            reported_ = now;
            if (handlers_.statusChanged) {
                handlers_.statusChanged(now);
            }
        }
    }
    std::vector<std::string> batch;
    const bool more = chunks_.popBatch(batch, kChunksPerPump);
    if (!batch.empty()) {
        lastFrameAt_ = std::chrono::steady_clock::now();
    }
    for (const std::string& chunk : batch) {
        if (handlers_.chunk) {
            handlers_.chunk(chunk);
        }
    }
    if (more) {
        wake_.signal();  // the rest on the next turn of the owner's event loop
    }
}

void Link::attachSocket(int socket, std::optional<PeerAddress> peer) {
    net_.netMode = true;
    net_.udpSocket = socket;
    if (peer) {
        net_.setPeer(*peer);
    }
    net_.peerKnown = peer.has_value();
    markChanged();
}

void Link::queueChunk(std::string chunk, std::stop_token release) {
    if (chunks_.push(std::move(chunk), std::move(release)) == ChunkQueue::Push::QueuedFirst) {
        wake_.signal();
    }
}

void Link::markChanged() {
    if (!statusChanged_.exchange(true)) {
        wake_.signal();
    }
}

int Link::portEventFd() const {
    return ports_ ? ports_->fd() : -1;
}
