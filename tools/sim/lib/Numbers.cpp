#include "Numbers.h"

#include <charconv>

namespace sim {

std::optional<std::int64_t> parseInteger(std::string_view text, std::int64_t lo, std::int64_t hi) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < lo || value > hi) {
        return std::nullopt;
    }
    return value;
}

}  // namespace sim
