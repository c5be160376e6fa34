#include "panel/FixedLists.h"

#include <array>

namespace {

constexpr std::array<const char*, 3> kFunctions = {"standard", "pocket checking",
                                                   "transparent tape"};
constexpr std::array<const char*, 3> kSpeeds = {"S1", "S2", "S3"};
constexpr std::array<const char*, 2> kRecordFormats = {"csv", "xml"};

}  // namespace

std::span<const char* const> functionNames() {
    return kFunctions;
}
std::span<const char* const> speedNames() {
    return kSpeeds;
}
std::span<const char* const> recordFormatNames() {
    return kRecordFormats;
}

std::string entryAt(std::span<const char* const> list, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) {
        return {};
    }
    return list[static_cast<std::size_t>(index)];
}
