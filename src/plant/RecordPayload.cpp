#include "plant/RecordPayload.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "plant/JsonObject.h"

std::string isoLocalTime(std::int64_t utcMs, std::int32_t offsetSeconds) {
    using namespace std::chrono;
    const std::int64_t localMs = utcMs + std::int64_t{offsetSeconds} * 1000;
    // Floor division, so that times before the epoch keep their milliseconds right.
    std::int64_t seconds = localMs / 1000;
    std::int64_t millis = localMs % 1000;
    if (millis < 0) {
        millis += 1000;
        seconds -= 1;
    }
    const sys_seconds instant{std::chrono::seconds(seconds)};
    const auto day = floor<days>(instant);
    const year_month_day date{day};
    const hh_mm_ss time{instant - day};
    const int offsetMinutes = std::abs(offsetSeconds) / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03d%c%02d:%02d",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()), static_cast<int>(millis),
                  offsetSeconds < 0 ? '-' : '+', offsetMinutes / 60, offsetMinutes % 60);
    return text;
}

std::string recordPayload(const JournalRecord& record, std::string_view station) {
    JsonObject slots;
    for (std::size_t i = 0; i < record.slots.size(); ++i) {
        if (!record.slots[i].empty()) {
            slots.text("S" + std::to_string(i), record.slots[i]);
        }
    }
    JsonObject json;
    json.text("station", station)
        .number("id", record.id)
        .text("arrived", isoLocalTime(record.arrivedUtcMs, record.utcOffsetSeconds))
        .text("machineTime", record.machineTime)
        .number("count", record.count)
        // The magnitude in 64 bits: the most negative count has one too.
        .number("quantity", std::llabs(static_cast<long long>(record.count)))
        .raw("slots", std::move(slots).finish())
        .text("link", record.link)
        .text("file", record.file)
        .boolean("written", record.written);
    if (!record.written) {
        json.text("failure", record.failure);
    }
    return std::move(json).finish();
}
