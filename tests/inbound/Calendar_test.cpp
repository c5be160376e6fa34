#include "inbound/Calendar.h"

#include <gtest/gtest.h>

#include <ctime>
#include <limits>

#include "support/ScopedEnv.h"

void PrintTo(const CalendarTime& t, std::ostream* os) {
    *os << t.year << "-" << t.month << "-" << t.day << " " << t.hour << ":" << t.minute << ":"
        << t.second;
}

namespace {

// Each test begins in UTC; the previous zone is back afterwards.
class CalendarTest : public ::testing::Test {
  protected:
    void useZone(const char* zone) { zone_.set(zone); }

    static std::time_t utc(int year, int month, int day, int hour, int minute, int second) {
        std::tm fields{};
        fields.tm_year = year - 1900;
        fields.tm_mon = month - 1;
        fields.tm_mday = day;
        fields.tm_hour = hour;
        fields.tm_min = minute;
        fields.tm_sec = second;
        return timegm(&fields);
    }

  private:
    ScopedTimeZone zone_{"UTC"};
};

TEST_F(CalendarTest, FieldsAndTextsOfOneInstant) {
    const CalendarTime t = localCalendar(utc(2025, 3, 5, 9, 3, 7));
    EXPECT_EQ(t, (CalendarTime{2025, 3, 5, 9, 3, 7}));
    EXPECT_EQ(formatClockDisplay(t), "2025-03-05 09:03:07");
    EXPECT_EQ(formatClockCommandFields(t), "2025,03,05,09,03,07");
    EXPECT_EQ(formatPathStamp(t), "20250305090307");
}

// The clock field has to follow a changed zone on its next pass.
TEST_F(CalendarTest, FollowsAChangedZone) {
    const std::time_t t = utc(2024, 1, 19, 12, 5, 9);
    EXPECT_EQ(localCalendar(t), (CalendarTime{2024, 1, 19, 12, 5, 9}));
    useZone("EST5");
    EXPECT_EQ(localCalendar(t), (CalendarTime{2024, 1, 19, 7, 5, 9}));
    useZone("UTC-14");
    EXPECT_EQ(localCalendar(t), (CalendarTime{2024, 1, 20, 2, 5, 9}));
}

TEST_F(CalendarTest, UnconvertibleTimeGivesFallbackFields) {
    const CalendarTime fallback{0, 0, 0, -1, -1, -1};
    EXPECT_EQ(localCalendar(std::numeric_limits<std::time_t>::max()), fallback);
    EXPECT_EQ(localCalendar(std::numeric_limits<std::time_t>::min()), fallback);
    // A year that localtime_r still accepts in tm_year but that no longer fits
    // an int once 1900 is added.
    const std::time_t nearLastYear =
        static_cast<std::time_t>(std::numeric_limits<int>::max() - 1000) * 31556952LL;
    EXPECT_EQ(localCalendar(nearLastYear), fallback);
}

struct FormatCase {
    CalendarTime time;
    const char* display;
    const char* command;
    const char* stamp;
};

TEST(CalendarFormat, PaddingAndFallback) {
    const FormatCase cases[] = {
        {{2025, 3, 5, 9, 3, 7}, "2025-03-05 09:03:07", "2025,03,05,09,03,07", "20250305090307"},
        {{2025, 12, 31, 23, 59, 59},
         "2025-12-31 23:59:59",
         "2025,12,31,23,59,59",
         "20251231235959"},
        {{2024, 1, 1, 0, 0, 0}, "2024-01-01 00:00:00", "2024,01,01,00,00,00", "20240101000000"},
        {{0, 0, 0, -1, -1, -1}, "0-00-00 -1:-1:-1", "0,00,00,-1,-1,-1", "00000-1-1-1"},
        {{12345, 1, 2, 3, 4, 5}, "12345-01-02 03:04:05", "12345,01,02,03,04,05", "123450102030405"},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.display);
        EXPECT_EQ(formatClockDisplay(c.time), c.display);
        EXPECT_EQ(formatClockCommandFields(c.time), c.command);
        EXPECT_EQ(formatPathStamp(c.time), c.stamp);
    }
}

}  // namespace
