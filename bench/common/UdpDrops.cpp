#include "common/UdpDrops.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

long udpKernelDrops(std::uint16_t port) {
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", static_cast<unsigned>(port));
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);  // header
    long drops = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local;
        fields >> slot >> local;
        if (local.size() < 5 || local.compare(local.size() - 5, 5, wanted) != 0) {
            continue;
        }
        std::string field, last;
        while (fields >> field) {
            last = field;
        }
        drops += std::stol(last);
    }
    return drops;
}
