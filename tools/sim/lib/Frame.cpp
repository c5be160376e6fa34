#include "Frame.h"

namespace sim {

namespace {

std::string values(const MachineState& s) {
    std::string out;
    for (std::int32_t v :
         {s.data, s.function, s.pitch, s.speed, s.s1, s.s2, s.s3, s.preset, s.presetOn}) {
        if (!out.empty()) {
            out += ',';
        }
        out += std::to_string(v);
    }
    return out;
}

}  // namespace

std::string stateFrame(const MachineState& state) {
    return "start[" + values(state) + "]end";
}

std::string recordFrame(const MachineState& state, std::string_view time,
                        const std::vector<std::string>& slots) {
    std::string out = "start[" + values(state) + ",pt:";
    out += time;
    out += ',';
    for (std::size_t i = 0; i < slots.size() && i < 3 && !slots[i].empty(); ++i) {
        out += '{' + slots[i] + '}';
    }
    out += "]end";
    return out;
}

std::string malformedFrame(Malformed kind, const MachineState& state) {
    using namespace std::string_literals;
    switch (kind) {
        case Malformed::MissingEnd:
            return "start[" + values(state);
        case Malformed::TooFewValues:
            return "start[1,2,3]end";
        case Malformed::Binary:
            return "\x01\xfe"s + "start[" + std::to_string(state.data) + ",\0\x7f"s +
                   values(state) + "]end" + "\0\xff\x80\0"s;
        case Malformed::Oversized: {
            std::string out = "start[" + values(state) + ",pt:oversized,{";
            const std::string tail = "}]end";
            out.append(kOversizedBytes - out.size() - tail.size(), 'X');
            return out + tail;
        }
    }
    return {};
}

}  // namespace sim
