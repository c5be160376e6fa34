#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <memory>

#include "Link.h"
#include "Options.h"

// A UDP socket on 127.0.0.1 that sends frames to the panel's port and receives
// the commands the panel sends back to it.
class UdpLink : public Link {
  public:
    static std::unique_ptr<UdpLink> open(const sim::UdpTarget& target, std::uint16_t localPort,
                                         std::string& error);
    ~UdpLink() override;

    int fd() const override { return fd_; }
    ssize_t send(std::string_view bytes) override;
    bool receive(std::vector<std::string>& commands) override;
    std::string describe() const override;

  private:
    UdpLink(int fd, const sockaddr_in& local, const sockaddr_in& target)
        : fd_(fd), local_(local), target_(target) {}

    int fd_;
    sockaddr_in local_;
    sockaddr_in target_;
    std::vector<char> buffer_ = std::vector<char>(65536);  // the largest datagram
};
