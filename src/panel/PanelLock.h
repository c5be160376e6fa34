#pragma once

#include <cstdint>

// The quick-fail rule of the panel lock: failed clicks at most 500 ms apart
// count up; the tenth in a row opens the panel. The counter is never reset
// when the panel opens or closes. Returns true when this failed click opens it.
inline bool countFailedClick(std::uint32_t& quickFailCount, std::uint32_t& lastFailTick,
                             std::uint32_t now) {
    bool opens = false;
    if (static_cast<std::uint32_t>(now - lastFailTick) <= 500u) {
        ++quickFailCount;
        opens = quickFailCount >= 10;
    } else {
        quickFailCount = 1;
    }
    lastFailTick = now;
    return opens;
}
