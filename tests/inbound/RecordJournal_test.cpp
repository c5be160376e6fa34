// The record saver with a journal: every record in its file and in the
// journal, the journal's trouble never in a record file's way.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

#include "inbound/FrameParser.h"
#include "inbound/JournalRow.h"
#include "inbound/RecordSaver.h"
#include "journal/Journal.h"
#include "storage/DiskWriter.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

JournalRecord fieldsOf(int count, const std::string& s0) {
    DeviceReport report;
    report.state.data = count;
    report.isRecord = true;
    report.time = "2026-12-10 08:03:04";
    report.slots = {s0, "", "lot 7"};
    return journalRowOf(report, "COM7", std::chrono::system_clock::time_point(1'796'860'800'123ms));
}

class RecordJournalTest : public testing::Test {
  protected:
    std::vector<JournalRecord> journalRows() {
        std::string error;
        const auto reader = Journal::open(journal_.string(), JournalAccess::Read, &error);
        if (!reader) {
            ADD_FAILURE() << error;
            return {};
        }
        std::vector<JournalRecord> rows;
        reader->forEach(
            {},
            [&](const JournalRecord& r) {
                rows.insert(rows.begin(), r);
                return true;
            },
            &error);
        return rows;
    }

    TempDir dir_;
    fs::path journal_ = dir_ / "journal/records.sqlite";
    std::string file_ = (dir_ / "kav.csv").string();
};

// When the window is told a record's outcome, its row is committed: a new
// connection finds it with the fields handed over, its file and outcome.
TEST_F(RecordJournalTest, ARecordIsInTheJournalWhenItsOutcomeIsTold) {
    DiskWriter writer;
    std::atomic<int> told{0};
    RecordSaver saver(
        writer, [&] { ++told; }, journal_.string());
    const std::string gone = (dir_ / "gone/kav.csv").string();
    testing::internal::CaptureStdout();
    saver.save(file_, "time=T,data=5", fieldsOf(5, "R1"));
    saver.save(gone, "time=T,data=6", fieldsOf(-6, "R2"));
    saver.save(file_, "time=T,data=7", fieldsOf(7, "R3"));
    ASSERT_TRUE(writer.drain(10s));
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(saver.takeLatest().has_value());
    EXPECT_FALSE(saver.takeJournalStatus().has_value()) << "kept all along: nothing to tell";

    const std::vector<JournalRecord> rows = journalRows();
    ASSERT_EQ(rows.size(), 3u);
    JournalRecord expected = fieldsOf(5, "R1");
    expected.id = 1;
    expected.file = file_;
    expected.written = true;
    EXPECT_EQ(rows[0], expected);
    EXPECT_EQ(rows[0].arrivedUtcMs, 1'796'860'800'123);
    EXPECT_EQ(rows[0].link, "COM7");
    EXPECT_EQ(rows[1].count, -6);
    EXPECT_EQ(rows[1].file, gone);
    EXPECT_FALSE(rows[1].written);
    EXPECT_EQ(rows[1].failure, "open: No such file or directory");
    EXPECT_EQ(rows[2].slots[0], "R3");
    EXPECT_TRUE(rows[2].written);
}

// A record whose file did not take it is written again into the file given,
// in the format given, and the journal holds the new outcome; records
// already written are left alone.
TEST_F(RecordJournalTest, WriteAgainPutsNotWrittenRecordsIntoTheGivenFile) {
    DiskWriter writer;
    RecordSaver saver(
        writer, [] {}, journal_.string());
    const std::string gone = (dir_ / "gone/kav.csv").string();
    testing::internal::CaptureStdout();
    saver.save(gone, "x", fieldsOf(1, "A"));
    saver.save(file_, "time=2026-12-10 08:03:04,data=2,S0=B,S2=lot 7", fieldsOf(2, "B"));
    saver.save(gone, "x", fieldsOf(-3, "C"));
    ASSERT_TRUE(writer.drain(10s));
    testing::internal::GetCapturedStdout();

    const std::string again = (dir_ / "again.xml").string();
    saver.writeAgain({1, 2, 3}, again, "xml");
    ASSERT_TRUE(writer.drain(10s));
    const std::optional<WriteAgainOutcome> outcome = saver.takeWriteAgain();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->written, 2u);
    EXPECT_EQ(outcome->failed, 0u);
    EXPECT_EQ(readFile(again),
              "<time>2026-12-10 08:03:04</time>\r\n<data>1</data>\r\n<S0>A</S0>\r\n<S2>lot "
              "7</S2>\r\n"
              "<time>2026-12-10 08:03:04</time>\r\n<data>3</data>\r\n<S0>C</S0>\r\n<S2>lot "
              "7</S2>\r\n");

    const std::vector<JournalRecord> rows = journalRows();
    ASSERT_EQ(rows.size(), 3u);
    for (const std::size_t i : {0u, 2u}) {
        EXPECT_TRUE(rows[i].written);
        EXPECT_EQ(rows[i].file, again);
        EXPECT_EQ(rows[i].failure, "");
    }
    EXPECT_EQ(rows[1].file, file_);

    // Once written, a record is not written twice.
    const std::string once = readFile(again);
    saver.writeAgain({1, 3}, again, "xml");
    ASSERT_TRUE(writer.drain(10s));
    EXPECT_EQ(saver.takeWriteAgain()->written, 0u);
    EXPECT_EQ(readFile(again), once);
}

// A write again whose file fails keeps the records not written, with the
// new reason, and says so.
TEST_F(RecordJournalTest, AFailedWriteAgainStoresItsReason) {
    DiskWriter writer;
    RecordSaver saver(
        writer, [] {}, journal_.string());
    testing::internal::CaptureStdout();
    saver.save((dir_ / "gone/a.csv").string(), "x", fieldsOf(1, "A"));
    ASSERT_TRUE(writer.drain(10s));
    saver.writeAgain({1}, (dir_ / "still-gone/b.csv").string(), "csv");
    ASSERT_TRUE(writer.drain(10s));
    const std::string trace = testing::internal::GetCapturedStdout();
    const std::optional<WriteAgainOutcome> outcome = saver.takeWriteAgain();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->written, 0u);
    EXPECT_EQ(outcome->failed, 1u);
    EXPECT_EQ(outcome->reason, "open: No such file or directory");
    EXPECT_NE(trace.find("record not written to " + (dir_ / "still-gone/b.csv").string()),
              std::string::npos);
    const std::vector<JournalRecord> rows = journalRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_FALSE(rows[0].written);
    EXPECT_EQ(rows[0].file, (dir_ / "still-gone/b.csv").string());
}

// A journal that cannot be made (its folder is a file) never holds up a
// record file; the window is told once why, with the records waiting; once
// it can be made, the waiting records go in first, in order.
TEST_F(RecordJournalTest, AJournalThatCannotBeWrittenNeverHoldsUpTheRecordFiles) {
    writeFile(journal_.parent_path(), "in the way");
    DiskWriter writer;
    std::atomic<int> told{0};
    RecordSaver saver(
        writer, [&] { ++told; }, journal_.string());
    testing::internal::CaptureStdout();
    saver.save(file_, "1,", fieldsOf(1, "A"));
    ASSERT_TRUE(writer.drain(10s));
    saver.save(file_, "2,", fieldsOf(2, "B"));
    ASSERT_TRUE(writer.drain(10s));
    const std::string trace = testing::internal::GetCapturedStdout();

    EXPECT_EQ(readFile(file_), "1,2,");
    const std::optional<RecordWriteResult> latest = saver.takeLatest();
    ASSERT_TRUE(latest.has_value());
    EXPECT_TRUE(latest->written);
    const std::optional<JournalStatus> status = saver.takeJournalStatus();
    ASSERT_TRUE(status.has_value());
    EXPECT_FALSE(status->kept);
    EXPECT_EQ(status->waiting, 2u);
    EXPECT_NE(status->reason.find("Not a directory"), std::string::npos) << status->reason;
    EXPECT_EQ(trace, "D:[RecordSaver::journal,1]journal not kept: " + status->reason + "\r\n")
        << "traced once, not per batch";

    fs::remove(journal_.parent_path());
    testing::internal::CaptureStdout();
    saver.save(file_, "3,", fieldsOf(3, "C"));
    ASSERT_TRUE(writer.drain(10s));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "D:[RecordSaver::journal,3]journal kept again\r\n");
    const std::optional<JournalStatus> back = saver.takeJournalStatus();
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, JournalStatus{});
    const std::vector<JournalRecord> rows = journalRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].slots[0], "A");
    EXPECT_EQ(rows[1].slots[0], "B");
    EXPECT_EQ(rows[2].slots[0], "C");
}

// Without a journal path the saver is what it was: nothing is made.
TEST_F(RecordJournalTest, WithoutAJournalNothingIsMade) {
    DiskWriter writer;
    RecordSaver saver(writer, [] {});
    saver.save(file_, "1,", fieldsOf(1, "A"));
    saver.writeAgain({1}, file_, "csv");
    ASSERT_TRUE(writer.drain(10s));
    EXPECT_EQ(readFile(file_), "1,");
    EXPECT_FALSE(saver.takeJournalStatus().has_value());
    EXPECT_FALSE(saver.takeWriteAgain().has_value());
    EXPECT_FALSE(fs::exists(journal_.parent_path()));
}

// The local offset is the computer's at the moment of arrival.
TEST(JournalRow, TakesTheLocalOffsetAtArrival) {
    const ScopedTimeZone berlin("Europe/Berlin");
    const auto winter = std::chrono::system_clock::time_point(1'796'860'800'000ms);  // December
    const auto summer = std::chrono::system_clock::time_point(1'781'000'000'000ms);  // June
    EXPECT_EQ(localUtcOffsetSeconds(winter), 3600);
    EXPECT_EQ(localUtcOffsetSeconds(summer), 7200);
}

}  // namespace
