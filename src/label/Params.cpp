#include "label/Params.h"

#include <cstdio>

namespace label {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of a printer field (V00-V99, C0-C9, TT, TD) at the start of `text`.
std::size_t printerFieldLength(std::string_view text) {
    if (text.size() >= 3 && text[0] == 'V' && isDigit(text[1]) && isDigit(text[2])) {
        return 3;
    }
    if (text.size() >= 2 && text[0] == 'C' && isDigit(text[1])) {
        return 2;
    }
    if (text.substr(0, 2) == "TT" || text.substr(0, 2) == "TD") {
        return 2;
    }
    return 0;
}

}  // namespace

std::vector<std::string_view> splitAtCommas(std::string_view params, std::size_t most) {
    std::vector<std::string_view> fields;
    if (most == 0) {
        return fields;
    }
    while (fields.size() + 1 < most) {
        const std::size_t comma = params.find(',');
        if (comma == std::string_view::npos) {
            break;
        }
        fields.push_back(params.substr(0, comma));
        params.remove_prefix(comma + 1);
    }
    fields.push_back(params);
    return fields;
}

std::optional<int> readNumber(std::string_view text) {
    if (text.empty() || text.size() > 6) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (!isDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

DataText readData(std::string_view raw) {
    DataText data;
    if (raw.empty() || (raw.front() != '"' && printerFieldLength(raw) == 0)) {
        data.problem = "the data must be in double quotes";
        return data;
    }
    std::size_t i = 0;
    while (i < raw.size()) {
        if (raw[i] != '"') {
            const std::size_t field = printerFieldLength(raw.substr(i));
            if (field == 0) {
                data.problem = "unexpected " + quoted(raw.substr(i)) + " after the data";
                return data;
            }
            data.bytes += raw.substr(i, field);
            data.hasPrinterFields = true;
            i += field;
            continue;
        }
        ++i;  // opening quote
        bool closed = false;
        while (i < raw.size()) {
            const char c = raw[i++];
            if (c == '"') {
                closed = true;
                break;
            }
            if (c == '\\') {
                if (i == raw.size()) {
                    break;
                }
                data.bytes += raw[i++];
                continue;
            }
            data.bytes += c;
        }
        if (!closed) {
            data.problem = "the data's closing double quote is missing";
            return data;
        }
    }
    return data;
}

std::string quoted(std::string_view text) {
    constexpr std::size_t kLongest = 40;
    std::string shown = "\"";
    for (std::size_t i = 0; i < text.size() && i < kLongest; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            shown += hex;
        } else {
            shown += text[i];
        }
    }
    if (text.size() > kLongest) {
        shown += "...";
    }
    shown += '"';
    return shown;
}

}  // namespace label
