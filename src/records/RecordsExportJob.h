#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "records/RecordsExport.h"

// One export on a thread of its own, with its own connection to the journal,
// so that the window's thread never waits for the file. `done` runs on that
// thread when the export ended (with its result), unless it was cancelled.
// The object stops and joins the thread when it goes.
class RecordsExportJob {
  public:
    RecordsExportJob(std::string journalPath, JournalFilter filter, ExportFormat format,
                     std::string path, std::function<void(const ExportResult&)> done);
    ~RecordsExportJob();
    RecordsExportJob(const RecordsExportJob&) = delete;
    RecordsExportJob& operator=(const RecordsExportJob&) = delete;

  private:
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};
