#include "support/Probes.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::uint16_t freeUdpPort() {
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    ::bind(probe, reinterpret_cast<sockaddr*>(&local), sizeof local);
    socklen_t size = sizeof local;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&local), &size);
    ::close(probe);
    return ntohs(local.sin_port);
}
