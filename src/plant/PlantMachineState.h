#pragma once

#include <cstdint>
#include <string>

// What the window knows about the machine, as the plant's dashboards see it in
// the retained state message.
struct PlantMachineState {
    std::string link;             // "NET 192.168.1.20:5000", "COM7"; empty: no link
    bool framesArriving = false;  // frames arrived within the last seconds
    bool known = false;           // a frame has arrived: the values below are the machine's
    std::int32_t count = 0;
    std::int32_t function = 0;
    std::int32_t pitch = 0;
    std::int32_t speed = 0;
    std::int32_t s1 = 0;
    std::int32_t s2 = 0;
    std::int32_t s3 = 0;
    std::int32_t preset = 0;
    bool presetOn = false;

    bool operator==(const PlantMachineState&) const = default;
};
