#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string_view>

// A decimal integer read from `text` at `from` the way the C library reads
// one: white space (" \t\n\v\f\r"), an optional sign, then digits up to the
// first character that is not one. Nothing beyond the digits is looked at.
struct ScannedInteger {
    // Where the magnitude stops growing: far beyond 32 bits, so that clamping
    // to any 32-bit range stays exact.
    static constexpr std::uint64_t kMagnitudeCap = std::uint64_t{1} << 40;

    bool hasDigits = false;
    bool negative = false;
    std::uint64_t magnitude = 0;  // at most kMagnitudeCap
    std::size_t end = 0;          // just past the last digit; `from` without digits

    std::int64_t value() const {
        const auto signedMagnitude = static_cast<std::int64_t>(magnitude);
        return negative ? -signedMagnitude : signedMagnitude;
    }
    // The value saturated at the limits of int; 0 without digits.
    int clamped() const {
        return static_cast<int>(std::clamp<std::int64_t>(value(), INT_MIN, INT_MAX));
    }
};

inline ScannedInteger scanInteger(std::string_view text, std::size_t from = 0) {
    const auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    ScannedInteger scanned;
    scanned.end = from;
    std::size_t i = from;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        scanned.negative = text[i] == '-';
        ++i;
    }
    for (; i < text.size() && isDigit(text[i]); ++i) {
        scanned.hasDigits = true;
        scanned.magnitude = std::min(ScannedInteger::kMagnitudeCap,
                                     scanned.magnitude * 10 + static_cast<unsigned>(text[i] - '0'));
        scanned.end = i + 1;
    }
    return scanned;
}
