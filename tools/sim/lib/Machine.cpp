#include "Machine.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string_view>

#include "Escape.h"
#include "Numbers.h"

namespace sim {

namespace {

constexpr std::array<std::int32_t, 15> kPitches{2,  4,  8,  12, 16, 20, 24, 28,
                                                32, 36, 40, 44, 48, 52, 56};
constexpr std::int64_t kMaxValue = std::numeric_limits<std::int32_t>::max();

std::vector<std::string_view> splitCommas(std::string_view text) {
    std::vector<std::string_view> fields;
    for (;;) {
        const auto comma = text.find(',');
        fields.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos) {
            return fields;
        }
        text.remove_prefix(comma + 1);
    }
}

// A preset count as the panel sends it: an optional "-" and the digits as typed.
// No digits means 0, as the panel stores it; a count beyond the 32-bit range is
// held at its largest magnitude, as the panel stores it.
std::optional<std::int32_t> parsePresetCount(std::string_view text) {
    const bool negative = text.starts_with('-');
    if (negative) {
        text.remove_prefix(1);
    }
    std::int64_t magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        magnitude = std::min(magnitude * 10 + (c - '0'), kMaxValue);
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::optional<std::int32_t> parseChoice(std::string_view text, std::int64_t last) {
    const auto value = parseInteger(text, 0, last);
    return value ? std::optional<std::int32_t>(static_cast<std::int32_t>(*value)) : std::nullopt;
}

// "Y,MM,DD,hh,mm,ss" as a moment of local time; impossible dates such as the
// 30th of February are refused rather than rolled over.
std::optional<std::time_t> parseClock(std::string_view text) {
    const auto fields = splitCommas(text);
    if (fields.size() != 6) {
        return std::nullopt;
    }
    static constexpr std::array<std::pair<int, int>, 6> ranges{
        {{1970, 9999}, {1, 12}, {1, 31}, {0, 23}, {0, 59}, {0, 59}}};
    std::array<int, 6> v{};
    for (std::size_t i = 0; i < 6; ++i) {
        const auto value = parseInteger(fields[i], ranges[i].first, ranges[i].second);
        if (!value) {
            return std::nullopt;
        }
        v[i] = static_cast<int>(*value);
    }
    std::tm tm{};
    tm.tm_year = v[0] - 1900;
    tm.tm_mon = v[1] - 1;
    tm.tm_mday = v[2];
    tm.tm_hour = v[3];
    tm.tm_min = v[4];
    tm.tm_sec = v[5];
    tm.tm_isdst = -1;
    const std::time_t when = std::mktime(&tm);
    if (when == static_cast<std::time_t>(-1) || tm.tm_mday != v[2] || tm.tm_mon != v[1] - 1) {
        return std::nullopt;
    }
    return when;
}

std::string presetText(const MachineState& s) {
    return "presetOn=" + std::to_string(s.presetOn) + " preset=" + std::to_string(s.preset);
}

}  // namespace

bool Machine::presetReached() const {
    return state_.presetOn == 1 && state_.preset != 0 &&
           state_.data >= std::abs(static_cast<std::int64_t>(state_.preset));
}

Outcome Machine::apply(const Command& command, std::time_t now) {
    const MachineState before = state_;
    Outcome outcome;
    switch (command.kind) {
        case CommandKind::Rewind:
        case CommandKind::Stop:
        case CommandKind::Start:
        case CommandKind::Print:
        case CommandKind::Clear:
            outcome = applyKey(command.kind);
            break;
        default:
            outcome = applySetting(command, now);
    }
    outcome.stateChanged = !(state_ == before);
    return outcome;
}

Outcome Machine::applyKey(CommandKind kind) {
    switch (kind) {
        case CommandKind::Start:
            if (counting_) {
                return {false, false, "already counting"};
            }
            if (presetReached()) {
                return {false, false, "ignored: preset reached, clear the count first"};
            }
            if (state_.data >= kMaxValue) {
                return {false, false, "ignored: count at its limit, clear it first"};
            }
            counting_ = true;
            return {false, false, "counting"};
        case CommandKind::Stop:
            if (!counting_) {
                return {false, false, "already stopped"};
            }
            counting_ = false;
            return {false, false, "stopped"};
        case CommandKind::Rewind:
            counting_ = false;
            return {false, true, "reel ended, record"};
        case CommandKind::Print:
            return {false, true, "record"};
        case CommandKind::Clear:
            state_.data = 0;
            return {false, false, "data=0"};
        default:
            return {};
    }
}

Outcome Machine::applySetting(const Command& command, std::time_t now) {
    const std::string_view payload = command.payload;
    switch (command.kind) {
        case CommandKind::Function:
            if (const auto value = parseChoice(payload, 2)) {
                state_.function = *value;
                return {false, false, "function=" + std::to_string(*value)};
            }
            return {false, false, "ignored: function must be 0, 1 or 2"};
        case CommandKind::Pitch: {
            const auto value = parseInteger(payload, 0, kMaxValue);
            if (value && std::find(kPitches.begin(), kPitches.end(), *value) != kPitches.end()) {
                state_.pitch = static_cast<std::int32_t>(*value);
                return {false, false, "pitch=" + std::to_string(*value)};
            }
            return {false, false, "ignored: not a tape pitch"};
        }
        case CommandKind::SpeedSel:
            if (const auto value = parseChoice(payload, 2)) {
                state_.speed = *value;
                return {false, false, "speed=" + std::to_string(*value)};
            }
            return {false, false, "ignored: speed step must be 0, 1 or 2"};
        case CommandKind::Speed3: {
            const auto fields = splitCommas(payload);
            if (fields.size() != 3) {
                return {false, false, "ignored: speed3 needs exactly three values"};
            }
            std::int32_t* targets[3] = {&state_.s1, &state_.s2, &state_.s3};
            std::string kept;
            for (std::size_t i = 0; i < 3; ++i) {
                if (const auto value = parseInteger(fields[i], 0, kMaxValue)) {
                    *targets[i] = static_cast<std::int32_t>(*value);
                } else {
                    kept += " s" + std::to_string(i + 1);
                }
            }
            std::string note = "s1=" + std::to_string(state_.s1) +
                               " s2=" + std::to_string(state_.s2) +
                               " s3=" + std::to_string(state_.s3);
            if (!kept.empty()) {
                note += " (kept" + kept + ")";
            }
            return {false, false, note};
        }
        case CommandKind::PresetCount:
            if (const auto value = parsePresetCount(payload)) {
                state_.preset = *value;
                return {false, false, presetText(state_)};
            }
            return {false, false, "ignored: preset count is not a number"};
        case CommandKind::PresetEnable: {
            const auto comma = payload.find(',');
            const auto on = parseChoice(payload.substr(0, comma), 1);
            const auto count = comma == std::string_view::npos
                                   ? std::nullopt
                                   : parsePresetCount(payload.substr(comma + 1));
            if (!on || !count) {
                return {false, false, "ignored: preset enable needs 0|1,count"};
            }
            state_.presetOn = *on;
            state_.preset = *count;
            return {false, false, presetText(state_)};
        }
        case CommandKind::Time:
            if (const auto when = parseClock(payload)) {
                clockOffset_ = *when - now;
                return {false, false, "clock=" + clockText(now)};
            }
            return {false, false, "ignored: not a valid date and time"};
        case CommandKind::Wifi:
            wifi_ = command.payload;
            return {false, false, "wifi=" + escapeBytes(wifi_)};
        case CommandKind::Label:
            label_ = command.payload;
            return {false, false,
                    "label[" + std::to_string(label_.size()) + "]=" + escapeBytes(label_)};
        case CommandKind::F2Name:
            if (const auto value = parseChoice(payload, 1)) {
                recordFormat_ = *value;
                return {false, false, "f2name=" + std::to_string(*value)};
            }
            return {false, false, "ignored: f2name must be 0 or 1"};
        default:
            return {false, false, "ignored: unknown command"};
    }
}

Outcome Machine::advance(std::int64_t counts) {
    Outcome outcome;
    for (; counting_ && counts > 0; --counts) {
        ++state_.data;
        outcome.stateChanged = true;
        if (presetReached()) {
            counting_ = false;
            outcome.record = true;
            outcome.note = "preset reached, record";
        } else if (state_.data >= kMaxValue) {
            counting_ = false;
            outcome.note = "count limit reached, stopped";
        }
    }
    return outcome;
}

std::string Machine::clockText(std::time_t now) const {
    const std::time_t when = now + clockOffset_;
    std::tm tm{};
    char text[32] = "";
    if (localtime_r(&when, &tm) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm) == 0) {
        return "0000-00-00 00:00:00";
    }
    return text;
}

}  // namespace sim
