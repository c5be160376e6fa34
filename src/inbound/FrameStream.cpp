#include "inbound/FrameStream.h"

#include <algorithm>
#include <utility>

#include "inbound/FrameParser.h"
#include "text/TraceSites.h"

namespace {

constexpr std::string_view kFrameStart = "start[";
constexpr std::string_view kFrameEnd = "]end";

// Where `what` first stands in text[from, to), or npos.
std::size_t findIn(std::string_view text, std::size_t from, std::size_t to, std::string_view what) {
    const std::size_t found = text.substr(from, to - from).find(what);
    return found == std::string_view::npos ? found : from + found;
}

// The longest end of `text` that "start[" begins with, so that a burst cut
// inside the marker still finds its frame.
std::size_t partialStartLength(std::string_view text) {
    for (std::size_t n = std::min(text.size(), kFrameStart.size() - 1); n > 0; --n) {
        if (text.substr(text.size() - n) == kFrameStart.substr(0, n)) {
            return n;
        }
    }
    return 0;
}

void traceDrop(const FrameDrop& drop) {
    switch (drop.reason) {
        case FrameDropReason::NoNineValues:
            // The window's name for this line: operators' scripts match it.
            trace<sites::frameWithoutNineValues>();
            return;
        case FrameDropReason::CutByStart:
            trace<sites::frameCutByStart>(drop.bytes);
            return;
        case FrameDropReason::CutByNul:
            trace<sites::frameCutByNul>(drop.bytes);
            return;
        case FrameDropReason::DatagramEnded:
            trace<sites::frameEndedWithDatagram>(drop.bytes);
            return;
        case FrameDropReason::TooLong:
            trace<sites::frameTooLong>(drop.bytes);
            return;
        case FrameDropReason::LinkChanged:
            trace<sites::frameCutByLinkChange>(drop.bytes);
            return;
    }
}

void dropFrame(ChunkFrames& out, FrameDropReason reason, std::size_t bytes) {
    const FrameDrop drop{reason, bytes};
    traceDrop(drop);
    out.drops.push_back(drop);
}

}  // namespace

ChunkFrames FrameStream::take(ChunkKind kind, std::string_view chunk) {
    ChunkFrames out;
    std::string joined;
    std::string_view text = chunk;
    if (kind == ChunkKind::Datagram) {
        if (const std::optional<FrameDrop> cut = dropTail()) {
            out.drops.push_back(*cut);
        }
    } else if (!tail_.empty()) {
        joined = std::move(tail_);
        tail_.clear();
        joined.append(chunk);
        text = joined;
    }

    std::size_t pos = 0;
    // The first "]end" at or after the latest search; searched again only once
    // passed, so that a chunk full of "start[" costs one pass, not one per marker.
    std::size_t end = 0;
    bool endSearched = false;
    for (;;) {
        const std::size_t start = text.find(kFrameStart, pos);
        if (start == std::string_view::npos) {
            if (kind == ChunkKind::SerialBurst) {
                tail_.assign(text.substr(text.size() - partialStartLength(text.substr(pos))));
            }
            break;
        }
        const std::size_t bodyBegin = start + kFrameStart.size();
        if (!endSearched || (end != std::string_view::npos && end < bodyBegin)) {
            end = text.find(kFrameEnd, bodyBegin);
            endSearched = true;
        }
        const std::size_t limit = end == std::string_view::npos ? text.size() : end;
        // What cuts the frame short: the nearer of a new "start[" and a NUL.
        const std::size_t nextStart = findIn(text, bodyBegin, limit, kFrameStart);
        const std::size_t nul = findIn(text, bodyBegin, std::min(limit, nextStart), {"\0", 1});
        if (nul != std::string_view::npos) {
            dropFrame(out, FrameDropReason::CutByNul, nul - start);
            pos = nul + 1;
            continue;
        }
        if (nextStart != std::string_view::npos) {
            dropFrame(out, FrameDropReason::CutByStart, nextStart - start);
            pos = nextStart;
            continue;
        }
        if (end == std::string_view::npos) {
            const std::size_t unfinished = text.size() - start;
            if (kind == ChunkKind::Datagram) {
                dropFrame(out, FrameDropReason::DatagramEnded, unfinished);
            } else if (unfinished > kMaxTail) {
                dropFrame(out, FrameDropReason::TooLong, unfinished);
            } else {
                tail_.assign(text.substr(start));
            }
            break;
        }
        ParsedFrame frame = parseFrameBody(text.substr(bodyBegin, end - bodyBegin));
        if (frame.status == FrameStatus::Ok) {
            out.frames.push_back(std::move(frame.report));
        } else {
            dropFrame(out, FrameDropReason::NoNineValues, end + kFrameEnd.size() - start);
        }
        pos = end + kFrameEnd.size();
    }
    return out;
}

std::optional<FrameDrop> FrameStream::dropTail() {
    const bool begun = tail_.starts_with(kFrameStart);
    const std::size_t bytes = tail_.size();
    tail_.clear();
    if (!begun) {
        return std::nullopt;  // at most the beginning of "start[": no frame yet
    }
    const FrameDrop drop{FrameDropReason::LinkChanged, bytes};
    traceDrop(drop);
    return drop;
}
