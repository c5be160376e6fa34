#pragma once

#include <string_view>

// The counting record the benchmarks' machine sends behind a frame's nine
// state values (support/MachineFrame.h builds the frame).
inline constexpr std::string_view kBenchRecord = ",pt:2025-03-05 09:03:07,{R1}{C0402}{LOT7}";
