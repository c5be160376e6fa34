// Every inbound chunk goes through parseFrame, and every counting record it
// yields through the record texts and the record file path. None of this needs
// a display; the property checks below hold for any chunk whatever.

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "inbound/Calendar.h"
#include "inbound/FrameParser.h"
#include "inbound/FrameStream.h"
#include "inbound/RecordFile.h"
#include "inbound/RecordText.h"

namespace {

constexpr std::string_view kFrameStart = "start[";
constexpr std::string_view kFrameEnd = "]end";
constexpr std::string_view kRecordMarker = "pt:";

// The body of the first frame, found without the parser: the chunk ends at its
// first NUL; the body lies between the first "start[" and the first "]end" after it.
std::optional<std::string_view> referenceBody(std::string_view chunk) {
    chunk = chunk.substr(0, chunk.find('\0'));
    const std::size_t start = chunk.find(kFrameStart);
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t bodyBegin = start + kFrameStart.size();
    const std::size_t end = chunk.find(kFrameEnd, bodyBegin);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    return chunk.substr(bodyBegin, end - bodyBegin);
}

// The nine leading "%d," numbers read with strtoll, whose range errors saturate,
// then clamped to 32 bits.
std::optional<DeviceState> referenceState(std::string_view body) {
    const std::string text(body);  // NUL-terminated for strtoll; the body holds no NUL
    DeviceState state;
    int32_t* const fields[] = {&state.data,  &state.function, &state.pitch,
                               &state.speed, &state.s1,       &state.s2,
                               &state.s3,    &state.preset,   &state.presetOn};
    const char* p = text.c_str();
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (i > 0) {
            if (*p != ',') {
                return std::nullopt;
            }
            ++p;
        }
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(p, &end, 10);
        if (end == p) {
            return std::nullopt;
        }
        *fields[i] = value < INT32_MIN   ? INT32_MIN
                     : value > INT32_MAX ? INT32_MAX
                                         : static_cast<int32_t>(value);
        p = end;
    }
    return state;
}

std::string magnitudeText(int32_t data) {
    const long long value = data;
    return std::to_string(value < 0 ? -value : value);
}

std::string expectedCsv(const DeviceReport& report) {
    std::string text = "time=" + report.time + ",data=" + magnitudeText(report.state.data);
    for (std::size_t i = 0; i < report.slots.size(); ++i) {
        if (!report.slots[i].empty()) {
            text += ",S" + std::to_string(i) + "=" + report.slots[i];
        }
    }
    return text;
}

std::string expectedXml(const DeviceReport& report) {
    std::string text = "<time>" + report.time + "</time>\r\n<data>" +
                       magnitudeText(report.state.data) + "</data>\r\n";
    for (std::size_t i = 0; i < report.slots.size(); ++i) {
        if (!report.slots[i].empty()) {
            const std::string k = std::to_string(i);
            text += "<S" + k + ">" + report.slots[i] + "</S" + k + ">\r\n";
        }
    }
    return text;
}

void checkRecordFields(std::string_view body, const DeviceReport& report) {
    const std::size_t marker = body.find(kRecordMarker);
    FUZZ_CHECK(report.isRecord == (marker != std::string_view::npos));
    if (!report.isRecord) {
        FUZZ_CHECK(report.time.empty());
        for (const std::string& slot : report.slots) {
            FUZZ_CHECK(slot.empty());
        }
        return;
    }

    // The time is what follows the marker up to the next comma, cut to its field.
    const std::string_view afterMarker = body.substr(marker + kRecordMarker.size());
    const std::string_view time = report.time;
    FUZZ_CHECK(time.size() <= DeviceReport::kMaxTimeLength);
    FUZZ_CHECK(time.find(',') == std::string_view::npos);
    FUZZ_CHECK(afterMarker.substr(0, time.size()) == time);
    FUZZ_CHECK(time.size() == DeviceReport::kMaxTimeLength || time.size() == afterMarker.size() ||
               afterMarker[time.size()] == ',');

    // Slots are group texts from behind the marker; the first empty one ends them.
    bool ended = false;
    for (const std::string& slot : report.slots) {
        FUZZ_CHECK(slot.size() <= DeviceReport::kMaxSlotLength);
        FUZZ_CHECK(slot.find('}') == std::string::npos);
        FUZZ_CHECK(!ended || slot.empty());
        FUZZ_CHECK(slot.empty() || afterMarker.find(slot) != std::string_view::npos);
        ended = ended || slot.empty();
    }
}

void checkRecordOutputs(const DeviceReport& report, std::string_view folder,
                        std::string_view name) {
    const std::string csv = recordText(report, "csv");
    const std::string xml = recordText(report, "xml");
    FUZZ_CHECK(csv == csvRecord(report));
    FUZZ_CHECK(xml == xmlRecord(report));
    FUZZ_CHECK(csv == expectedCsv(report));
    FUZZ_CHECK(xml == expectedXml(report));
    for (std::string_view other : {"", "CSV", "xml ", "txt"}) {
        FUZZ_CHECK(recordText(report, other).empty());
    }

    const CalendarTime arrival{2024, 1, 9, 7, 0, 5};
    for (std::string_view extension : {"csv", "xml"}) {
        const std::string path = composeRecordPath(folder, name, arrival, extension);
        // The folder always ends in "/" before the name; an empty one stays empty.
        std::string expected(folder);
        if (!expected.empty() && expected.back() != '/') {
            expected += '/';
        }
        expected += name;
        expected += "20240109070005.";
        expected += extension;
        FUZZ_CHECK(path == expected);
    }
}

bool sameReports(const std::vector<DeviceReport>& a, const std::vector<DeviceReport>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const DeviceReport& x, const DeviceReport& y) {
                          return x.state == y.state && x.isRecord == y.isRecord &&
                                 x.time == y.time && x.slots == y.slots;
                      });
}

bool anyTooLong(const std::vector<FrameDrop>& drops) {
    return std::any_of(drops.begin(), drops.end(),
                       [](const FrameDrop& d) { return d.reason == FrameDropReason::TooLong; });
}

// The same bytes as one serial burst and cut into three: the same frames come
// out, unless a kept tail outgrew its limit in either. The unfinished frame
// left over is the same too.
void checkSerialCuts(std::string_view bytes) {
    if (bytes.size() < 2) {
        return;
    }
    const std::size_t first = static_cast<unsigned char>(bytes[0]) % bytes.size();
    const std::size_t second =
        first + static_cast<unsigned char>(bytes[1]) * 7 % (bytes.size() - first + 1);
    FrameStream whole;
    const ChunkFrames all = whole.take(ChunkKind::SerialBurst, bytes);
    FrameStream cut;
    ChunkFrames pieces;
    for (const std::string_view piece :
         {bytes.substr(0, first), bytes.substr(first, second - first), bytes.substr(second)}) {
        ChunkFrames taken = cut.take(ChunkKind::SerialBurst, piece);
        std::move(taken.frames.begin(), taken.frames.end(), std::back_inserter(pieces.frames));
        pieces.drops.insert(pieces.drops.end(), taken.drops.begin(), taken.drops.end());
    }
    if (anyTooLong(all.drops) || anyTooLong(pieces.drops)) {
        return;
    }
    FUZZ_CHECK(sameReports(all.frames, pieces.frames));
    FUZZ_CHECK(all.drops.size() == pieces.drops.size());
    FUZZ_CHECK(whole.tailSize() == cut.tailSize());
    FUZZ_CHECK(whole.tailSize() <= FrameStream::kMaxTail);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // An exactly sized copy: any read past the chunk hits ASan's redzone.
    const std::unique_ptr<char[]> chunk(new char[size]);
    if (size > 0) {
        std::memcpy(chunk.get(), data, size);
    }
    const ParsedFrame parsed = parseFrame(chunk.get(), size);
    checkSerialCuts(std::string_view(chunk.get(), size));

    const std::optional<std::string_view> body = referenceBody(std::string_view(chunk.get(), size));
    if (!body) {
        FUZZ_CHECK(parsed.status == FrameStatus::NoFrame);
        return 0;
    }
    const std::optional<DeviceState> state = referenceState(*body);
    if (!state) {
        FUZZ_CHECK(parsed.status == FrameStatus::BadState);
        return 0;
    }
    FUZZ_CHECK(parsed.status == FrameStatus::Ok);
    FUZZ_CHECK(parsed.report.state == *state);
    checkRecordFields(*body, parsed.report);

    // Folder and name of the record file come from the operator; any bytes at all.
    const std::string_view raw(chunk.get(), size);
    checkRecordOutputs(parsed.report, raw.substr(0, 64),
                       raw.substr(size - std::min<std::size_t>(size, 32)));
    return 0;
}
