#include "commands/CommandSet.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "text/LeadingInteger.h"

namespace commands {

namespace {

std::string join(std::string_view prefix, std::string_view payload) {
    std::string text;
    text.reserve(prefix.size() + payload.size());
    text.append(prefix);
    text.append(payload);
    return text;
}

std::string withNumber(std::string_view prefix, int value) {
    return join(prefix, std::to_string(value));
}

}  // namespace

int pitchPosition(int pitch) {
    const auto* found = std::find(pitchTable.begin(), pitchTable.end(), pitch);
    return found == pitchTable.end() ? 0 : static_cast<int>(found - pitchTable.begin());
}

std::string timeCommand(std::string_view clockFields) {
    return join("kavrin_time:", clockFields);
}

std::string wifiCommand(std::string_view ssid, std::string_view password,
                        std::string_view localIp) {
    std::string text = "kavrin_wifi:";
    text.append(ssid).append(",").append(password).append(",").append(localIp).append(",");
    text.append(std::to_string(kUdpPort));
    return text;
}

bool wifiFieldSendable(std::string_view field) {
    return field.find_first_of(std::string_view(",\0", 2)) == std::string_view::npos;
}

std::string functionCommand(int index) {
    return withNumber("kavrin_func:", index);
}

std::string pitchCommand(int pitch) {
    return withNumber("kavrin_pitch:", pitch);
}

std::string speedSelectCommand(int index) {
    return withNumber("kavrin_speed_sel:", index);
}

std::string presetCountCommand(bool negative, std::string_view countText) {
    std::string text = "kavrin_preset:cnt,";
    if (negative) {
        text += '-';
    }
    text.append(countText);
    return text;
}

std::string presetEnableCommand(int checkState, bool negative, std::string_view countText) {
    std::string text = "kavrin_preset:enable=" + std::to_string(checkState) + ",";
    if (negative) {
        text += '-';
    }
    text.append(countText);
    return text;
}

std::string speedsCommand(std::string_view s1, std::string_view s2, std::string_view s3) {
    std::string text = "kavrin_speed3:";
    text.append(s1).append(",").append(s2).append(",").append(s3);
    return text;
}

std::string templateCommand(std::string_view labelTemplate) {
    return join("kavrin_cmd:", labelTemplate);
}

std::string recordFormatCommand(int index) {
    return withNumber("kavrin_f2name:", index);
}

int presetValue(bool negative, std::string_view countText) {
    const std::int64_t value = scanInteger(countText).value();
    return static_cast<int>(std::clamp<std::int64_t>(negative ? -value : value, INT_MIN, INT_MAX));
}

int leadingInt(std::string_view text) {
    return scanInteger(text).clamped();
}

}  // namespace commands
