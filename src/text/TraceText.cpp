#include "text/TraceText.h"

std::string traceSafe(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0x0f];
        } else {
            shown += c;
        }
    }
    return shown;
}
