#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <thread>

// The UDP port the panel always listens on.
inline constexpr std::uint16_t kPanelUdpPort = 39451;

inline bool udpPortIsFree(std::uint16_t port) {
    const int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool free = bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    return free;
}

// On a shared machine another panel may hold the port for a while: waits up
// to a minute for it; false when it is still held.
inline bool waitForPanelPort() {
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!udpPortIsFree(kPanelUdpPort) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(500ms);
    }
    return udpPortIsFree(kPanelUdpPort);
}
