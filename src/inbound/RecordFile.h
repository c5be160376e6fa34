#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "inbound/Calendar.h"
#include "storage/DiskSync.h"

// folder + name + "%d%02d%02d%02d%02d%02d" of time + "." + extension. A folder
// that does not end in "/" gets one, so the file goes into that folder and not
// beside it; an empty folder stays empty (the working folder).
std::string composeRecordPath(std::string_view folder, std::string_view name,
                              const CalendarTime& time, std::string_view extension);

struct RecordWriteResult {
    bool written = false;
    std::string reason;  // what failed; empty when written
};

// Appends text to the file at path in one write, creating the file when it does
// not exist, and syncs the file's data with `sync`: the record counts as
// written only once the sync returned. Only a regular file is written: a
// symbolic link, FIFO, folder or device under the name fails the record at
// once ("not a regular file: a FIFO"), and nothing is opened through a link. The file is closed
// again before return. When the write or the sync fails the file is cut back to its size before
// this record, so a failed record leaves no fragment behind, and a file this
// record created is removed again. An empty text (no record format) is not
// written and makes no file.
RecordWriteResult appendRecord(const std::string& path, std::string_view text,
                               const SyncCall& sync = syncToDisk);

// Appends several records to one file as appendRecord does each, with one
// sync for them all: none counts as written before that sync returned. A
// record whose write fails is cut back and the others go on; a failed sync
// fails every record written with it and cuts the file back to its size
// before them. One result per text, in order.
std::vector<RecordWriteResult> appendRecords(const std::string& path,
                                             const std::vector<std::string_view>& texts,
                                             const SyncCall& sync = syncToDisk);
