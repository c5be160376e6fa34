#include "inbound/RecordSaver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "storage/DiskWriter.h"
#include "support/SyncGate.h"

namespace {

using namespace std::chrono_literals;

class RecordSaverTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "saver_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string contentOf(const std::string& name) const {
        std::ifstream in(folder_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path folder_;
};

// Nothing is reported while the record's sync has not returned; once it has,
// the window is told once and finds the record written.
TEST_F(RecordSaverTest, ARecordIsReportedWrittenOnlyAfterItsSyncReturned) {
    SyncGate gate;
    DiskWriter writer(gate.call());
    std::atomic<int> told{0};
    RecordSaver saver(writer, [&] { ++told; });
    const std::string path = (folder_ / "kav.csv").string();
    saver.save(path, "time=A,data=1");
    ASSERT_TRUE(gate.waitArrived(1));
    EXPECT_EQ(contentOf("kav.csv"), "time=A,data=1") << "written, not yet synced";
    EXPECT_FALSE(saver.takeLatest().has_value());
    EXPECT_EQ(told, 0);

    gate.open();
    ASSERT_TRUE(writer.drain(10s));
    EXPECT_EQ(told, 1);
    const std::optional<RecordWriteResult> outcome = saver.takeLatest();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->written);
    EXPECT_FALSE(saver.takeLatest().has_value()) << "taken once";
}

// Outcomes waiting to be taken are told once; the latest one wins. After
// detach() nothing is told, but records handed over are still written.
TEST_F(RecordSaverTest, TellsOncePerWaitingOutcomeAndNothingAfterDetach) {
    DiskWriter writer;
    std::atomic<int> told{0};
    RecordSaver saver(writer, [&] { ++told; });
    const std::string gone = (folder_ / "gone" / "b.csv").string();
    testing::internal::CaptureStdout();
    saver.save((folder_ / "a.csv").string(), "1");
    saver.save(gone, "2");
    ASSERT_TRUE(writer.drain(10s));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "D:[CTolvaneAppDlg::tmSaveRecord,1154]record not written to " + gone +
                  ": open: No such file or directory\r\n");
    EXPECT_EQ(told, 1);
    const std::optional<RecordWriteResult> latest = saver.takeLatest();
    ASSERT_TRUE(latest.has_value());
    EXPECT_FALSE(latest->written);

    saver.detach();
    saver.save((folder_ / "a.csv").string(), "3");
    ASSERT_TRUE(writer.drain(10s));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(contentOf("a.csv"), "13");
}

}  // namespace
