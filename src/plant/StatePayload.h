#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "plant/PlantMachineState.h"

// The retained JSON on <prefix>/<station>/state while the station is online:
// {"station":"line3-a","online":true,"link":"NET 192.168.1.20:5000",
//  "framesArriving":true,"count":120,"function":0,"pitch":8,"speed":1,"s1":10,
//  "s2":20,"s3":30,"preset":500,"presetOn":true}
// The machine's values are null until a frame has arrived.
std::string statePayload(const PlantMachineState& state, std::string_view station);

// The last will, and what a station that closes says last.
inline constexpr std::string_view kOfflinePayload = R"({"online":false})";
