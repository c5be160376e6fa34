#include "Escape.h"

#include <cstdio>

namespace sim {

std::string escapeBytes(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\0':
                out += "\\0";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (byte < 0x20 || byte >= 0x7f) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02x", byte);
                    out += hex;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::string unescapeBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char kind = text[i + 1];
        switch (kind) {
            case 'r':
                out += '\r';
                ++i;
                continue;
            case 'n':
                out += '\n';
                ++i;
                continue;
            case 't':
                out += '\t';
                ++i;
                continue;
            case '0':
                out += '\0';
                ++i;
                continue;
            case '\\':
                out += '\\';
                ++i;
                continue;
            case 'x':
                if (i + 3 < text.size() && hexValue(text[i + 2]) >= 0 &&
                    hexValue(text[i + 3]) >= 0) {
                    out += static_cast<char>(hexValue(text[i + 2]) * 16 + hexValue(text[i + 3]));
                    i += 3;
                    continue;
                }
                break;
            default:
                break;
        }
        out += '\\';
    }
    return out;
}

std::string commandLine(std::string_view raw) {
    std::string_view shown = raw;
    if (!shown.empty() && shown.back() == '\0') {
        shown.remove_suffix(1);
    }
    return "cmd[" + std::to_string(raw.size()) + "]: " + escapeBytes(shown);
}

}  // namespace sim
