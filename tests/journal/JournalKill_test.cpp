// A panel killed with SIGKILL at any moment leaves a journal that opens with
// every record it had acknowledged, and no torn one.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "journal/Journal.h"
#include "journal/JournalFixture.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// The stream child, its stdout a pipe; killed and reaped at the end.
class StreamChild {
  public:
    explicit StreamChild(const std::vector<std::string>& args) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(TOLVANE_STREAM_CHILD));
            for (const std::string& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        output_ = out[0];
    }
    ~StreamChild() {
        kill();
        ::close(output_);
    }

    // Reads what the child printed until it acknowledged `count` records, or
    // 30 s passed; false when it did not get there.
    bool readUntil(std::size_t count) {
        while (acknowledged_.size() < count) {
            pollfd p{output_, POLLIN, 0};
            if (::poll(&p, 1, 30'000) <= 0 || !readSome()) {
                return false;
            }
        }
        return true;
    }
    // SIGKILL, then everything it printed before it died.
    void kill() {
        if (pid_ <= 0) {
            return;
        }
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        while (readSome()) {
        }
    }
    const std::vector<int>& acknowledged() const { return acknowledged_; }

  private:
    bool readSome() {
        char buffer[4096];
        const ssize_t n = ::read(output_, buffer, sizeof buffer);
        if (n <= 0) {
            return false;
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = pending_.find('\n')) != std::string::npos) {
            acknowledged_.push_back(std::stoi(pending_.substr(0, end)));
            pending_.erase(0, end + 1);
        }
        return true;
    }

    pid_t pid_ = -1;
    int output_ = -1;
    std::string pending_;
    std::vector<int> acknowledged_;
};

// Every acknowledged record is there with its fields; the ids run without a
// gap and each row is whole; the day totals agree with the rows.
void expectEveryAcknowledgedRecord(const fs::path& path, const std::vector<int>& acknowledged) {
    testing::internal::CaptureStdout();
    const std::unique_ptr<Journal> journal = openJournal(path);
    const std::string trace = testing::internal::GetCapturedStdout();
    ASSERT_NE(journal, nullptr);
    EXPECT_EQ(trace, "") << "nothing kept aside";
    const JournalSpan span = journal->span({});
    ASSERT_GE(span.records, static_cast<std::int64_t>(acknowledged.size()));
    EXPECT_EQ(span.lowestId, 1);
    EXPECT_EQ(span.highestId, span.records);
    EXPECT_EQ(journal->totals({}, 0).records, span.records);

    std::set<int> counts;
    std::string error;
    ASSERT_TRUE(journal->forEach(
        {},
        [&](const JournalRecord& r) {
            EXPECT_EQ(r.count, r.id - 1) << "records in the order they were handed over";
            EXPECT_EQ(r.machineTime, "T" + std::to_string(r.count));
            EXPECT_EQ(r.slots[0], "S" + std::to_string(r.count));
            EXPECT_EQ(r.slots[2].size(), static_cast<std::size_t>(r.count % 200));
            counts.insert(r.count);
            return true;
        },
        &error))
        << error;
    for (const int n : acknowledged) {
        ASSERT_TRUE(counts.contains(n)) << "acknowledged record " << n << " is missing";
    }
}

struct KillCase {
    const char* mode;
    std::size_t killAfter;  // acknowledged records before the kill
};

class JournalKill : public testing::TestWithParam<KillCase> {};

TEST_P(JournalKill, EveryAcknowledgedRecordSurvivesSigkill) {
    const KillCase& c = GetParam();
    TempDir dir;
    const fs::path path = dir / "records.sqlite";
    std::vector<std::string> args = {c.mode, path.string()};
    if (std::string(c.mode) == "saver") {
        args.push_back(dir.path().string());
    }
    StreamChild child(args);
    ASSERT_TRUE(child.readUntil(c.killAfter));
    child.kill();
    expectEveryAcknowledgedRecord(path, child.acknowledged());
}

INSTANTIATE_TEST_SUITE_P(Streams, JournalKill,
                         testing::Values(KillCase{"journal", 1}, KillCase{"journal", 400},
                                         KillCase{"journal", 1500}, KillCase{"saver", 1},
                                         KillCase{"saver", 200}),
                         [](const auto& info) {
                             return std::string(info.param.mode) + "_after_" +
                                    std::to_string(info.param.killAfter);
                         });

}  // namespace
