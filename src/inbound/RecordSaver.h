#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inbound/RecordFile.h"
#include "journal/JournalRecord.h"
#include "journal/JournalStatus.h"

class DiskWriter;

// What one "write again" came to.
struct WriteAgainOutcome {
    std::size_t written = 0;  // records now in the file
    std::size_t failed = 0;   // records still not written
    std::string reason;       // the last failure, of a record file or of the journal
};

// Hands counting records to the disk writer, which appends and syncs them in
// arrival order, and keeps the outcome of the latest one for the window: a
// record that could not be written is traced when it fails and stays visible
// until the next record is written. Records that queue up while the writer is
// busy are written together, each file's share with one sync.
//
// With a journal, the writer also puts every record handed over with its
// journal fields into the journal, in the same turn and one transaction per
// batch, with the outcome of its file; a record's outcome is told only once
// that transaction is committed. A journal that cannot be opened or written
// never holds up a record file: its records wait in memory (at most
// kMaxWaiting) and go in with a later batch, and the status says why.
class RecordSaver {
  public:
    static constexpr std::size_t kMaxWaiting = 10'000;

    // `settled` runs on the writer's thread when something is waiting to be
    // taken (an outcome, a journal status, a write-again outcome) and nothing
    // was before; it must only signal a wake-up, never wait. An empty
    // `journalPath`: no journal, as before there was one.
    RecordSaver(DiskWriter& writer, std::function<void()> settled, std::string journalPath = {});
    ~RecordSaver();
    RecordSaver(const RecordSaver&) = delete;
    RecordSaver& operator=(const RecordSaver&) = delete;

    // Returns at once; the record is written later, in the order of the calls.
    void save(std::string path, std::string text);
    // The same, and the record goes into the journal with `fields` (its file
    // and outcome filled in by the writer).
    void save(std::string path, std::string text, JournalRecord fields);

    // The outcome of the latest record settled since the last call, if any.
    std::optional<RecordWriteResult> takeLatest();
    // The journal's status when it changed since the last call.
    std::optional<JournalStatus> takeJournalStatus();

    // Writes the journal's records `ids` that are still not written again, in
    // `format` ("csv" or "xml"), into the file at `path`, through the disk
    // writer, and stores their new outcome in the journal. Returns at once.
    void writeAgain(std::vector<std::int64_t> ids, std::string path, std::string format);
    // The outcome of the latest write again finished since the last call.
    std::optional<WriteAgainOutcome> takeWriteAgain();

    // No `settled` call starts after this returns; records already handed
    // over are still written. Idempotent.
    void detach();

  private:
    struct Shared;
    DiskWriter& writer_;
    std::shared_ptr<Shared> shared_;
};
