#pragma once

#include <array>
#include <cstdint>
#include <string>

// One counting record as the journal keeps it: what arrived, where it came
// from, and what became of its record file.
struct JournalRecord {
    std::int64_t id = 0;                // journal id, given when the row is committed
    std::int64_t arrivedUtcMs = 0;      // arrival time, ms since the epoch, UTC
    std::int32_t utcOffsetSeconds = 0;  // the local offset from UTC at arrival
    std::string machineTime;            // the machine's time text
    std::int32_t count = 0;             // signed count
    std::array<std::string, 3> slots;   // S0, S1, S2 as received; empty = absent
    std::string link;                   // "NET 192.168.1.20:5000" or "COM7"
    std::string file;                   // the record file's path
    bool written = false;               // the record file took it (synced)
    std::string failure;                // why not written; empty when written
    bool published = false;             // the plant's broker acknowledged it

    bool operator==(const JournalRecord&) const = default;
};
