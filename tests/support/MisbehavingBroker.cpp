#include "support/MisbehavingBroker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

MisbehavingBroker::MisbehavingBroker(Manner manner) : manner_(manner) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0) {
        throw std::runtime_error("MisbehavingBroker cannot listen");
    }
    socklen_t size = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    stop_ = eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { run(); });
}

MisbehavingBroker::~MisbehavingBroker() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stop_, &one, sizeof one);
    thread_.join();
    ::close(stop_);
    ::close(listener_);
}

std::vector<std::chrono::steady_clock::time_point> MisbehavingBroker::accepted() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

std::vector<int> MisbehavingBroker::publishesPerConnection() const {
    std::lock_guard lock(mutex_);
    return publishes_;
}

void MisbehavingBroker::run() {
    std::vector<Client> clients;
    for (;;) {
        std::vector<pollfd> entries = {{stop_, POLLIN, 0}, {listener_, POLLIN, 0}};
        for (const Client& client : clients) {
            entries.push_back({client.fd, POLLIN, 0});
        }
        if (::poll(entries.data(), entries.size(), -1) < 0) {
            continue;
        }
        if (entries[0].revents != 0) {
            break;
        }
        for (std::size_t i = clients.size(); i-- > 0;) {
            if (entries[i + 2].revents == 0) {
                continue;
            }
            readFrom(clients[i]);
            if (clients[i].fd < 0) {
                clients.erase(clients.begin() + static_cast<long>(i));
            }
        }
        if (entries[1].revents != 0) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            std::size_t index = 0;
            {
                std::lock_guard lock(mutex_);
                index = accepted_.size();
                accepted_.push_back(std::chrono::steady_clock::now());
                publishes_.push_back(0);
            }
            if (manner_ == Manner::Reset) {
                const linger reset{1, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
                ::close(fd);
                continue;
            }
            clients.push_back(Client{fd, {}, false, index});
        }
    }
    for (const Client& client : clients) {
        ::close(client.fd);
    }
}

void MisbehavingBroker::readFrom(Client& client) {
    unsigned char buffer[4096];
    const ssize_t n = ::read(client.fd, buffer, sizeof buffer);
    if (n <= 0) {
        ::close(client.fd);
        client.fd = -1;
        return;
    }
    client.bytes.insert(client.bytes.end(), buffer, buffer + n);
    // Whole packets: a type byte, the remaining length (1 to 4 bytes), the rest.
    for (;;) {
        std::size_t length = 0;
        std::size_t header = 1;
        int shift = 0;
        bool complete = false;
        while (header < client.bytes.size() && header <= 4) {
            const unsigned char byte = client.bytes[header++];
            length |= static_cast<std::size_t>(byte & 0x7f) << shift;
            shift += 7;
            if ((byte & 0x80) == 0) {
                complete = true;
                break;
            }
        }
        if (!complete || client.bytes.size() < header + length) {
            break;
        }
        const unsigned char type = client.bytes[0] >> 4;
        client.bytes.erase(client.bytes.begin(),
                           client.bytes.begin() + static_cast<long>(header + length));
        if (type == 3) {
            std::lock_guard lock(mutex_);
            ++publishes_[client.index];
        }
        if (type == 1 && !client.answered) {
            client.answered = true;
            if (manner_ == Manner::Garbage) {
                // A packet of a type MQTT does not have, then more noise.
                const unsigned char garbage[] = {0x00, 0x00, 0xff, 0x13, 0x37, 0x42};
                [[maybe_unused]] const ssize_t w = ::write(client.fd, garbage, sizeof garbage);
            } else if (manner_ == Manner::NoAcks) {
                const unsigned char connack[] = {0x20, 0x02, 0x00, 0x00};
                [[maybe_unused]] const ssize_t w = ::write(client.fd, connack, sizeof connack);
            }
        }
    }
}
