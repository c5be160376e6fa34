#include "journal/Journal.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <fstream>
#include <thread>
#include <vector>

#include "journal/JournalFixture.h"
#include "support/ScopedEnv.h"
#include "support/SizeLimit.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

std::vector<fs::path> filesStartingWith(const fs::path& folder, const std::string& prefix) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with(prefix)) {
            found.push_back(entry.path());
        }
    }
    return found;
}

// A journal of `count` records, all of it in the database file (none left in
// the write-ahead log).
void journalWithRecords(const fs::path& path, int count) {
    {
        auto journal = openJournal(path);
        std::vector<JournalRecord> many;
        for (int i = 0; i < count; ++i) {
            many.push_back(sampleRecord(kDayStartMs + i, i, std::string(100, 'q')));
        }
        ASSERT_TRUE(journal->append(many, nullptr));
    }
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

class JournalTest : public testing::Test {
  protected:
    TempDir dir_;
    fs::path path_ = dir_ / "data/Tolvane/records.sqlite";
};

// Every field comes back as it went in, bytes that are not UTF-8 included,
// from a new connection; ids count up from 1 in the order of the batch.
TEST_F(JournalTest, KeepsRowsAsReceived) {
    std::vector<JournalRecord> batch = {
        sampleRecord(kDayStartMs + 1, 12, "a,b", "", "c\"d"),
        sampleRecord(kDayStartMs + 2, -7, "\xff\xfe bytes", "=1+2", std::string(511, 'x')),
        sampleRecord(kDayStartMs + 3, std::numeric_limits<std::int32_t>::min(), "", "", ""),
    };
    batch[1].utcOffsetSeconds = -5 * 3600;
    batch[1].link = "COM7";
    batch[1].written = false;
    batch[1].failure = "open: No such file or directory";
    batch[2].machineTime = "";
    {
        auto journal = openJournal(path_);
        ASSERT_NE(journal, nullptr);
        std::string error;
        ASSERT_TRUE(journal->append(batch, &error)) << error;
    }
    EXPECT_EQ(batch[0].id, 1);
    EXPECT_EQ(batch[1].id, 2);
    EXPECT_EQ(batch[2].id, 3);

    auto reader = openJournal(path_, JournalAccess::Read);
    ASSERT_NE(reader, nullptr);
    const std::vector<std::int64_t> ids = {3, 1, 2, 99};
    const std::vector<JournalRecord> back = reader->records(ids);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0], batch[2]);
    EXPECT_EQ(back[1], batch[0]);
    EXPECT_EQ(back[2], batch[1]);
    EXPECT_EQ(reader->newestId(), 3);
}

// The folder is made private, the database and its companions too.
TEST_F(JournalTest, FolderAndFilesArePrivate) {
    auto journal = openJournal(path_);
    ASSERT_NE(journal, nullptr);
    std::vector<JournalRecord> one = {sampleRecord(kDayStartMs, 1)};
    ASSERT_TRUE(journal->append(one, nullptr));
    EXPECT_EQ(modeOf(path_.parent_path()), 0700u);
    EXPECT_EQ(modeOf(path_.parent_path().parent_path()), 0700u);
    for (const char* companion : {"", "-wal", "-shm"}) {
        EXPECT_EQ(modeOf(path_.string() + companion), 0600u) << companion;
    }
    journal.reset();

    // A journal left readable by others (copied in by hand) is closed up again.
    ::chmod(path_.c_str(), 0644);
    ::chmod(path_.parent_path().c_str(), 0755);
    ASSERT_NE(openJournal(path_), nullptr);
    EXPECT_EQ(modeOf(path_), 0600u);
    EXPECT_EQ(modeOf(path_.parent_path()), 0700u);
}

TEST(JournalPath, FollowsXdgDataHome) {
    const ScopedEnv home("HOME", "/home/op");
    ScopedEnv data("XDG_DATA_HOME");
    struct Case {
        const char* value;
        const char* expected;
    };
    for (const Case& c : {Case{"/srv/data", "/srv/data/Tolvane/records.sqlite"},
                          Case{"relative/data", "/home/op/.local/share/Tolvane/records.sqlite"},
                          Case{"", "/home/op/.local/share/Tolvane/records.sqlite"},
                          Case{nullptr, "/home/op/.local/share/Tolvane/records.sqlite"}}) {
        data.set(c.value);
        EXPECT_EQ(defaultJournalPath(), c.expected) << (c.value ? c.value : "unset");
    }
}

// What is found where the journal should be, and is not one: kept aside
// under its own bytes, traced, and a new journal takes records.
TEST_F(JournalTest, AFileThatIsNotAJournalIsKeptAsideAndANewOneStarted) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
    };
    const Case cases[] = {
        {"text", [](const fs::path& p) { writeFile(p, "this is not a database\n"s); }},
        {"zeros", [](const fs::path& p) { writeFile(p, std::string(8192, '\0')); }},
        {"damaged header",
         [](const fs::path& p) {
             journalWithRecords(p, 10);
             std::string bytes = readFile(p);
             bytes.replace(0, 16, "SQLite format 2\0"s);
             writeFile(p, bytes);
         }},
        {"another program's database",
         [](const fs::path& p) {
             sqlite3* db = nullptr;
             sqlite3_open(p.c_str(), &db);
             sqlite3_exec(db, "CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('mine')",
                          nullptr, nullptr, nullptr);
             sqlite3_close(db);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path path = dir / "records.sqlite";
        c.make(path);
        const std::string before = readFile(path);

        testing::internal::CaptureStdout();
        auto journal = openJournal(path);
        const std::string trace = testing::internal::GetCapturedStdout();
        ASSERT_NE(journal, nullptr);
        std::vector<JournalRecord> one = {sampleRecord(kDayStartMs, 5)};
        ASSERT_TRUE(journal->append(one, nullptr));
        EXPECT_EQ(one[0].id, 1);

        const std::vector<fs::path> aside =
            filesStartingWith(dir.path(), "records.sqlite.corrupt-");
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(readFile(aside[0]), before);
        EXPECT_NE(trace.find("D:[Journal::open,1]"), std::string::npos) << trace;
        EXPECT_NE(trace.find("kept aside as " + aside[0].string()), std::string::npos) << trace;
    }
}

// An empty file is an empty journal, not a damaged one.
TEST_F(JournalTest, AnEmptyFileBecomesTheJournal) {
    fs::create_directories(path_.parent_path());
    writeFile(path_, "");
    ASSERT_NE(openJournal(path_), nullptr);
    EXPECT_TRUE(filesStartingWith(path_.parent_path(), "records.sqlite.corrupt-").empty());
}

// Damage found only on the way (every page but the first overwritten) makes
// the connection say so; keeping the file aside lets the next open start a
// new journal.
TEST_F(JournalTest, DamageFoundWhileWritingIsToldAndKeptAside) {
    journalWithRecords(path_, 2000);
    std::string bytes = readFile(path_);
    ASSERT_GT(bytes.size(), 8192u);
    std::fill(bytes.begin() + 4096, bytes.end(), '\x5a');
    writeFile(path_, bytes);

    auto journal = openJournal(path_);
    ASSERT_NE(journal, nullptr) << "the first page still reads";
    std::vector<JournalRecord> more(300, sampleRecord(kDayStartMs + kDayMs, 1));
    std::string error;
    EXPECT_FALSE(journal->append(more, &error));
    EXPECT_TRUE(journal->damaged()) << error;
    for (const JournalRecord& r : more) {
        EXPECT_EQ(r.id, 0) << "no id for a record that was not committed";
    }
    journal.reset();

    testing::internal::CaptureStdout();
    EXPECT_TRUE(Journal::keepAside(path_.string(), &error)) << error;
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_NE(
        trace.find("D:[Journal::open,1]journal " + path_.string() + " is damaged: kept aside"),
        std::string::npos)
        << trace;
    journal = openJournal(path_);
    ASSERT_NE(journal, nullptr);
    ASSERT_TRUE(journal->append(more, &error)) << error;
    EXPECT_EQ(more.front().id, 1);
}

// A journal that may not be written is told as such at open, by a writer;
// it is still read by a reader.
TEST_F(JournalTest, AReadOnlyJournalCannotBeOpenedForWritingButIsRead) {
    {
        auto journal = openJournal(path_);
        std::vector<JournalRecord> two = {sampleRecord(kDayStartMs, 1),
                                          sampleRecord(kDayStartMs, 2)};
        ASSERT_TRUE(journal->append(two, nullptr));
    }
    const std::string told = asUnprivilegedUser(dir_.path(), [&] {
        ::chmod(path_.c_str(), 0400);
        ::chmod((path_.string() + "-wal").c_str(), 0400);
        std::string error;
        std::string out;
        if (Journal::open(path_.string(), JournalAccess::Write, &error) != nullptr) {
            out += "opened for writing; ";
        }
        out += error + "; ";
        const auto reader = Journal::open(path_.string(), JournalAccess::Read, &error);
        out += reader ? "read " + std::to_string(reader->span({}).records) : "not read: " + error;
        return out;
    });
    EXPECT_EQ(told, "cannot write the journal " + path_.string() + ": it is read-only; read 2");
}

// A full disk (here: a file size limit) fails the batch whole, with a
// reason, and leaves the connection ready for the next one.
TEST_F(JournalTest, AFullDiskFailsTheBatchWholeAndTheNextOneGoesIn) {
    const std::string told = underFileSizeLimit(256 * 1024, [&] {
        std::string out;
        auto journal = Journal::open(path_.string(), nullptr);
        if (!journal) {
            return std::string("not opened");
        }
        std::vector<JournalRecord> big(2000, sampleRecord(kDayStartMs, 3, std::string(400, 'b')));
        std::string error;
        out += journal->append(big, &error) ? "big batch committed; "
                                            : "big batch failed: " + error + "; ";
        std::vector<JournalRecord> small = {sampleRecord(kDayStartMs, 4)};
        out += journal->append(small, &error) ? "small batch id " + std::to_string(small[0].id)
                                              : "small batch failed: " + error;
        out += "; records " + std::to_string(journal->span({}).records);
        return out;
    });
    EXPECT_EQ(told.substr(0, 18), "big batch failed: ") << told;
    EXPECT_NE(told.find("small batch id 1; records 1"), std::string::npos) << told;
}

// Two connections (as two panels would) append at the same time: none fails
// for a busy database, and every record is there once.
TEST_F(JournalTest, TwoWritersShareTheJournal) {
    ASSERT_NE(openJournal(path_), nullptr);
    constexpr int kBatches = 200;
    std::vector<std::string> errors(2);
    std::vector<std::thread> panels;
    for (int panel = 0; panel < 2; ++panel) {
        panels.emplace_back([&, panel] {
            std::string error;
            auto journal = Journal::open(path_.string(), &error);
            for (int b = 0; journal && b < kBatches && error.empty(); ++b) {
                std::vector<JournalRecord> batch(1 + b % 3,
                                                 sampleRecord(kDayStartMs, panel * 100'000 + b));
                journal->append(batch, &error);
            }
            errors[static_cast<std::size_t>(panel)] = journal ? error : "not opened: " + error;
        });
    }
    for (std::thread& t : panels) {
        t.join();
    }
    EXPECT_EQ(errors[0], "");
    EXPECT_EQ(errors[1], "");
    auto reader = openJournal(path_, JournalAccess::Read);
    const JournalSpan span = reader->span({});
    // 1 + b % 3 records per batch: 200 batches give 399 records per panel.
    EXPECT_EQ(span, (JournalSpan{2 * 399, 1, 2 * 399}));
}

// The plant link's view: unpublished records oldest first, until marked; and
// on by id, published ones included.
TEST_F(JournalTest, UnpublishedRecordsOldestFirstUntilMarked) {
    auto journal = openJournal(path_);
    std::vector<JournalRecord> batch;
    for (int i = 0; i < 5; ++i) {
        batch.push_back(sampleRecord(kDayStartMs + i, i));
    }
    ASSERT_TRUE(journal->append(batch, nullptr));
    EXPECT_EQ(journal->unpublishedCount(), 5);
    const auto ids = [](const std::optional<std::vector<JournalRecord>>& records) {
        std::vector<std::int64_t> taken;
        for (const JournalRecord& r : records.value()) {
            taken.push_back(r.id);
        }
        return taken;
    };
    EXPECT_EQ(ids(journal->unpublished(2)), (std::vector<std::int64_t>{1, 2}));
    const std::vector<std::int64_t> done = {1, 2, 4};
    ASSERT_TRUE(journal->markPublished(done, nullptr));
    EXPECT_EQ(journal->unpublishedCount(), 2);
    EXPECT_EQ(ids(journal->unpublished(10)), (std::vector<std::int64_t>{3, 5}));
    EXPECT_EQ(ids(journal->recordsAfter(2, 2)), (std::vector<std::int64_t>{3, 4}));
    EXPECT_TRUE(journal->recordsAfter(3, 1).value().front().published);
    EXPECT_EQ(ids(journal->recordsAfter(5, 10)), std::vector<std::int64_t>{});
    EXPECT_EQ(journal->outcomeChanges(), 0) << "publishing is no outcome change";
}

// Write again hands over only the records still not written, stores what
// the call made of them, and counts the change for readers.
TEST_F(JournalTest, WriteAgainStoresTheNewOutcomes) {
    auto journal = openJournal(path_);
    std::vector<JournalRecord> batch = {sampleRecord(kDayStartMs, 1), sampleRecord(kDayStartMs, 2),
                                        sampleRecord(kDayStartMs, 3)};
    batch[0].written = false;
    batch[0].failure = "open: No such file or directory";
    batch[2].written = false;
    batch[2].failure = "write: No space left on device";
    ASSERT_TRUE(journal->append(batch, nullptr));

    std::vector<std::int64_t> handed;
    std::vector<JournalRecord> rewritten;
    std::string error;
    const std::vector<std::int64_t> ids = {1, 2, 3};
    ASSERT_TRUE(journal->writeAgain(
        ids,
        [&](std::vector<JournalRecord>& records) {
            for (JournalRecord& r : records) {
                handed.push_back(r.id);
                r.file = "/new/kav.csv";
                r.written = r.id == 1;
                r.failure = r.id == 1 ? "" : "still full";
            }
        },
        rewritten, &error))
        << error;
    EXPECT_EQ(handed, (std::vector<std::int64_t>{1, 3}));
    EXPECT_EQ(rewritten.size(), 2u);
    EXPECT_EQ(journal->outcomeChanges(), 2);

    auto reader = openJournal(path_, JournalAccess::Read);
    const std::vector<JournalRecord> now = reader->records(ids);
    ASSERT_EQ(now.size(), 3u);
    EXPECT_TRUE(now[0].written);
    EXPECT_EQ(now[0].file, "/new/kav.csv");
    EXPECT_EQ(now[0].failure, "");
    EXPECT_EQ(now[1], batch[1]) << "a written record is left alone";
    EXPECT_FALSE(now[2].written);
    EXPECT_EQ(now[2].failure, "still full");
}

// Records deleted by hand (sqlite3) leave the day totals agreeing with them.
TEST_F(JournalTest, PruningByHandKeepsTheDayTotals) {
    auto journal = openJournal(path_);
    std::vector<JournalRecord> batch = {sampleRecord(kDayStartMs, 5), sampleRecord(kDayStartMs, 7),
                                        sampleRecord(kDayStartMs + kDayMs, 11)};
    ASSERT_TRUE(journal->append(batch, nullptr));
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db, "DELETE FROM records WHERE id IN (1, 3)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(journal->dayTotals({}), (std::vector<DayTotals>{{"2026-12-10", {1, 7}}}));
    EXPECT_EQ(journal->totals({}), journal->totals({"", "", "R"}));
}

// A reader that finds no journal yet says so and creates nothing.
TEST_F(JournalTest, AReaderCreatesNothing) {
    std::string error;
    EXPECT_EQ(Journal::open(path_.string(), JournalAccess::Read, &error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(path_));
}

}  // namespace
