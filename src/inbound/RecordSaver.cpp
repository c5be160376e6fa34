#include "inbound/RecordSaver.h"

#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "storage/DiskWriter.h"
#include "text/DebugTrace.h"

namespace {

struct PendingRecord {
    std::string path;
    std::string text;
};

}  // namespace

struct RecordSaver::Shared {
    std::mutex mutex;
    std::deque<PendingRecord> pending;
    std::optional<RecordWriteResult> latest;
    std::function<void()> settled;

    // Writes every record handed over so far, each run of records to the same
    // file with one sync. Each record has a writer job of its own; the first
    // to run writes those queued behind it too, and theirs find nothing left.
    void writePending(const SyncCall& sync) {
        std::deque<PendingRecord> records;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            records.swap(pending);
        }
        std::optional<RecordWriteResult> last;
        for (std::size_t first = 0; first < records.size();) {
            const std::string& path = records[first].path;
            std::vector<std::string_view> texts;
            std::size_t end = first;
            for (; end < records.size() && records[end].path == path; ++end) {
                texts.emplace_back(records[end].text);
            }
            std::vector<RecordWriteResult> results = appendRecords(path, texts, sync);
            for (const RecordWriteResult& result : results) {
                if (!result.written) {
                    // The window's name for this trace line: operators' scripts match it.
                    DebugTrace("CTolvaneAppDlg::tmSaveRecord", 1154, "record not written to %s: %s",
                               path.c_str(), result.reason.c_str());
                }
            }
            last = std::move(results.back());
            first = end;
        }
        if (last) {
            settle(std::move(*last));
        }
    }

    void settle(RecordWriteResult result) {
        const std::lock_guard<std::mutex> lock(mutex);
        const bool wasEmpty = !latest.has_value();
        latest = std::move(result);
        if (wasEmpty && settled) {
            settled();
        }
    }
};

RecordSaver::RecordSaver(DiskWriter& writer, std::function<void()> settled)
    : writer_(writer), shared_(std::make_shared<Shared>()) {
    shared_->settled = std::move(settled);
}

RecordSaver::~RecordSaver() {
    detach();
}

void RecordSaver::save(std::string path, std::string text) {
    std::string what = "record to " + path;
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->pending.push_back(PendingRecord{std::move(path), std::move(text)});
    }
    writer_.post(std::move(what),
                 [shared = shared_](const SyncCall& sync) { shared->writePending(sync); });
}

std::optional<RecordWriteResult> RecordSaver::takeLatest() {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    std::optional<RecordWriteResult> latest = std::move(shared_->latest);
    shared_->latest.reset();
    return latest;
}

void RecordSaver::detach() {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->settled = nullptr;
}
