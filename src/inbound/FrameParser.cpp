#include "inbound/FrameParser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "text/LeadingInteger.h"

namespace {

constexpr std::string_view kFrameStart = "start[";
constexpr std::string_view kFrameEnd = "]end";
constexpr std::string_view kRecordMarker = "pt:";

// One "%d" conversion at pos: optional white space, optional sign, one or more
// digits. Values outside int32 saturate instead of wrapping.
bool scanInt(std::string_view text, std::size_t& pos, int32_t& value) {
    const ScannedInteger scanned = scanInteger(text, pos);
    if (!scanned.hasDigits) {
        return false;
    }
    value = scanned.clamped();
    pos = scanned.end;
    return true;
}

// "%d,%d,%d,%d,%d,%d,%d,%d,%d" at the start of the body.
bool scanState(std::string_view body, DeviceState& state) {
    int32_t* const fields[] = {&state.data,  &state.function, &state.pitch,
                               &state.speed, &state.s1,       &state.s2,
                               &state.s3,    &state.preset,   &state.presetOn};
    std::size_t pos = 0;
    bool first = true;
    for (int32_t* field : fields) {
        if (!first) {
            if (pos >= body.size() || body[pos] != ',') {
                return false;
            }
            ++pos;
        }
        first = false;
        if (!scanInt(body, pos, *field)) {
            return false;
        }
    }
    return true;
}

// The group pattern "%*[^{]{%[^}]" applied at from: at least one character
// other than "{", then "{", then the text up to the next "}" or the end of the
// body. An empty view means the pattern did not match or the text is empty.
std::string_view scanGroup(std::string_view body, std::size_t from) {
    std::size_t p = from;
    if (p >= body.size() || body[p] == '{') {
        return {};
    }
    while (p < body.size() && body[p] != '{') {
        ++p;
    }
    if (p >= body.size()) {
        return {};
    }
    const std::size_t textBegin = p + 1;
    std::size_t textEnd = body.find('}', textBegin);
    if (textEnd == std::string_view::npos) {
        textEnd = body.size();
    }
    return body.substr(textBegin, textEnd - textBegin);
}

void readRecord(std::string_view body, std::size_t marker, DeviceReport& report) {
    report.isRecord = true;

    // "%*[^:]:%[^,]" from the marker: the time runs to the next comma or the
    // end of the body.
    const std::size_t timeBegin = marker + kRecordMarker.size();
    std::size_t timeEnd = body.find(',', timeBegin);
    if (timeEnd == std::string_view::npos) {
        timeEnd = body.size();
    }
    report.time.assign(body.data() + timeBegin,
                       std::min(timeEnd - timeBegin, DeviceReport::kMaxTimeLength));

    // Each group is read from the character before its "{", and the search for
    // the next "{" resumes at the last character of the text just read.
    std::size_t searchFrom = timeEnd;
    for (std::string& slot : report.slots) {
        const std::size_t open = body.find('{', searchFrom);
        if (open == std::string_view::npos) {
            break;
        }
        const std::string_view text = scanGroup(body, open > 0 ? open - 1 : open);
        if (text.empty()) {
            break;
        }
        slot.assign(text.data(), std::min(text.size(), DeviceReport::kMaxSlotLength));
        searchFrom = static_cast<std::size_t>(text.data() - body.data()) + text.size() - 1;
    }
}

}  // namespace

ParsedFrame parseFrame(const char* chunk, std::size_t length) {
    ParsedFrame result;
    if (chunk == nullptr) {
        return result;
    }
    // The chunk is text: a NUL byte ends it.
    if (const void* nul = std::memchr(chunk, '\0', length)) {
        length = static_cast<std::size_t>(static_cast<const char*>(nul) - chunk);
    }
    const std::string_view text(chunk, length);

    const std::size_t start = text.find(kFrameStart);
    if (start == std::string_view::npos) {
        return result;
    }
    const std::size_t bodyBegin = start + kFrameStart.size();
    const std::size_t end = text.find(kFrameEnd, bodyBegin);
    if (end == std::string_view::npos) {
        return result;
    }
    return parseFrameBody(text.substr(bodyBegin, end - bodyBegin));
}

ParsedFrame parseFrameBody(std::string_view body) {
    ParsedFrame result;
    if (!scanState(body, result.report.state)) {
        result.status = FrameStatus::BadState;
        result.report = DeviceReport{};
        return result;
    }
    const std::size_t marker = body.find(kRecordMarker);
    if (marker != std::string_view::npos) {
        readRecord(body, marker, result.report);
    }
    result.status = FrameStatus::Ok;
    return result;
}
