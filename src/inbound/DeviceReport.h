#pragma once

#include <array>
#include <cstdint>
#include <string>

// The nine values every frame from the machine carries: the count followed by
// the machine's eight current settings.
struct DeviceState {
    int32_t data = 0;
    int32_t function = 0;
    int32_t pitch = 0;
    int32_t speed = 0;
    int32_t s1 = 0;
    int32_t s2 = 0;
    int32_t s3 = 0;
    int32_t preset = 0;
    int32_t presetOn = 0;

    bool operator==(const DeviceState&) const = default;
};

// One decoded frame. time and slots are filled only for counting records
// (isRecord); an empty slot is an absent one.
struct DeviceReport {
    static constexpr std::size_t kMaxTimeLength = 31;
    static constexpr std::size_t kMaxSlotLength = 511;

    DeviceState state;
    bool isRecord = false;
    std::string time;
    std::array<std::string, 3> slots;
};
