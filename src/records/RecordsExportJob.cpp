#include "records/RecordsExportJob.h"

#include <utility>

RecordsExportJob::RecordsExportJob(std::string journalPath, JournalFilter filter,
                                   ExportFormat format, std::string path,
                                   std::function<void(const ExportResult&)> done) {
    thread_ = std::thread([this, journalPath = std::move(journalPath), filter = std::move(filter),
                           format, path = std::move(path), done = std::move(done)] {
        ExportResult result;
        std::string error;
        if (const auto journal = Journal::open(journalPath, JournalAccess::Read, &error)) {
            result = exportRecords(*journal, filter, format, path, cancel_);
        } else {
            result.error = error;
        }
        if (!cancel_.load() && done) {
            done(result);
        }
    });
}

RecordsExportJob::~RecordsExportJob() {
    cancel_.store(true);
    thread_.join();
}
