#pragma once

#include <cstddef>
#include <string_view>

#include "inbound/DeviceReport.h"

enum class FrameStatus {
    NoFrame,   // no "start[" or no "]end" after it
    BadState,  // a frame whose body does not begin with nine integers; dropped whole
    Ok,        // report holds the decoded frame
};

struct ParsedFrame {
    FrameStatus status = FrameStatus::NoFrame;
    DeviceReport report;  // meaningful only when status is Ok
};

// Decodes the first "start[" ... "]end" frame of one received chunk. The chunk
// ends at its first NUL byte or after length bytes, whichever comes first;
// nothing beyond length is read.
ParsedFrame parseFrame(const char* chunk, std::size_t length);

inline ParsedFrame parseFrame(std::string_view chunk) {
    return parseFrame(chunk.data(), chunk.size());
}

// Decodes the text between one frame's "start[" and "]end".
ParsedFrame parseFrameBody(std::string_view body);
