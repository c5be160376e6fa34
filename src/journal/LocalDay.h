#pragma once

#include <cstdint>
#include <string>

// "YYYY-MM-DD" of the local day an instant fell on, given the local offset
// from UTC at that instant.
std::string localDayOf(std::int64_t utcMs, std::int32_t utcOffsetSeconds);

// "YYYY-MM-DD hh:mm:ss" of the same local time.
std::string localTimeOf(std::int64_t utcMs, std::int32_t utcOffsetSeconds);
