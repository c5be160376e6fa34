#include "link/NetTransport.h"

#include <sys/socket.h>

#include "link/NetReceiver.h"
#include "text/TraceSites.h"
#include "text/TraceText.h"

NetTransport::NetTransport(std::uint16_t port, TransportEvents events)
    : port_(port), events_(std::move(events)) {}

NetTransport::~NetTransport() {
    stop();
}

void NetTransport::start() {
    if (receiver_) {
        return;
    }
    receiver_ = std::make_unique<NetReceiver>(port_, state_, events_.deliver, events_.changed);
    receiver_->start();
}

void NetTransport::stop() {
    if (receiver_) {
        receiver_->stop();
    }
}

void NetTransport::setCarrying(bool carrying) {
    state_.netMode = carrying;
    if (receiver_) {
        receiver_->wake();
    }
}

// The trace line keeps the name operators' scripts match it by, and comes
// before the check: a command dropped for want of a machine is traced too.
SendResult NetTransport::send(std::string_view command) {
    const std::string_view text = command.substr(0, command.size() - 1);
    trace<sites::netCommand>(traceSafe(text).c_str());
    const int socket = state_.udpSocket;
    if (!state_.peerKnown || socket < 0) {
        return SendResult::Dropped;
    }
    const sockaddr_in to = state_.peer().toSockaddr();
    sendto(socket, command.data(), command.size(), MSG_NOSIGNAL,
           reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return SendResult::Sent;
}

void NetTransport::describe(LinkStatus& status) const {
    status.udpOpen = state_.udpSocket >= 0;
    status.udpBound = receiver_ && receiver_->bound();
    status.peerKnown = state_.peerKnown;
    status.peer = state_.peer();
    status.recentlyLost = state_.losses.recent(DatagramLosses::Clock::now());
}

void NetTransport::attachSocket(int socket, std::optional<PeerAddress> peer) {
    state_.netMode = true;
    state_.udpSocket = socket;
    if (peer) {
        state_.setPeer(*peer);
    }
    state_.peerKnown = peer.has_value();
}
