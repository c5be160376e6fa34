#include "link/LocalIp.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <array>

namespace {

bool isLoopback(const in_addr& address) {
    return (ntohl(address.s_addr) >> 24) == 127;
}

std::string dotted(const in_addr& address) {
    std::array<char, INET_ADDRSTRLEN> text{};
    inet_ntop(AF_INET, &address, text.data(), text.size());
    return text.data();
}

std::string fromHostName() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.data(), nullptr, &hints, &found) != 0) {
        return {};
    }
    std::string result;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        if (!isLoopback(address->sin_addr)) {
            result = dotted(address->sin_addr);
            break;
        }
    }
    freeaddrinfo(found);
    return result;
}

std::string fromInterfaces() {
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) {
        return {};
    }
    std::string result;
    for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_UP) == 0) {
            continue;
        }
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (!isLoopback(address->sin_addr)) {
            result = dotted(address->sin_addr);
            break;
        }
    }
    freeifaddrs(interfaces);
    return result;
}

}  // namespace

std::string localNetworkAddress() {
    std::string address = fromHostName();
    return address.empty() ? fromInterfaces() : address;
}
