#include "link/NetReceiver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sys/uio.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <string_view>
#include <system_error>

#include "text/TraceSites.h"

namespace {
constexpr int kBindRetryMs = 1000;
// Datagrams taken one after the other once poll() found one: under a flood
// the thread then needs about one system call per datagram, not three.
constexpr int kDatagramsPerWake = 64;
}  // namespace

NetReceiver::NetReceiver(std::uint16_t port, NetLinkState& net, Deliver deliver, Changed changed)
    : port_(port), net_(net), deliver_(std::move(deliver)), changed_(std::move(changed)) {}

NetReceiver::~NetReceiver() {
    stop();
}

// The socket is made and the first bind tried before the thread starts, so
// the panel listens from the moment its window is up.
void NetReceiver::start() {
    if (thread_.joinable() || stopping_) {
        return;
    }
    if (!wake_.valid()) {
        trace<sites::netThreadNotStarted>(std::strerror(wake_.error()));
        return;
    }
    socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0) {
        trace<sites::udpSocketFailed>(std::strerror(errno));
        return;
    }
    // Room for about a second of a fast machine's frames, so a moment in which
    // the panel is held up costs no frames (the kernel caps it at rmem_max).
    const int receiveBuffer = 4 << 20;
    setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    // Each datagram then tells how many the kernel dropped from the full queue.
    const int countDrops = 1;
    setsockopt(socket_, SOL_SOCKET, SO_RXQ_OVFL, &countDrops, sizeof countDrops);
    net_.udpSocket = socket_;
    changed();
    setBound(tryBind(socket_, lastBindError_));
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error& failure) {
        trace<sites::netThreadNotStarted>(failure.what());
        net_.udpSocket = -1;
        ::close(socket_);
        socket_ = -1;
        setBound(false);
        changed();
    }
}

void NetReceiver::wake() {
    wake_.signal();
}

void NetReceiver::stop() {
    stopping_ = true;
    release_.request_stop();
    wake_.signal();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void NetReceiver::setBound(bool bound) {
    if (bound_.exchange(bound) != bound) {
        changed();
    }
}

void NetReceiver::changed() const {
    if (changed_) {
        changed_();
    }
}

bool NetReceiver::tryBind(int socket, int& lastError) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        if (lastError != 0) {
            trace<sites::udpPortBound>(unsigned{port_});
        }
        return true;
    }
    const int error = errno;
    if (error != lastError) {
        trace<sites::udpBindFailed>(unsigned{port_}, std::strerror(error));
        lastError = error;
    }
    return false;
}

bool holdsCompleteFrame(std::string_view datagram) {
    datagram = datagram.substr(0, datagram.find('\0'));  // a NUL ends the text
    const std::size_t start = datagram.find("start[");
    return start != std::string_view::npos &&
           datagram.find("]end", start + std::string_view("start[").size()) !=
               std::string_view::npos;
}

void NetReceiver::noteDrops(std::uint32_t dropsSoFar) {
    // The kernel counts drops since the socket was made, modulo 2^32.
    const std::uint32_t lost = dropsSoFar - dropsSeen_;
    dropsSeen_ = dropsSoFar;
    if (lost == 0) {
        return;
    }
    const std::uint64_t lately = net_.losses.note(lost, DatagramLosses::Clock::now());
    trace<sites::datagramsLost>(lost, static_cast<unsigned long long>(lately),
                                static_cast<unsigned long long>(net_.losses.inAll()));
    changed();
}

bool NetReceiver::receiveOne(int socket) {
    sockaddr_in from{};
    iovec data{buffer_.data(), buffer_.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint32_t))];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t received = recvmsg(socket, &message, MSG_DONTWAIT);
    if (received < 0) {
        return false;  // nothing there after all, or a transient error: nothing learned
    }
    for (cmsghdr* note = CMSG_FIRSTHDR(&message); note != nullptr;
         note = CMSG_NXTHDR(&message, note)) {
        if (note->cmsg_level == SOL_SOCKET && note->cmsg_type == SO_RXQ_OVFL) {
            std::uint32_t drops = 0;
            std::memcpy(&drops, CMSG_DATA(note), sizeof drops);
            noteDrops(drops);
        }
    }
    const std::string_view datagram(buffer_.data(), static_cast<std::size_t>(received));
    if (!holdsCompleteFrame(datagram)) {
        // An empty or stray datagram names no machine and reaches no one.
        const std::uint64_t ignored = ++net_.ignoredDatagrams;
        if (ignored == 1 || ignored == 10 || ignored == 100 || ignored % 1000 == 0) {
            trace<sites::datagramsIgnored>(static_cast<unsigned long long>(ignored),
                                           PeerAddress::fromSockaddr(from).text().c_str());
        }
        return true;
    }
    const PeerAddress sender = PeerAddress::fromSockaddr(from);
    const PeerAddress before = net_.peer();
    const bool moved = before != sender;
    if (moved && net_.peerKnown) {
        // Whoever sends a frame takes the link over: the operator can see who did.
        trace<sites::machineAddressChanged>(before.text().c_str(), sender.text().c_str());
    }
    net_.setPeer(sender);
    if (!net_.peerKnown.exchange(true) || moved) {
        changed();
    }
    deliver_(std::string(datagram), release_.get_token());
    return true;
}

void NetReceiver::run() {
    const int socket = socket_;
    for (;;) {
        wake_.drain();  // before looking at the flags, so no signal is lost
        if (stopping_) {
            break;
        }
        if (!bound_) {
            wake_.wait(kBindRetryMs);
            setBound(tryBind(socket, lastBindError_));
            continue;
        }
        if (!net_.netMode) {
            wake_.wait(-1);
            continue;
        }
        std::array<pollfd, 2> waits = {pollfd{socket, POLLIN, 0}, pollfd{wake_.fd(), POLLIN, 0}};
        if (poll(waits.data(), waits.size(), -1) < 0) {
            continue;  // EINTR
        }
        if ((waits[0].revents & POLLIN) == 0) {
            continue;
        }
        // The link may have left NET while we waited: then the datagram stays
        // queued until NET is chosen again.
        for (int taken = 0; taken < kDatagramsPerWake; ++taken) {
            bool more = false;
            try {
                more = !stopping_ && net_.netMode && receiveOne(socket);
            } catch (const std::exception& failure) {
                // Out of memory for one datagram: it is lost, the link goes on.
                trace<sites::datagramDropped>(failure.what());
            }
            if (!more) {
                break;
            }
        }
    }
    net_.udpSocket = -1;
    close(socket);
    setBound(false);
}
