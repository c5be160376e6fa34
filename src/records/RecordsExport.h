#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "journal/Journal.h"

enum class ExportFormat { Csv, Xlsx };

struct ExportResult {
    bool done = false;
    std::int64_t records = 0;  // rows written below the header
    std::string error;         // why not done
};

// Writes the records `filter` takes, newest first, as the records window
// shows them, to a file at `path`: a header row, then one row per record with
// its journal id, local arrival time, UTC offset, machine time, count, S0,
// S1, S2, link, outcome and file.
//
// CSV: RFC 4180, UTF-8, CR LF line ends; texts a spreadsheet would run as a
// formula begin with an apostrophe. XLSX: typed cells (numbers, a date-time,
// texts as text cells, never formulas); 1,048,575 records a sheet, more on
// further sheets.
//
// The file appears whole or not at all: it is written beside `path` and
// renamed when complete. Reads the journal through `journal` alone, record
// by record; `cancel`, when set, stops it (the file is then not made).
ExportResult exportRecords(Journal& journal, const JournalFilter& filter, ExportFormat format,
                           const std::string& path, const std::atomic<bool>& cancel);
