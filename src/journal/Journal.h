#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "journal/JournalFilter.h"
#include "journal/JournalRecord.h"

struct sqlite3;
class SqlStatement;

// How a connection uses the journal.
enum class JournalAccess {
    // Appends and changes records: creates the journal when missing, keeps a
    // damaged one aside, waits up to 10 s for another panel's transaction.
    Write,
    // Reads only, for a thread that must not wait (the records window):
    // never creates, repairs or checkpoints anything, gives up after 100 ms.
    Read,
};

// The record journal: every counting record the panel received, in one SQLite
// database (write-ahead log, synchronous=FULL: a committed transaction is on
// disk). One Journal object is one connection, used by one thread at a time;
// every thread that needs the journal opens its own, and two panels of one
// user share the file. Texts are kept as received, byte for byte.
class Journal {
  public:
    // Opens or creates the journal (folder 0700, file 0600, WAL, synchronous=FULL).
    // A file that is not a journal database is kept aside as
    // <path>.corrupt-<time> and a new one started. Returns nullptr with *error set
    // when it cannot be opened at all.
    static std::unique_ptr<Journal> open(const std::string& path, std::string* error);
    static std::unique_ptr<Journal> open(const std::string& path, JournalAccess access,
                                         std::string* error);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    const std::string& path() const { return path_; }

    // A statement found the database damaged (not a database, or corrupt).
    // The connection is of no more use: close it and keep the file aside.
    bool damaged() const;
    // Moves the journal at `path` aside as a damaged one ("<path>.corrupt-<time>",
    // traced), so that the next open starts a new one. For a connection that
    // found it damaged, once closed.
    static bool keepAside(const std::string& path, std::string* error);

    // One transaction for the whole batch; sets each record's id. False + error on failure.
    bool append(std::span<JournalRecord> records, std::string* error);
    // For the plant link: the oldest records not yet published, at most
    // `limit`, oldest first; nullopt when the journal could not be read.
    std::optional<std::vector<JournalRecord>> unpublished(std::size_t limit);
    // For the plant link: the records with ids above `afterId`, at most
    // `limit`, lowest id first, read in one go; nullopt when the journal could
    // not be read (never a part of them: a gap would pass records over).
    std::optional<std::vector<JournalRecord>> recordsAfter(std::int64_t afterId, std::size_t limit);
    std::int64_t unpublishedCount();
    bool markPublished(std::span<const std::int64_t> ids, std::string* error);

    // The records with these ids, in the order of the ids; missing ones are left out.
    std::vector<JournalRecord> records(std::span<const std::int64_t> ids);

    // Writes records again whose files did not take them. In one transaction,
    // which holds off other writers meanwhile: the records among `ids` still
    // not written are read, handed to `write`, which writes them and sets
    // their file, written and failure fields, and stored with that outcome.
    // Returns the records handed to `write` with their new outcome; false +
    // error when the journal could not be read or changed (then `write` may
    // have written files whose new outcome the journal does not hold).
    using WriteAgainCall = std::function<void(std::vector<JournalRecord>& records)>;
    bool writeAgain(std::span<const std::int64_t> ids, const WriteAgainCall& write,
                    std::vector<JournalRecord>& rewritten, std::string* error);

    // For the records window; records run newest first (highest id first).
    // The records the filter takes with ids above `afterId`.
    JournalSpan span(const JournalFilter& filter, std::int64_t afterId = 0);
    // Up to `limit` records the filter takes, after skipping `skip` of them:
    // with ids from `lowestId` up to below `belowId`, highest first; or with
    // ids above `aboveId` up to `highestId`, lowest first. The bounds come
    // from span() and keep a page of an old day from reading newer ones.
    std::vector<JournalRecord> pageBelow(const JournalFilter& filter, std::int64_t lowestId,
                                         std::int64_t belowId, std::size_t skip, std::size_t limit);
    std::vector<JournalRecord> pageAbove(const JournalFilter& filter, std::int64_t aboveId,
                                         std::int64_t highestId, std::size_t skip,
                                         std::size_t limit);
    // Of the records the filter takes with ids above `afterId`.
    JournalTotals totals(const JournalFilter& filter, std::int64_t afterId = 0);
    // Newest day first.
    std::vector<DayTotals> dayTotals(const JournalFilter& filter, std::int64_t afterId = 0);
    // span(), totals() and dayTotals() at once, in one pass over the records
    // where one is needed (a slot text, or only the newer records); else
    // from the day table and the day index.
    JournalSummary summary(const JournalFilter& filter, std::int64_t afterId = 0);
    // Every record the filter takes, newest first, one at a time; stops when
    // `each` returns false. False + error when the journal could not be read
    // to the end.
    bool forEach(const JournalFilter& filter, const std::function<bool(const JournalRecord&)>& each,
                 std::string* error);
    // The ids of the records the filter takes whose files did not take them,
    // newest first, at most `limit`.
    std::vector<std::int64_t> notWrittenIds(const JournalFilter& filter, std::size_t limit);
    // Grows whenever a record's outcome changes (write again), in any
    // connection: a reader holding records compares it to know when to read
    // them again.
    std::int64_t outcomeChanges();
    // The highest id in the journal; 0 when empty.
    std::int64_t newestId();

    // Reads from here to endRead() see one state of the journal, whatever
    // other connections commit meanwhile.
    bool beginRead();
    void endRead();

  private:
    Journal(sqlite3* db, std::string path);
    // The statement for `sql`, prepared once per connection; reset for use.
    SqlStatement& statement(const std::string& sql);
    bool execute(const char* sql, std::string* error);
    // The connection's last error; notes whether it found the file damaged.
    std::string lastError();
    void noteError(std::string* error);
    std::vector<JournalRecord> readRecords(SqlStatement& query);
    // Every row or nothing: nullopt (the error noted) when a step fails.
    std::optional<std::vector<JournalRecord>> readAllRecords(SqlStatement& query);
    std::vector<JournalRecord> page(const std::string& sql, const JournalFilter& filter,
                                    std::int64_t low, std::int64_t high, std::size_t skip,
                                    std::size_t limit);

    sqlite3* db_;
    std::string path_;
    bool damaged_ = false;
    std::unordered_map<std::string, std::unique_ptr<SqlStatement>> statements_;
};

// The default place: $XDG_DATA_HOME/Tolvane/records.sqlite (~/.local/share/Tolvane/records.sqlite
// when unset)
std::string defaultJournalPath();
