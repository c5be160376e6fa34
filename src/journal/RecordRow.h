#pragma once

#include "journal/JournalRecord.h"
#include "journal/SqlStatement.h"

// The columns a record is read with, and the record of the row a statement
// that selected them stands on.
inline constexpr const char* kRecordColumns =
    "id, arrived_utc_ms, utc_offset_s, machine_time, count, s0, s1, s2, link, file, written, "
    "failure, published";

inline JournalRecord recordOfRow(const SqlStatement& row) {
    JournalRecord r;
    r.id = row.integer(0);
    r.arrivedUtcMs = row.integer(1);
    r.utcOffsetSeconds = static_cast<std::int32_t>(row.integer(2));
    r.machineTime = row.text(3);
    r.count = static_cast<std::int32_t>(row.integer(4));
    r.slots = {row.text(5), row.text(6), row.text(7)};
    r.link = row.text(8);
    r.file = row.text(9);
    r.written = row.integer(10) != 0;
    r.failure = row.text(11);
    r.published = row.integer(12) != 0;
    return r;
}
