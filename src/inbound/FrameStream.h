#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inbound/DeviceReport.h"

// How a chunk came: a UDP datagram is a whole unit, a serial burst is a piece
// of a byte stream whose last frame may go on in the next burst.
enum class ChunkKind { Datagram, SerialBurst };

// Why a frame was dropped.
enum class FrameDropReason {
    NoNineValues,   // a complete frame whose body does not begin with nine integers
    CutByStart,     // a new "start[" came before its "]end"
    CutByNul,       // a NUL byte came before its "]end"
    DatagramEnded,  // the datagram ended before its "]end"
    TooLong,        // a serial frame longer than kMaxTail bytes without "]end"
    LinkChanged,    // a serial frame begun on a link that is no longer taken
};

struct FrameDrop {
    FrameDropReason reason;
    std::size_t bytes;  // from its "start[" to where it was cut
};

struct ChunkFrames {
    std::vector<DeviceReport> frames;  // every complete frame, in the order it stood
    std::vector<FrameDrop> drops;      // in the order they were found
};

// Splits what the link receives into frames. Every "start[" ... "]end" in a
// chunk is a frame, not only the first; a frame that cannot be decoded or is
// cut short is dropped and traced with its reason, so nothing disappears
// without a line. A serial burst's unfinished last frame, from its last
// "start[" on, is kept and joined with the next burst, so a frame split over
// bursts arrives whole; a datagram stands alone. Bytes outside frames are
// ignored, as before. One object per link owner; not shared between threads.
class FrameStream {
  public:
    // The most of an unfinished serial frame kept for the next burst.
    static constexpr std::size_t kMaxTail = 1023;

    ChunkFrames take(ChunkKind kind, std::string_view chunk);

    // The link changed: a serial frame begun on the old one can never end; it
    // is dropped, traced and returned. A datagram does the same by itself.
    std::optional<FrameDrop> dropTail();
    // Bytes kept for the next burst.
    std::size_t tailSize() const { return tail_.size(); }

  private:
    std::string tail_;  // unfinished serial frame, or the start of "start["
};
