#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sim {

// The whole text as a decimal integer in [lo, hi]: an optional "-", at least one
// digit and nothing else (no blanks, no "+").
std::optional<std::int64_t> parseInteger(std::string_view text, std::int64_t lo, std::int64_t hi);

}  // namespace sim
