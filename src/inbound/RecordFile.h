#pragma once

#include <string>
#include <string_view>

#include "inbound/Calendar.h"

// folder + name + "%d%02d%02d%02d%02d%02d" of time + "." + extension. No
// separator is added or removed: the folder carries its own trailing one.
std::string composeRecordPath(std::string_view folder, std::string_view name,
                              const CalendarTime& time, std::string_view extension);

struct RecordWriteResult {
    bool written = false;
    std::string reason;  // what failed; empty when written
};

// Appends text to the file at path in one write, creating the file when it does
// not exist (even for an empty text); the file is closed again before return.
// When the write fails part-way the file is cut back to its size before this
// record, so a failed record leaves no fragment behind.
RecordWriteResult appendRecord(const std::string& path, std::string_view text);
