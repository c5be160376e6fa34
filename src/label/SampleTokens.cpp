#include "label/SampleTokens.h"

#include <algorithm>

namespace label {
namespace {

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the token starting at data[at], 0 when there is none.
std::size_t tokenLength(std::string_view data, std::size_t at) {
    if (data[at] != '@' || at + 1 >= data.size() || !isLetter(data[at + 1])) {
        return 0;
    }
    std::size_t end = at + 2;
    while (end < data.size() && isDigit(data[end])) {
        ++end;
    }
    return end - at;
}

bool isToken(std::string_view text) {
    return !text.empty() && tokenLength(text, 0) == text.size();
}

}  // namespace

std::vector<std::string> tokensIn(std::string_view data) {
    std::vector<std::string> tokens;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::size_t length = tokenLength(data, i);
        if (length == 0) {
            continue;
        }
        std::string token(data.substr(i, length));
        if (std::find(tokens.begin(), tokens.end(), token) == tokens.end()) {
            tokens.push_back(std::move(token));
        }
        i += length - 1;
    }
    return tokens;
}

std::string withSamples(std::string_view data, const SampleValues& samples) {
    std::string filled;
    filled.reserve(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::size_t length = tokenLength(data, i);
        if (length > 0) {
            const auto sample = samples.find(std::string(data.substr(i, length)));
            if (sample != samples.end()) {
                filled += sample->second;
                i += length - 1;
                continue;
            }
        }
        filled += data[i];
    }
    return filled;
}

bool holdsToken(std::string_view data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (tokenLength(data, i) > 0) {
            return true;
        }
    }
    return false;
}

std::string samplesToText(const SampleValues& samples) {
    std::string text;
    for (const auto& [token, value] : samples) {
        text += token;
        text += '=';
        for (const char c : value) {
            switch (c) {
                case '\\':
                    text += "\\\\";
                    break;
                case '\r':
                    text += "\\r";
                    break;
                case '\n':
                    text += "\\n";
                    break;
                default:
                    text += c;
            }
        }
        text += '\n';
    }
    return text;
}

SampleValues samplesFromText(std::string_view text) {
    SampleValues samples;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || !isToken(line.substr(0, equals))) {
            continue;
        }
        std::string value;
        const std::string_view written = line.substr(equals + 1);
        for (std::size_t i = 0; i < written.size(); ++i) {
            if (written[i] != '\\' || i + 1 == written.size()) {
                value += written[i];
                continue;
            }
            const char escaped = written[++i];
            value += escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped;
        }
        samples[std::string(line.substr(0, equals))] = std::move(value);
    }
    return samples;
}

}  // namespace label
