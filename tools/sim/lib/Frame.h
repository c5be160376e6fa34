#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The nine state values every frame carries, in frame order, with the values
// the machine has after power-on.
struct MachineState {
    std::int32_t data = 0;
    std::int32_t function = 0;
    std::int32_t pitch = 2;
    std::int32_t speed = 1;
    std::int32_t s1 = 15;
    std::int32_t s2 = 30;
    std::int32_t s3 = 45;
    std::int32_t preset = 0;
    std::int32_t presetOn = 0;

    bool operator==(const MachineState&) const = default;
};

// "start[d,f,p,sp,s1,s2,s3,preset,presetOn]end"
std::string stateFrame(const MachineState& state);

// "start[<nine values>,pt:<time>,{slot0}{slot1}{slot2}]end". The panel treats an
// empty slot as the end of the list, so only the leading non-empty slots are
// written (at most three). The time text must hold no comma: the panel ends the
// time at the first one.
std::string recordFrame(const MachineState& state, std::string_view time,
                        const std::vector<std::string>& slots);

// Frames the panel has to survive without harm.
enum class Malformed {
    MissingEnd,    // a state frame without its "]end"
    TooFewValues,  // "start[1,2,3]end"
    Binary,        // control and high bytes around a frame that has a NUL inside
    Oversized,     // a 2000-byte counting record, longer than the panel's receive buffer
};
inline constexpr int kMalformedKinds = 4;
inline constexpr std::size_t kOversizedBytes = 2000;

std::string malformedFrame(Malformed kind, const MachineState& state);

}  // namespace sim
