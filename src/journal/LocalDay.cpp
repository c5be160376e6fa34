#include "journal/LocalDay.h"

#include <chrono>
#include <cstdio>

LocalDateTime localDateTimeOf(std::int64_t utcMs, std::int32_t utcOffsetSeconds) {
    using namespace std::chrono;
    const sys_time<milliseconds> local(milliseconds(utcMs) + seconds(utcOffsetSeconds));
    const sys_days dayStart = floor<days>(local);
    const year_month_day date(dayStart);
    const hh_mm_ss<seconds> time(floor<seconds>(local - dayStart));
    return {static_cast<int>(date.year()),
            static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day())),
            static_cast<int>(time.hours().count()),
            static_cast<int>(time.minutes().count()),
            static_cast<int>(time.seconds().count())};
}

std::string localDayOf(std::int64_t utcMs, std::int32_t utcOffsetSeconds) {
    const LocalDateTime t = localDateTimeOf(utcMs, utcOffsetSeconds);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
    return text;
}

std::string localTimeOf(std::int64_t utcMs, std::int32_t utcOffsetSeconds) {
    const LocalDateTime t = localDateTimeOf(utcMs, utcOffsetSeconds);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}
