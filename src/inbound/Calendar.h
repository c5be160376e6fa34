#pragma once

#include <ctime>
#include <string>

// Local calendar fields of one instant: full year, month 1 to 12, day of the
// month, hour 0 to 23, minute, second.
struct CalendarTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;

    bool operator==(const CalendarTime&) const = default;
};

// The local calendar of t in the computer's current time zone (re-read on every
// call, so a changed zone is followed). When t cannot be converted the fields
// are {0, 0, 0, -1, -1, -1}.
CalendarTime localCalendar(std::time_t t);

// "%d-%02d-%02d %02d:%02d:%02d", the clock field of the window.
std::string formatClockDisplay(const CalendarTime& time);

// "%d,%02d,%02d,%02d,%02d,%02d", the payload of the clock command.
std::string formatClockCommandFields(const CalendarTime& time);

// "%d%02d%02d%02d%02d%02d", the timestamp in a record file name.
std::string formatPathStamp(const CalendarTime& time);
