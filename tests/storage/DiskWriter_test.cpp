#include "storage/DiskWriter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/SyncGate.h"

namespace {

using namespace std::chrono_literals;

// A job that syncs (so a SyncGate can hold it) and notes that it ran.
DiskWriter::Job noting(std::vector<int>& ran, int id) {
    return [&ran, id](const SyncCall& sync) {
        sync(-1, SyncKind::Data);
        ran.push_back(id);
    };
}

TEST(DiskWriter, RunsJobsInTheirOrderOnItsOwnThreadWithItsSync) {
    std::vector<int> ran;
    std::vector<SyncKind> kinds;
    std::thread::id jobThread;
    {
        DiskWriter writer([&](int, SyncKind kind) {
            kinds.push_back(kind);
            return 0;
        });
        for (int id = 0; id < 100; ++id) {
            writer.post("job " + std::to_string(id), noting(ran, id));
        }
        writer.post("last", [&](const SyncCall& sync) {
            sync(-1, SyncKind::Full);
            jobThread = std::this_thread::get_id();
        });
        ASSERT_TRUE(writer.drain(10s));
        ASSERT_EQ(ran.size(), 100u);
    }
    for (int id = 0; id < 100; ++id) {
        EXPECT_EQ(ran[static_cast<std::size_t>(id)], id);
    }
    EXPECT_NE(jobThread, std::this_thread::get_id());
    EXPECT_EQ(kinds.size(), 101u);
    EXPECT_EQ(kinds.back(), SyncKind::Full);
}

// The one who hands a job over never waits for the disk: while the writer is
// held in a sync, posting goes on and draining gives up at its limit.
TEST(DiskWriter, PostingNeverWaitsForABlockedWriter) {
    SyncGate gate;
    std::vector<int> ran;
    DiskWriter writer(gate.call());
    writer.post("first", noting(ran, 0));
    ASSERT_TRUE(gate.waitArrived(1));
    for (int id = 1; id <= 1000; ++id) {
        writer.post("more", noting(ran, id));
    }
    EXPECT_FALSE(writer.drain(20ms));
    EXPECT_EQ(gate.arrived(), 1);
    gate.open();
    EXPECT_TRUE(writer.drain(10s));
    EXPECT_EQ(ran.size(), 1001u);
}

TEST(DiskWriter, EndingRunsWhatIsStillQueued) {
    std::atomic<int> ran{0};
    SyncGate gate;
    {
        DiskWriter writer(gate.call());
        for (int id = 0; id < 50; ++id) {
            writer.post("job", [&](const SyncCall& sync) {
                sync(-1, SyncKind::Data);
                ++ran;
            });
        }
        ASSERT_TRUE(gate.waitArrived(1));
        gate.open();
    }
    EXPECT_EQ(ran, 50);
}

// Closing the program with a disk that does not answer: after the limit, the
// job in the disk and those behind it are traced as not written, dropped, and
// never run afterwards; the writer still ends once the disk answers.
TEST(DiskWriter, FinishTracesWhatTheDiskDidNotTakeInTime) {
    SyncGate gate;
    std::vector<int> ran;
    DiskWriter writer(gate.call());
    writer.post("record to /r/a.csv", noting(ran, 1));
    writer.post("settings file /c/TolvaneApp.json", noting(ran, 2));
    ASSERT_TRUE(gate.waitArrived(1));

    testing::internal::CaptureStdout();
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(finishDiskWrites(writer, 50ms));
    const auto waited = std::chrono::steady_clock::now() - before;
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_GE(waited, 50ms);
    EXPECT_EQ(trace,
              "D:[DiskWriter::finish,1]record to /r/a.csv not written: the disk did not answer "
              "in 50 ms\r\n"
              "D:[DiskWriter::finish,1]settings file /c/TolvaneApp.json not written: the disk did "
              "not answer in 50 ms\r\n");

    writer.post("after the end", noting(ran, 3));
    gate.open();
    EXPECT_TRUE(writer.drain(10s));
    EXPECT_THAT(ran, testing::ElementsAre(1));
}

TEST(DiskWriter, FinishWithEverythingWrittenTracesNothing) {
    std::vector<int> ran;
    DiskWriter writer;
    writer.post("one", [&](const SyncCall&) { ran.push_back(1); });
    testing::internal::CaptureStdout();
    EXPECT_TRUE(finishDiskWrites(writer, 10s));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_THAT(ran, testing::ElementsAre(1));
}

// Waking the writer must not take the processor from the window's thread:
// the writer is a batch thread, which waits its turn.
TEST(DiskWriter, RunsAsABatchThread) {
    int policy = -1;
    DiskWriter writer;
    writer.post("look", [&](const SyncCall&) {
        sched_param param{};
        pthread_getschedparam(pthread_self(), &policy, &param);
    });
    ASSERT_TRUE(writer.drain(10s));
    EXPECT_EQ(policy, SCHED_BATCH);
}

TEST(DiskWriter, AJobThatThrowsLosesOnlyItself) {
    std::vector<int> ran;
    DiskWriter writer([](int, SyncKind) { return 0; });
    writer.post("throws", [](const SyncCall&) { throw std::bad_alloc(); });
    writer.post("next", noting(ran, 2));
    EXPECT_TRUE(writer.drain(10s));
    EXPECT_THAT(ran, testing::ElementsAre(2));
}

}  // namespace
