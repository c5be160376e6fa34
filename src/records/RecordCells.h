#pragma once

#include <QString>

#include <string>

#include "journal/JournalRecord.h"

// How a journal record reads in the records window and in its exports.
namespace recordcells {

// Local time of arrival at the offset of that moment: "2026-12-10 09:03:04".
QString arrival(const JournalRecord& record);
// The offset from UTC: "UTC+01:00", "UTC-05:30".
QString utcOffset(const JournalRecord& record);
// "written", or "not written: <why>".
QString outcome(const JournalRecord& record);
// A text received from the machine or the system (bytes not UTF-8 shown as U+FFFD).
QString text(const std::string& bytes);

}  // namespace recordcells
