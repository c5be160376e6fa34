#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Which records the records window shows: those that arrived on a local day
// from `fromDay` to `toDay` ("YYYY-MM-DD", both included; empty = no bound)
// and, when `slotText` is not empty, hold it in S0, S1 or S2 (ASCII letters
// match either case).
struct JournalFilter {
    std::string fromDay;
    std::string toDay;
    std::string slotText;

    bool operator==(const JournalFilter&) const = default;
};

// What a set of records adds up to: how many, and the sum of their counts.
struct JournalTotals {
    std::int64_t records = 0;
    std::int64_t parts = 0;

    bool operator==(const JournalTotals&) const = default;
    JournalTotals& operator+=(const JournalTotals& more) {
        records += more.records;
        parts += more.parts;
        return *this;
    }
};

struct DayTotals {
    std::string day;  // "YYYY-MM-DD", the local day of arrival
    JournalTotals totals;

    bool operator==(const DayTotals&) const = default;
};

// The ids of the records a filter takes: how many, and the lowest and highest
// of them (0 when there are none).
struct JournalSpan {
    std::int64_t records = 0;
    std::int64_t lowestId = 0;
    std::int64_t highestId = 0;

    bool operator==(const JournalSpan&) const = default;
};

// All a filter takes, read in one pass: ids, totals and totals per day
// (newest day first).
struct JournalSummary {
    JournalSpan span;
    JournalTotals totals;
    std::vector<DayTotals> days;

    bool operator==(const JournalSummary&) const = default;
};
