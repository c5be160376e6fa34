#include "journal/Journal.h"

#include <sqlite3.h>

#include <cstdlib>
#include <utility>

#include "journal/JournalFiles.h"
#include "journal/JournalSchema.h"
#include "journal/LocalDay.h"
#include "journal/RecordRow.h"
#include "journal/SqlStatement.h"
#include "os/UserFolders.h"
#include "storage/FileSizeSignal.h"
#include "text/TraceSites.h"

namespace {

constexpr int kWriteBusyMs = 10'000;  // another panel's transaction is short; a full disk is slow
constexpr int kReadBusyMs = 100;      // the window's thread must not wait long

// What an open came to: a connection, or why none.
struct Opened {
    sqlite3* db = nullptr;
    bool damaged = false;  // not a journal database: to be kept aside
    std::string error;
};

std::string describe(sqlite3* db, const std::string& what) {
    return what + ": " + (db != nullptr ? sqlite3_errmsg(db) : "out of memory");
}

bool isDamage(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

// One value of a query that returns one, or nothing when it fails.
bool queryInteger(sqlite3* db, const char* sql, std::int64_t& value, int& code) {
    sqlite3_stmt* statement = nullptr;
    code = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    if (code == SQLITE_OK) {
        code = sqlite3_step(statement);
        if (code == SQLITE_ROW) {
            value = sqlite3_column_int64(statement, 0);
            code = SQLITE_OK;
        }
    }
    sqlite3_finalize(statement);
    return code == SQLITE_OK;
}

Opened fail(sqlite3* db, int code, const std::string& what) {
    Opened result;
    result.damaged = isDamage(code);
    result.error = describe(db, what);
    sqlite3_close_v2(db);
    return result;
}

// The settings of every connection: no checkpoint when it closes, so that
// closing never syncs on whatever thread lets it go (the log is taken into
// the database by the writer as it grows, and by the next open).
sqlite3* connect(const std::string& path, int flags, int busyMs, int& code) {
    sqlite3* db = nullptr;
    code = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (db != nullptr) {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, busyMs);
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    }
    return db;
}

Opened openForWriting(const std::string& path) {
    int code = SQLITE_OK;
    sqlite3* db = connect(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, kWriteBusyMs, code);
    if (code != SQLITE_OK) {
        return fail(db, code, "cannot open the journal " + path);
    }
    if (sqlite3_db_readonly(db, "main") == 1) {
        sqlite3_close_v2(db);
        return Opened{nullptr, false, "cannot write the journal " + path + ": it is read-only"};
    }
    // The first read of the file: a file that is not a database shows here.
    std::int64_t application = 0;
    std::int64_t version = 0;
    std::int64_t tables = 0;
    if (!queryInteger(db, "PRAGMA application_id", application, code) ||
        !queryInteger(db, "PRAGMA user_version", version, code) ||
        !queryInteger(db, "SELECT count(*) FROM sqlite_schema", tables, code)) {
        return fail(db, code, "cannot read the journal " + path);
    }
    if (application != journalschema::kApplicationId && (application != 0 || tables != 0)) {
        sqlite3_close_v2(db);
        return Opened{nullptr, true, path + " holds another program's database"};
    }
    if (version > journalschema::kVersion) {
        sqlite3_close_v2(db);
        return Opened{
            nullptr, false,
            path + " was made by a newer panel (version " + std::to_string(version) + ")"};
    }
    std::string setUp = "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL;";
    if (version == 0) {
        setUp += std::string("BEGIN IMMEDIATE;") + journalschema::kCreate +
                 "PRAGMA application_id = " + std::to_string(journalschema::kApplicationId) +
                 "; PRAGMA user_version = " + std::to_string(journalschema::kVersion) + "; COMMIT;";
    }
    code = sqlite3_exec(db, setUp.c_str(), nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        return fail(db, code, "cannot set up the journal " + path);
    }
    std::string mode;
    sqlite3_stmt* check = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &check, nullptr) == SQLITE_OK &&
        sqlite3_step(check) == SQLITE_ROW) {
        mode = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
    }
    sqlite3_finalize(check);
    if (mode != "wal") {
        sqlite3_close_v2(db);
        return Opened{nullptr, false,
                      "cannot keep the journal " + path + " in WAL mode (" + mode + ")"};
    }
    return Opened{db, false, {}};
}

Opened openForReading(const std::string& path) {
    int code = SQLITE_OK;
    sqlite3* db = connect(path, SQLITE_OPEN_READWRITE, kReadBusyMs, code);
    if (code != SQLITE_OK) {
        sqlite3_close_v2(db);
        db = connect(path, SQLITE_OPEN_READONLY, kReadBusyMs, code);
    }
    if (code != SQLITE_OK) {
        return fail(db, code, "cannot open the journal " + path);
    }
    std::int64_t version = 0;
    if (!queryInteger(db, "PRAGMA user_version", version, code)) {
        return fail(db, code, "cannot read the journal " + path);
    }
    if (version != journalschema::kVersion) {
        sqlite3_close_v2(db);
        return Opened{nullptr, false,
                      version == 0 ? "no journal yet at " + path
                                   : path + " is not a journal this panel reads"};
    }
    sqlite3_exec(db, "PRAGMA query_only = 1", nullptr, nullptr, nullptr);
    return Opened{db, false, {}};
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Under the folder's lock.
bool moveDamagedAside(const std::string& path, const std::string& why, std::string& error) {
    std::string aside;
    if (!journalfiles::moveAside(path, aside, error)) {
        trace<sites::journalNotKeptAside>(why.c_str(), error.c_str());
        error = why + "; " + error;
        return false;
    }
    trace<sites::journalKeptAside>(why.c_str(), aside.c_str());
    return true;
}

Opened openWriter(const std::string& path) {
    ignoreFileSizeSignal();  // a journal past the file size limit fails its writes, no more
    std::string error;
    const std::string folder = folderOf(path);
    if (!journalfiles::ensurePrivateFolder(folder, error)) {
        return Opened{nullptr, false, error};
    }
    const journalfiles::FolderLock lock(folder);
    if (!journalfiles::ensurePrivateFiles(path, error)) {
        return Opened{nullptr, false, error};
    }
    Opened opened = openForWriting(path);
    if (!opened.damaged) {
        return opened;
    }
    if (!moveDamagedAside(path, opened.error, error)) {
        return Opened{nullptr, false, error};
    }
    if (!journalfiles::ensurePrivateFiles(path, error)) {
        return Opened{nullptr, false, error};
    }
    opened = openForWriting(path);
    opened.damaged = false;  // twice is not to be kept aside again
    return opened;
}

}  // namespace

std::unique_ptr<Journal> Journal::open(const std::string& path, std::string* error) {
    return open(path, JournalAccess::Write, error);
}

std::unique_ptr<Journal> Journal::open(const std::string& path, JournalAccess access,
                                       std::string* error) {
    const Opened opened = access == JournalAccess::Write ? openWriter(path) : openForReading(path);
    if (opened.db == nullptr) {
        if (error != nullptr) {
            *error = opened.error;
        }
        return nullptr;
    }
    return std::unique_ptr<Journal>(new Journal(opened.db, path));
}

Journal::Journal(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}

bool Journal::damaged() const {
    return damaged_;
}

bool Journal::keepAside(const std::string& path, std::string* error) {
    const journalfiles::FolderLock lock(folderOf(path));
    std::string failure;
    if (!moveDamagedAside(path, "journal " + path + " is damaged", failure)) {
        if (error != nullptr) {
            *error = failure;
        }
        return false;
    }
    return true;
}

Journal::~Journal() {
    statements_.clear();  // finalized before their connection closes
    sqlite3_close_v2(db_);
}

SqlStatement& Journal::statement(const std::string& sql) {
    std::unique_ptr<SqlStatement>& slot = statements_[sql];
    if (!slot || !*slot) {
        slot = std::make_unique<SqlStatement>(db_, sql);
    } else {
        slot->reset();
    }
    return *slot;
}

bool Journal::execute(const char* sql, std::string* error) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) {
        return true;
    }
    noteError(error);
    return false;
}

std::string Journal::lastError() {
    damaged_ = damaged_ || isDamage(sqlite3_extended_errcode(db_));
    return describe(db_, "journal " + path_);
}

void Journal::noteError(std::string* error) {
    std::string text = lastError();
    if (error != nullptr) {
        *error = std::move(text);
    }
}

namespace {

// Ends a transaction that did not make it; the first error is the one told.
void rollBack(sqlite3* db) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace

std::vector<JournalRecord> Journal::readRecords(SqlStatement& query) {
    std::vector<JournalRecord> records;
    while (query.step() == SQLITE_ROW) {
        records.push_back(recordOfRow(query));
    }
    query.reset();  // ends the read
    return records;
}

std::optional<std::vector<JournalRecord>> Journal::readAllRecords(SqlStatement& query) {
    std::vector<JournalRecord> records;
    int code = SQLITE_ROW;
    while ((code = query.step()) == SQLITE_ROW) {
        records.push_back(recordOfRow(query));
    }
    const bool complete = code == SQLITE_DONE;
    if (!complete) {
        noteError(nullptr);
    }
    query.reset();
    return complete ? std::optional(std::move(records)) : std::nullopt;
}

bool Journal::append(std::span<JournalRecord> records, std::string* error) {
    if (records.empty()) {
        return true;
    }
    if (!execute("BEGIN IMMEDIATE", error)) {
        return false;
    }
    SqlStatement& insert = statement(
        "INSERT INTO records (arrived_utc_ms, utc_offset_s, local_day, machine_time, count, s0, "
        "s1, s2, link, file, written, failure, published) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)");
    const auto failed = [&] {
        noteError(error);
        rollBack(db_);
        for (JournalRecord& r : records) {
            r.id = 0;
        }
        return false;
    };
    if (!insert) {
        return failed();
    }
    for (JournalRecord& r : records) {
        insert.reset();
        insert.bind(1, r.arrivedUtcMs)
            .bind(2, std::int64_t{r.utcOffsetSeconds})
            .bind(3, localDayOf(r.arrivedUtcMs, r.utcOffsetSeconds))
            .bind(4, r.machineTime)
            .bind(5, std::int64_t{r.count})
            .bind(6, r.slots[0])
            .bind(7, r.slots[1])
            .bind(8, r.slots[2])
            .bind(9, r.link)
            .bind(10, r.file)
            .bind(11, std::int64_t{r.written ? 1 : 0})
            .bind(12, r.failure)
            .bind(13, std::int64_t{r.published ? 1 : 0});
        if (insert.step() != SQLITE_DONE) {
            return failed();
        }
        r.id = sqlite3_last_insert_rowid(db_);
    }
    insert.reset();
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return failed();
    }
    return true;
}

std::optional<std::vector<JournalRecord>> Journal::unpublished(std::size_t limit) {
    SqlStatement& query = statement(std::string("SELECT ") + kRecordColumns +
                                    " FROM records WHERE published = 0 ORDER BY id LIMIT ?1");
    query.bind(1, static_cast<std::int64_t>(limit));
    return readAllRecords(query);
}

std::optional<std::vector<JournalRecord>> Journal::recordsAfter(std::int64_t afterId,
                                                                std::size_t limit) {
    SqlStatement& query = statement(std::string("SELECT ") + kRecordColumns +
                                    " FROM records WHERE id > ?1 ORDER BY id LIMIT ?2");
    query.bind(1, afterId).bind(2, static_cast<std::int64_t>(limit));
    return readAllRecords(query);
}

std::int64_t Journal::unpublishedCount() {
    SqlStatement& query = statement("SELECT count(*) FROM records WHERE published = 0");
    const std::int64_t count = query.step() == SQLITE_ROW ? query.integer(0) : 0;
    query.reset();
    return count;
}

bool Journal::markPublished(std::span<const std::int64_t> ids, std::string* error) {
    if (ids.empty()) {
        return true;
    }
    if (!execute("BEGIN IMMEDIATE", error)) {
        return false;
    }
    SqlStatement& update = statement("UPDATE records SET published = 1 WHERE id = ?1");
    for (const std::int64_t id : ids) {
        update.reset();
        update.bind(1, id);
        if (update.step() != SQLITE_DONE) {
            noteError(error);
            rollBack(db_);
            return false;
        }
    }
    update.reset();
    if (!execute("COMMIT", error)) {
        rollBack(db_);
        return false;
    }
    return true;
}

std::vector<JournalRecord> Journal::records(std::span<const std::int64_t> ids) {
    SqlStatement& query =
        statement(std::string("SELECT ") + kRecordColumns + " FROM records WHERE id = ?1");
    std::vector<JournalRecord> found;
    for (const std::int64_t id : ids) {
        query.reset();
        query.bind(1, id);
        std::vector<JournalRecord> one = readRecords(query);
        if (!one.empty()) {
            found.push_back(std::move(one.front()));
        }
    }
    return found;
}

bool Journal::writeAgain(std::span<const std::int64_t> ids, const WriteAgainCall& write,
                         std::vector<JournalRecord>& rewritten, std::string* error) {
    rewritten.clear();
    if (!execute("BEGIN IMMEDIATE", error)) {
        return false;
    }
    SqlStatement& query = statement(std::string("SELECT ") + kRecordColumns +
                                    " FROM records WHERE id = ?1 AND written = 0");
    for (const std::int64_t id : ids) {
        query.reset();
        query.bind(1, id);
        std::vector<JournalRecord> one = readRecords(query);
        if (!one.empty()) {
            rewritten.push_back(std::move(one.front()));
        }
    }
    query.reset();
    if (!rewritten.empty()) {
        write(rewritten);
    }
    SqlStatement& update =
        statement("UPDATE records SET file = ?2, written = ?3, failure = ?4 WHERE id = ?1");
    for (const JournalRecord& r : rewritten) {
        update.reset();
        update.bind(1, r.id)
            .bind(2, r.file)
            .bind(3, std::int64_t{r.written ? 1 : 0})
            .bind(4, r.failure);
        if (update.step() != SQLITE_DONE) {
            noteError(error);
            rollBack(db_);
            return false;
        }
    }
    update.reset();
    if (!execute("COMMIT", error)) {
        rollBack(db_);
        return false;
    }
    return true;
}

std::string defaultJournalPath() {
    const char* data = std::getenv("XDG_DATA_HOME");
    // Relative values are invalid for XDG_DATA_HOME and are ignored.
    const std::filesystem::path base = data != nullptr && data[0] == '/'
                                           ? std::filesystem::path(data)
                                           : userHomeFolder() / ".local" / "share";
    return (base / "Tolvane" / "records.sqlite").string();
}
