#include "inbound/RecordFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "support/SizeLimit.h"
#include "support/Watchdog.h"

namespace {

struct PathCase {
    const char* folder;
    const char* name;
    CalendarTime time;
    const char* extension;
    const char* path;
};

// The folder always ends in "/" before the name follows: a folder stored
// without it still gets the file inside, never "<folder>kav..." beside it.
TEST(RecordPath, PutsTheFileInsideTheFolder) {
    const PathCase cases[] = {
        {"/data/", "kav", {2024, 1, 19, 12, 0, 5}, "csv", "/data/kav20240119120005.csv"},
        {"/data/", "kav", {2025, 12, 31, 23, 59, 59}, "xml", "/data/kav20251231235959.xml"},
        {"/data/", "", {2025, 3, 5, 9, 3, 7}, "csv", "/data/20250305090307.csv"},
        {"", "kav", {2025, 3, 5, 9, 3, 7}, "csv", "kav20250305090307.csv"},
        {"/data", "kav", {2025, 3, 5, 9, 3, 7}, "csv", "/data/kav20250305090307.csv"},
        {"/home/op/records",
         "",
         {2025, 3, 5, 9, 3, 7},
         "xml",
         "/home/op/records/20250305090307.xml"},
        {"/", "kav", {2025, 3, 5, 9, 3, 7}, "csv", "/kav20250305090307.csv"},
        {"/data/", "kav", {0, 0, 0, -1, -1, -1}, "csv", "/data/kav00000-1-1-1.csv"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(composeRecordPath(c.folder, c.name, c.time, c.extension), c.path);
    }
}

class RecordFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "records_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    std::string pathOf(const std::string& name) const { return (folder_ / name).string(); }

    static std::string contentOf(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    static void writeFile(const std::string& path, const std::string& content) {
        std::ofstream(path, std::ios::binary) << content;
    }

    std::filesystem::path folder_;
};

TEST_F(RecordFileTest, RecordsOfOneFileStandBackToBack) {
    const std::string path = pathOf("kav20250305090307.csv");
    EXPECT_EQ(appendRecord(path, "time=A,data=1,S0=a").reason, "");
    const RecordWriteResult second = appendRecord(path, "time=B,data=2");
    EXPECT_TRUE(second.written);
    EXPECT_EQ(second.reason, "");
    EXPECT_EQ(contentOf(path), "time=A,data=1,S0=atime=B,data=2");
}

TEST_F(RecordFileTest, KeepsExistingContentAndBytes) {
    const std::string path = pathOf("kav.xml");
    writeFile(path, "<time>A</time>\r\n");
    ASSERT_TRUE(appendRecord(path, "<data>\xb5</data>\r\n").written);
    EXPECT_EQ(contentOf(path), "<time>A</time>\r\n<data>\xb5</data>\r\n");
}

// No record format gives an empty text: nothing is written and no empty file
// is made, and the record is reported as not written.
TEST_F(RecordFileTest, EmptyTextIsNotWrittenAndMakesNoFile) {
    const std::string path = pathOf("empty.");
    const RecordWriteResult result = appendRecord(path, "");
    EXPECT_FALSE(result.written);
    EXPECT_EQ(result.reason, "no record format: nothing to write");
    EXPECT_FALSE(std::filesystem::exists(path));
}

// A record counts as written only once its sync returned: a failing sync
// fails every record it was to make durable, the file goes back to its size
// before them, and a file they made is removed again.
TEST_F(RecordFileTest, FailedSyncCutsTheRecordsBackAndRemovesTheFileTheyMade) {
    struct Case {
        const char* name;
        const char* existing;  // nullptr: no file before
    };
    const Case cases[] = {{"kept.csv", "time=A,data=1"}, {"new.csv", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = pathOf(c.name);
        if (c.existing != nullptr) {
            writeFile(path, c.existing);
        }
        int syncs = 0;
        std::string contentAtSync;
        const SyncCall failing = [&](int, SyncKind kind) {
            ++syncs;
            EXPECT_EQ(kind, SyncKind::Data);
            contentAtSync = contentOf(path);
            return EIO;
        };
        const std::vector<RecordWriteResult> results =
            appendRecords(path, {"time=B,data=2", "time=C,data=3"}, failing);
        EXPECT_EQ(syncs, 1);
        EXPECT_EQ(contentAtSync,
                  std::string(c.existing ? c.existing : "") + "time=B,data=2time=C,data=3");
        ASSERT_EQ(results.size(), 2u);
        for (const RecordWriteResult& result : results) {
            EXPECT_FALSE(result.written);
            EXPECT_EQ(result.reason, "fdatasync: " + std::system_category().message(EIO));
        }
        if (c.existing != nullptr) {
            EXPECT_EQ(contentOf(path), c.existing);
        } else {
            EXPECT_FALSE(std::filesystem::exists(path));
        }
    }
}

TEST_F(RecordFileTest, RecordsWrittenTogetherShareOneSyncAndKeepTheirOrder) {
    const std::string path = pathOf("kav.csv");
    int syncs = 0;
    const SyncCall counting = [&](int fd, SyncKind kind) {
        ++syncs;
        return syncToDisk(fd, kind);
    };
    const std::vector<RecordWriteResult> results =
        appendRecords(path, {"time=A,data=1", "", "time=B,data=2"}, counting);
    EXPECT_EQ(syncs, 1);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_TRUE(results[0].written);
    EXPECT_FALSE(results[1].written);
    EXPECT_TRUE(results[2].written);
    EXPECT_EQ(contentOf(path), "time=A,data=1time=B,data=2");
}

TEST_F(RecordFileTest, MissingFolderFailsUntilItExists) {
    const std::string path = pathOf("later/kav.csv");
    const RecordWriteResult missing = appendRecord(path, "time=A,data=1");
    EXPECT_FALSE(missing.written);
    EXPECT_NE(missing.reason.find(std::system_category().message(ENOENT)), std::string::npos)
        << missing.reason;
    EXPECT_FALSE(std::filesystem::exists(path));

    std::filesystem::create_directory(folder_ / "later");
    const RecordWriteResult retried = appendRecord(path, "time=B,data=2");
    EXPECT_TRUE(retried.written) << retried.reason;
    EXPECT_EQ(contentOf(path), "time=B,data=2");
}

// Anything but a regular file under the record's name fails the record at
// once with what it is: nothing waits on a FIFO, nothing is written through a
// link, and the next record goes on.
TEST_F(RecordFileTest, OnlyARegularFileIsWritten) {
    namespace fs = std::filesystem;
    writeFile(pathOf("elsewhere"), "theirs");
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> plant;
        const char* reason;
    };
    const Case cases[] = {
        {"folder", [](const fs::path& at) { fs::create_directory(at); },
         "not a regular file: a folder"},
        {"FIFO", [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); },
         "not a regular file: a FIFO"},
        {"link to a file",
         [&](const fs::path& at) { fs::create_symlink(folder_ / "elsewhere", at); },
         "not a regular file: a symbolic link"},
        {"link to nothing", [&](const fs::path& at) { fs::create_symlink(folder_ / "none", at); },
         "not a regular file: a symbolic link"},
        {"link to a FIFO",
         [&](const fs::path& at) {
             ASSERT_EQ(::mkfifo((folder_ / "fifo").c_str(), 0600), 0);
             fs::create_symlink(folder_ / "fifo", at);
         },
         "not a regular file: a symbolic link"},
    };
    const Watchdog watchdog(std::chrono::seconds(20), "a record waited on what it found");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path at = folder_ / (std::string("kav-") + c.name + ".csv");
        c.plant(at);
        const RecordWriteResult result = appendRecord(at.string(), "time=A,data=1");
        EXPECT_FALSE(result.written);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_TRUE(fs::exists(fs::symlink_status(at))) << "left where it was";
    }
    EXPECT_EQ(contentOf(pathOf("elsewhere")), "theirs");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "none"));
    EXPECT_TRUE(appendRecord(pathOf("next.csv"), "time=B,data=2").written);
}

struct LimitCase {
    const char* name;
    std::string existing;
    std::string text;
    bool written;
};

// One result as text: "1" or "0" for written, then the reason.
std::string asText(const RecordWriteResult& result) {
    return (result.written ? "1" : "0") + result.reason;
}

RecordWriteResult appendUnderSizeLimit(const std::string& path, const std::string& text,
                                       rlim_t limit) {
    const std::string message =
        underFileSizeLimit(limit, [&] { return asText(appendRecord(path, text)); });
    if (message.empty()) {
        return {};
    }
    return {message[0] == '1', message.substr(1)};
}

TEST_F(RecordFileTest, WriteBeyondSizeLimitFailsAndLeavesNoFragment) {
    constexpr rlim_t kLimit = 16;
    const LimitCase cases[] = {
        {"CutShort", "0123456789", "time=T,data=12,S0=a", false},
        {"AlreadyAtLimit", "0123456789abcdef", "x", false},
        {"EndsAtLimit", "0123456789", "abcdef", true},
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = pathOf(std::string(c.name) + ".csv");
        writeFile(path, c.existing);
        const RecordWriteResult result = appendUnderSizeLimit(path, c.text, kLimit);
        EXPECT_EQ(result.written, c.written);
        if (c.written) {
            EXPECT_EQ(result.reason, "");
            EXPECT_EQ(contentOf(path), c.existing + c.text);
        } else {
            EXPECT_NE(result.reason.find(std::system_category().message(EFBIG)), std::string::npos)
                << result.reason;
            EXPECT_EQ(contentOf(path), c.existing);
        }
    }
}

// Of records written together, the one that would pass the limit is cut back
// and those after it that fit still go in, with one sync for them all.
TEST_F(RecordFileTest, ARecordBeyondTheSizeLimitFailsAloneAmongOthers) {
    const std::string path = pathOf("together.csv");
    const std::string message = underFileSizeLimit(16, [&] {
        std::string out;
        for (const RecordWriteResult& result :
             appendRecords(path, {"0123456789", "abcdefghij", "xyz"})) {
            out += asText(result) + "\n";
        }
        return out;
    });
    EXPECT_EQ(message, "1\n0write: " + std::system_category().message(EFBIG) + "\n1\n");
    EXPECT_EQ(contentOf(path), "0123456789xyz");
}

}  // namespace
