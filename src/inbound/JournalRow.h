#pragma once

#include <chrono>
#include <string>

#include "inbound/DeviceReport.h"
#include "journal/JournalRecord.h"

// The journal fields of a counting record that arrived at `arrived` over
// `link` ("NET 192.168.1.20:5000", "COM7"): arrival time with the computer's
// local offset from UTC at that moment, the machine's time text, the signed
// count and the slot texts as received. The file and its outcome are the
// writer's to fill in.
JournalRecord journalRowOf(const DeviceReport& report, std::string link,
                           std::chrono::system_clock::time_point arrived);

// The local offset from UTC, in seconds, at `at` in the computer's current
// time zone.
int localUtcOffsetSeconds(std::chrono::system_clock::time_point at);
