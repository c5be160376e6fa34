#include "text/TraceText.h"

namespace {

constexpr char kHex[] = "0123456789abcdef";

void appendEscaped(std::string& shown, unsigned char byte) {
    shown += "\\x";
    shown += kHex[byte >> 4];
    shown += kHex[byte & 0x0f];
}

// The length of the well-formed UTF-8 sequence at the start of `bytes`
// (shortest form, no surrogates, at most U+10FFFF); 0 when there is none.
std::size_t sequenceLength(std::string_view bytes) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;   // no overlong forms
        high = lead == 0xed ? 0x9f : 0xbf;  // no surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;  // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (at(i) < 0x80 || at(i) > 0xbf) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string traceSafe(std::string_view bytes) {
    std::string shown;
    shown.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            if (byte < 0x20 || byte == 0x7f) {
                appendEscaped(shown, byte);
            } else {
                shown += static_cast<char>(byte);
            }
            ++i;
            continue;
        }
        const std::size_t length = sequenceLength(bytes.substr(i));
        // U+0080 to U+009F, the C1 controls (CSI, OSC, ST, ...), are C2 80 to C2 9F.
        const bool control =
            length == 2 && byte == 0xc2 && static_cast<unsigned char>(bytes[i + 1]) <= 0x9f;
        if (length == 0 || control) {
            const std::size_t escaped = length == 0 ? 1 : length;
            for (std::size_t k = 0; k < escaped; ++k) {
                appendEscaped(shown, static_cast<unsigned char>(bytes[i + k]));
            }
            i += escaped;
            continue;
        }
        shown.append(bytes.substr(i, length));
        i += length;
    }
    return shown;
}
