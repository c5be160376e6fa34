#include "link/Link.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "link/NetReceiver.h"
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
    netReceiver_ = std::make_unique<NetReceiver>(
        setup_.udpPort, net_,
        [this](std::string chunk, std::stop_token release) {
            queueChunk(std::move(chunk), std::move(release));
        },
        [this] { markChanged(); });
    serialReceiver_ = std::make_unique<SerialReceiver>(
        [this](std::string chunk, std::stop_token release) {
            queueChunk(std::move(chunk), std::move(release));
        },
        [this] {
            serialFailed_ = true;
            markChanged();
        });
    netReceiver_->start();
    serialReceiver_->start();
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
    markChanged();
}

void Link::chooseNet() {
    DebugTrace("CTolvaneAppDlg::OnCbnSelchangeComnumCombo", 939, "command by net");
    closeSerial();
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
    const std::string path = comPortPath(setup_.ports, number).string();
    closeSerial();
    serialPort_ = number;
    markChanged();
    const SerialOpenResult opened = openSerialPort(path);
    if (opened.fd < 0) {
        DebugTrace("CTolvaneAppDlg::OnCbnSelchangeComnumCombo", 951, "open %s failed: %s%s",
                   path.c_str(), std::strerror(opened.error),
                   opened.error == EACCES ? " (is the user in the dialout group?)" : "");
        return false;
    }
    configureSerialPort(opened.fd);
    serialFd_ = opened.fd;
    if (serialReceiver_) {
        serialReceiver_->setPort(opened.fd);
    }
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

    SendResult result = SendResult::Dropped;
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
    status.serialOpen = serialFd_ >= 0;
    status.serialFailed = status.serialOpen && serialFailed_;
    status.udpOpen = net_.udpSocket >= 0;
    status.udpBound = netReceiver_ && netReceiver_->bound();
    status.peerKnown = net_.peerKnown;
    status.peer = net_.peer();
    return status;
}

void Link::pump() {
    wake_.drain();
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
