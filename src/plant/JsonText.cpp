#include "plant/JsonText.h"

#include <cstdint>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence at the start of `bytes`; 0 when the
// first byte does not start one (overlong forms, surrogates and code points
// past U+10FFFF included).
std::size_t validSequenceLength(std::string_view bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    const auto continuation = [&](std::size_t i) {
        return i < bytes.size() && (byte(i) & 0xC0) == 0x80;
    };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return continuation(1) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!continuation(1) || !continuation(2)) {
            return 0;
        }
        const std::uint8_t second = byte(1);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0)) {
            return 0;  // overlong, or a surrogate
        }
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!continuation(1) || !continuation(2) || !continuation(3)) {
            return 0;
        }
        const std::uint8_t second = byte(1);
        if ((lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) {
            return 0;  // overlong, or past U+10FFFF
        }
        return 4;
    }
    return 0;
}

void appendEscape(std::string& out, std::uint8_t c) {
    static constexpr char kHex[] = "0123456789abcdef";
    switch (c) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
    }
}

}  // namespace

void appendJsonString(std::string& out, std::string_view bytes) {
    out += '"';
    while (!bytes.empty()) {
        const std::size_t length = validSequenceLength(bytes);
        if (length == 0) {
            out += kReplacement;
            bytes.remove_prefix(1);
            continue;
        }
        const auto c = static_cast<std::uint8_t>(bytes[0]);
        if (length == 1 && (c < 0x20 || c == '"' || c == '\\' || c == 0x7f)) {
            appendEscape(out, c);
        } else {
            out.append(bytes.substr(0, length));
        }
        bytes.remove_prefix(length);
    }
    out += '"';
}
