#include "journal/LocalDay.h"

#include <chrono>
#include <cstdio>

namespace {

using namespace std::chrono;

sys_time<milliseconds> localInstant(std::int64_t utcMs, std::int32_t utcOffsetSeconds) {
    return sys_time<milliseconds>(milliseconds(utcMs) + seconds(utcOffsetSeconds));
}

}  // namespace

std::string localDayOf(std::int64_t utcMs, std::int32_t utcOffsetSeconds) {
    const year_month_day day(floor<days>(localInstant(utcMs, utcOffsetSeconds)));
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
    return text;
}

std::string localTimeOf(std::int64_t utcMs, std::int32_t utcOffsetSeconds) {
    const sys_time<milliseconds> local = localInstant(utcMs, utcOffsetSeconds);
    const sys_days dayStart = floor<days>(local);
    const year_month_day day(dayStart);
    const hh_mm_ss<seconds> time(floor<seconds>(local - dayStart));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}
