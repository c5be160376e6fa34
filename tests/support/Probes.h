#pragma once

#include <cstdint>
#include <string>

// A command as it travels: its text and the one NUL that ends it.
inline std::string withNul(const std::string& text) {
    return text + std::string(1, '\0');
}

// CPU time this process has used so far, user and system, in seconds.
double cpuSeconds();

// A UDP port that nobody holds on 0.0.0.0 right now, as the panel binds it.
std::uint16_t freeUdpPort();
