#pragma once

#include <cstdint>
#include <string>

// The local calendar fields of an instant, given the local offset from UTC at
// that instant.
struct LocalDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};
LocalDateTime localDateTimeOf(std::int64_t utcMs, std::int32_t utcOffsetSeconds);

// "YYYY-MM-DD" of the local day an instant fell on.
std::string localDayOf(std::int64_t utcMs, std::int32_t utcOffsetSeconds);

// "YYYY-MM-DD hh:mm:ss" of the same local time.
std::string localTimeOf(std::int64_t utcMs, std::int32_t utcOffsetSeconds);
