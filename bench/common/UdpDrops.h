#pragma once

#include <cstdint>

// Datagrams the kernel dropped on the UDP sockets bound to `port` because
// their receive queue was full (the drops column of /proc/net/udp).
long udpKernelDrops(std::uint16_t port);
