#include "link/Link.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "link/PortWatcher.h"
#include "text/TraceSites.h"

namespace {
// Chunks handed over per pump, so a flood never starves painting and the
// operator's clicks on the owner's thread.
constexpr std::size_t kChunksPerPump = 64;

void watch(int epoll, int fd) {
    if (epoll < 0 || fd < 0) {
        return;
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
}
}  // namespace

// The receive threads queue their chunks; the wake event tells the owner's
// thread that the queue is no longer empty. Chunks and their order travel
// only through the queue.
Link::Link(LinkSetup setup, LinkHandlers handlers)
    : setup_(std::move(setup)),
      handlers_(std::move(handlers)),
      events_(epoll_create1(EPOLL_CLOEXEC)),
      net_(setup_.udpPort, TransportEvents{[this](std::string chunk, std::stop_token release) {
                                               queueChunk(std::move(chunk), release);
                                           },
                                           [this] { markChanged(); }}),
      serial_(setup_.ports, TransportEvents{[this](std::string chunk, std::stop_token release) {
                                                queueChunk(std::move(chunk), release);
                                            },
                                            [this] { markChanged(); }}) {
    if (events_ < 0 || !wake_.valid()) {
        // Only when descriptors ran out: the owner then hears nothing of the link.
        trace<sites::linkNotWatched>(std::strerror(events_ < 0 ? errno : wake_.error()));
    }
    watch(events_, wake_.fd());
}

Link::~Link() {
    stop();
    if (events_ >= 0) {
        ::close(events_);
    }
}

void Link::start() {
    if (ports_) {
        return;
    }
    net_.start();
    serial_.start();
    ports_ = std::make_unique<PortWatcher>(setup_.ports);
    watch(events_, ports_->fd());
}

// The queue is closed first: a receive thread waiting for room returns, so
// both threads can be joined.
void Link::stop() {
    chunks_.close();
    net_.stop();
    serial_.stop();
}

LinkTransport& Link::chosen() {
    return net_.carrying() ? static_cast<LinkTransport&>(net_) : serial_;
}

const LinkTransport& Link::chosen() const {
    return net_.carrying() ? static_cast<const LinkTransport&>(net_) : serial_;
}

void Link::chooseNet() {
    trace<sites::commandByNet>();
    serial_.release();
    lastFrameAt_.reset();
    net_.setCarrying(true);
    markChanged();
}

bool Link::chooseSerial(unsigned number) {
    trace<sites::commandByUart>();
    net_.setCarrying(false);
    lastFrameAt_.reset();
    return serial_.choose(number);
}

SendResult Link::send(const std::string& text) {
    // Up to the first NUL, and it.
    const std::string_view command(text.c_str(), std::strlen(text.c_str()) + 1);
    return chosen().send(command);
}

std::size_t Link::longestCommand() const {
    return chosen().longestCommand();
}

std::vector<unsigned> Link::serialPorts() {
    return listSerialPorts(setup_.ports, &ignoredNames_);
}

LinkStatus Link::status() const {
    LinkStatus status;
    status.kind = net_.carrying() ? LinkKind::Net : LinkKind::Serial;
    net_.describe(status);
    serial_.describe(status);
    return status;
}

bool Link::takePortEvents() {
    if (!ports_ || !ports_->takeEvents()) {
        return false;
    }
    if (!net_.carrying()) {
        serial_.lookAtPort();
    }
    return true;
}

void Link::pump() {
    wake_.drain();
    if (takePortEvents() && handlers_.portsChanged) {
        handlers_.portsChanged();
    }
    serial_.takeFailure();
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
    net_.attachSocket(socket, peer);
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
