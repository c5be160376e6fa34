#include "inbound/RecordText.h"

#include <charconv>
#include <cstdint>

namespace {

// The count is stored without its sign. Taken as unsigned so that the most
// negative count is written as 2147483648.
std::string countText(int32_t data) {
    const uint32_t magnitude =
        data < 0 ? 0u - static_cast<uint32_t>(data) : static_cast<uint32_t>(data);
    char digits[16];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, magnitude);
    (void)ec;  // ten digits always fit
    return std::string(digits, end);
}

constexpr char kSlotDigits[] = {'0', '1', '2'};

}  // namespace

std::string csvRecord(const DeviceReport& report) {
    std::string text;
    text.reserve(32 + report.time.size() + report.slots[0].size() + report.slots[1].size() +
                 report.slots[2].size());
    text += "time=";
    text += report.time;
    text += ",data=";
    text += countText(report.state.data);
    for (std::size_t i = 0; i < report.slots.size(); ++i) {
        if (report.slots[i].empty()) {
            continue;
        }
        text += ",S";
        text += kSlotDigits[i];
        text += '=';
        text += report.slots[i];
    }
    return text;
}

std::string xmlRecord(const DeviceReport& report) {
    std::string text;
    text.reserve(96 + report.time.size() + report.slots[0].size() + report.slots[1].size() +
                 report.slots[2].size());
    text += "<time>";
    text += report.time;
    text += "</time>\r\n<data>";
    text += countText(report.state.data);
    text += "</data>\r\n";
    for (std::size_t i = 0; i < report.slots.size(); ++i) {
        if (report.slots[i].empty()) {
            continue;
        }
        text += "<S";
        text += kSlotDigits[i];
        text += '>';
        text += report.slots[i];
        text += "</S";
        text += kSlotDigits[i];
        text += ">\r\n";
    }
    return text;
}

std::string recordText(const DeviceReport& report, std::string_view format) {
    if (format == "csv") {
        return csvRecord(report);
    }
    if (format == "xml") {
        return xmlRecord(report);
    }
    return {};
}
