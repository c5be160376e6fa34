#include "inbound/Calendar.h"

#include <cstdio>
#include <limits>

namespace {

constexpr CalendarTime kUnconvertible = {0, 0, 0, -1, -1, -1};

std::string formatFields(const char* format, const CalendarTime& time) {
    // Six ints of at most 11 characters each plus separators.
    char text[96];
    const int length = std::snprintf(text, sizeof text, format, time.year, time.month, time.day,
                                     time.hour, time.minute, time.second);
    if (length < 0) {
        return {};
    }
    return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace

CalendarTime localCalendar(std::time_t t) {
    tzset();
    std::tm fields{};
    if (localtime_r(&t, &fields) == nullptr) {
        return kUnconvertible;
    }
    // tm_year counts from 1900; a year that then no longer fits an int is as
    // unconvertible as one localtime_r rejects.
    const long long year = static_cast<long long>(fields.tm_year) + 1900;
    if (year > std::numeric_limits<int>::max()) {
        return kUnconvertible;
    }
    return {static_cast<int>(year), fields.tm_mon + 1, fields.tm_mday,
            fields.tm_hour,         fields.tm_min,     fields.tm_sec};
}

std::string formatClockDisplay(const CalendarTime& time) {
    return formatFields("%d-%02d-%02d %02d:%02d:%02d", time);
}

std::string formatClockCommandFields(const CalendarTime& time) {
    return formatFields("%d,%02d,%02d,%02d,%02d,%02d", time);
}

std::string formatPathStamp(const CalendarTime& time) {
    return formatFields("%d%02d%02d%02d%02d%02d", time);
}
