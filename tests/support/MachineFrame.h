#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The frames the machine writes, for the tests and the benchmarks:
// "start[" + the nine state values, comma separated, + a tail + "]end". A
// tail such as ",pt:T1,{a}{b}" makes the frame a counting record. Frames
// whose bytes are the point of a test (cut, malformed, odd spacing) are
// written out where they are used instead.

// The nine state values in frame order: the count, then the machine's eight
// settings, by default those a first-run panel shows.
struct FrameValues {
    std::int64_t data = 0;
    std::int64_t function = 0;
    std::int64_t pitch = 2;
    std::int64_t speed = 1;
    std::int64_t s1 = 15;
    std::int64_t s2 = 30;
    std::int64_t s3 = 45;
    std::int64_t preset = 0;
    std::int64_t presetOn = 0;
};

inline std::string frameText(const FrameValues& v, std::string_view tail = {}) {
    std::string text = "start[";
    for (const std::int64_t value :
         {v.data, v.function, v.pitch, v.speed, v.s1, v.s2, v.s3, v.preset, v.presetOn}) {
        text += std::to_string(value);
        text += ',';
    }
    text.pop_back();
    text += tail;
    text += "]end";
    return text;
}

// The same from any state with the frame's nine fields, such as the panel's
// DeviceState, without this header depending on it.
template <typename State>
requires requires(const State& s) {
    FrameValues{s.data, s.function, s.pitch, s.speed, s.s1, s.s2, s.s3, s.preset, s.presetOn};
}
std::string frameText(const State& s, std::string_view tail = {}) {
    return frameText(
        FrameValues{s.data, s.function, s.pitch, s.speed, s.s1, s.s2, s.s3, s.preset, s.presetOn},
        tail);
}

// `count` with the settings of a first-run panel.
inline std::string countFrame(std::int64_t count, std::string_view tail = {}) {
    return frameText(FrameValues{.data = count}, tail);
}
