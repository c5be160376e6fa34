#include "inbound/RecordSaver.h"

#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "inbound/RecordText.h"
#include "journal/Journal.h"
#include "storage/DiskWriter.h"
#include "text/TraceSites.h"

namespace {

struct PendingRecord {
    std::string path;
    std::string text;
    std::optional<JournalRecord> row;
};

void traceNotWritten(const std::string& path, const RecordWriteResult& result) {
    // The window's name for this trace line: operators' scripts match it.
    trace<sites::recordNotWritten>(path.c_str(), result.reason.c_str());
}

DeviceReport reportOf(const JournalRecord& row) {
    DeviceReport report;
    report.state.data = row.count;
    report.isRecord = true;
    report.time = row.machineTime;
    report.slots = row.slots;
    return report;
}

}  // namespace

struct RecordSaver::Shared {
    std::mutex mutex;
    std::deque<PendingRecord> pending;
    std::optional<RecordWriteResult> latest;
    std::optional<JournalStatus> journalChange;
    std::optional<WriteAgainOutcome> rewrite;
    std::function<void()> settled;
    std::string journalPath;  // set once, before any job

    // The writer's thread's alone, never locked.
    std::unique_ptr<Journal> journal;
    std::deque<JournalRecord> waiting;  // for the journal, oldest first
    JournalStatus status;               // as last told

    ~Shared() {
        if (!waiting.empty()) {
            trace<sites::journalRecordsNeverKept>(waiting.size(), status.reason.c_str());
        }
    }

    // Writes every record handed over so far, each run of records to the same
    // file with one sync, then puts them into the journal. Each record has a
    // writer job of its own; the first to run writes those queued behind it
    // too, and theirs find nothing left.
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
            for (std::size_t i = 0; i < results.size(); ++i) {
                const RecordWriteResult& result = results[i];
                if (!result.written) {
                    traceNotWritten(path, result);
                }
                if (std::optional<JournalRecord>& row = records[first + i].row) {
                    row->file = path;
                    row->written = result.written;
                    row->failure = result.reason;
                    waiting.push_back(std::move(*row));
                }
            }
            last = std::move(results.back());
            first = end;
        }
        const std::optional<JournalStatus> change = putWaitingIntoJournal();
        if (last || change) {
            settle(std::move(last), change, std::nullopt);
        }
    }

    // The journal, opened on first use and again after it failed.
    Journal* openJournal(std::string& error) {
        if (!journal) {
            journal = Journal::open(journalPath, JournalAccess::Write, &error);
        }
        return journal.get();
    }

    // Commits the records waiting for the journal in one transaction; the
    // new status when it changed.
    std::optional<JournalStatus> putWaitingIntoJournal() {
        if (waiting.empty()) {
            return std::nullopt;
        }
        JournalStatus now = status;
        std::string error;
        bool committed = false;
        if (Journal* open = openJournal(error)) {
            std::vector<JournalRecord> batch(std::make_move_iterator(waiting.begin()),
                                             std::make_move_iterator(waiting.end()));
            waiting.clear();
            committed = open->append(batch, &error);
            if (!committed && open->damaged()) {
                // Found damaged on the way: kept aside, and the batch goes into a new one.
                journal.reset();
                std::string asideError;
                if (Journal::keepAside(journalPath, &asideError) && openJournal(error) != nullptr) {
                    committed = journal->append(batch, &error);
                }
            }
            if (!committed) {
                journal.reset();  // opened afresh next time
                waiting.assign(std::make_move_iterator(batch.begin()),
                               std::make_move_iterator(batch.end()));
            }
        }
        if (committed) {
            if (!status.kept) {
                trace<sites::journalKeptAgain>();
            }
            now.kept = true;
            now.reason.clear();
            now.waiting = 0;
        } else {
            if (status.kept || status.reason != error) {
                trace<sites::journalNotKept>(error.c_str());
            }
            if (waiting.size() > kMaxWaiting) {
                const std::size_t dropped = waiting.size() - kMaxWaiting;
                waiting.erase(waiting.begin(), waiting.begin() + static_cast<long>(dropped));
                now.lost += dropped;
                trace<sites::journalRecordsDropped>(dropped, kMaxWaiting);
            }
            now.kept = false;
            now.reason = error;
            now.waiting = waiting.size();
        }
        if (now == status) {
            return std::nullopt;
        }
        status = now;
        return now;
    }

    void writeAgain(const std::vector<std::int64_t>& ids, const std::string& path,
                    const std::string& format, const SyncCall& sync) {
        WriteAgainOutcome outcome;
        std::string error;
        std::vector<JournalRecord> rewritten;
        Journal* open = openJournal(error);
        const auto writeFiles = [&](std::vector<JournalRecord>& rows) {
            std::vector<std::string> texts;
            for (const JournalRecord& row : rows) {
                texts.push_back(recordText(reportOf(row), format));
            }
            const std::vector<RecordWriteResult> results = appendRecords(
                path, std::vector<std::string_view>(texts.begin(), texts.end()), sync);
            for (std::size_t i = 0; i < rows.size(); ++i) {
                if (!results[i].written) {
                    traceNotWritten(path, results[i]);
                    outcome.reason = results[i].reason;
                }
                rows[i].file = path;
                rows[i].written = results[i].written;
                rows[i].failure = results[i].reason;
            }
        };
        if (open == nullptr || !open->writeAgain(ids, writeFiles, rewritten, &error)) {
            journal.reset();
            outcome.reason = "journal: " + error;
            trace<sites::outcomeNotStored>(error.c_str());
            outcome.failed = open == nullptr ? ids.size() : rewritten.size();
        } else {
            for (const JournalRecord& row : rewritten) {
                ++(row.written ? outcome.written : outcome.failed);
            }
        }
        settle(std::nullopt, std::nullopt, std::move(outcome));
    }

    void settle(std::optional<RecordWriteResult> result, std::optional<JournalStatus> change,
                std::optional<WriteAgainOutcome> rewritten) {
        const std::lock_guard<std::mutex> lock(mutex);
        const bool wasIdle = !latest && !journalChange && !rewrite;
        if (result) {
            latest = std::move(result);
        }
        if (change) {
            journalChange = std::move(change);
        }
        if (rewritten) {
            rewrite = std::move(rewritten);
        }
        if (wasIdle && settled) {
            settled();
        }
    }
};

RecordSaver::RecordSaver(DiskWriter& writer, std::function<void()> settled, std::string journalPath)
    : writer_(writer), shared_(std::make_shared<Shared>()) {
    shared_->settled = std::move(settled);
    shared_->journalPath = std::move(journalPath);
}

RecordSaver::~RecordSaver() {
    detach();
}

void RecordSaver::save(std::string path, std::string text) {
    std::string what = "record to " + path;
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->pending.push_back(PendingRecord{std::move(path), std::move(text), std::nullopt});
    }
    writer_.post(std::move(what),
                 [shared = shared_](const SyncCall& sync) { shared->writePending(sync); });
}

void RecordSaver::save(std::string path, std::string text, JournalRecord fields) {
    if (shared_->journalPath.empty()) {
        save(std::move(path), std::move(text));
        return;
    }
    std::string what = "record to " + path;
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->pending.push_back(
            PendingRecord{std::move(path), std::move(text), std::move(fields)});
    }
    writer_.post(std::move(what),
                 [shared = shared_](const SyncCall& sync) { shared->writePending(sync); });
}

std::optional<RecordWriteResult> RecordSaver::takeLatest() {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    return std::exchange(shared_->latest, std::nullopt);
}

std::optional<JournalStatus> RecordSaver::takeJournalStatus() {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    return std::exchange(shared_->journalChange, std::nullopt);
}

void RecordSaver::writeAgain(std::vector<std::int64_t> ids, std::string path, std::string format) {
    if (shared_->journalPath.empty() || ids.empty()) {
        return;
    }
    std::string what = "records written again to " + path;
    writer_.post(std::move(what), [shared = shared_, ids = std::move(ids), path = std::move(path),
                                   format = std::move(format)](const SyncCall& sync) {
        shared->writeAgain(ids, path, format, sync);
    });
}

std::optional<WriteAgainOutcome> RecordSaver::takeWriteAgain() {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    return std::exchange(shared_->rewrite, std::nullopt);
}

void RecordSaver::detach() {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->settled = nullptr;
}
