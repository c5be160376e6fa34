#pragma once

#include <string>

// Frames as the machine sends them: the count changes, the eight settings
// stay at the values a first-run panel shows, so the mirror has nothing else
// to change.
inline std::string stateFrame(long count) {
    return "start[" + std::to_string(count) + ",0,2,1,15,30,45,0,0]end";
}

// A frame whose first speed value alternates between 15 and 16: each one
// changes a value the window mirrors and stores, as a hostile sender would.
inline std::string speedChangeFrame(long count) {
    return "start[" + std::to_string(count) + ",0,2,1," + (count % 2 == 0 ? "15" : "16") +
           ",30,45,0,0]end";
}

inline std::string recordFrame(long count) {
    return "start[" + std::to_string(count) +
           ",0,2,1,15,30,45,0,0,pt:2025-03-05 09:03:07,{R1}{C0402}{LOT7}]end";
}
