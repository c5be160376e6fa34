#include "inbound/RecordFile.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace {

struct PathCase {
    const char* folder;
    const char* name;
    CalendarTime time;
    const char* extension;
    const char* path;
};

TEST(RecordPath, JoinsPartsWithoutSeparators) {
    const PathCase cases[] = {
        {"C:\\", "kav", {2024, 1, 19, 12, 0, 5}, "csv", "C:\\kav20240119120005.csv"},
        {"C:\\", "kav", {2025, 12, 31, 23, 59, 59}, "xml", "C:\\kav20251231235959.xml"},
        {"C:\\", "", {2025, 3, 5, 9, 3, 7}, "csv", "C:\\20250305090307.csv"},
        {"", "kav", {2025, 3, 5, 9, 3, 7}, "csv", "kav20250305090307.csv"},
        {"/data", "kav", {2025, 3, 5, 9, 3, 7}, "csv", "/datakav20250305090307.csv"},
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

TEST_F(RecordFileTest, EmptyTextStillCreatesFile) {
    const std::string path = pathOf("empty.csv");
    EXPECT_TRUE(appendRecord(path, "").written);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
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

TEST_F(RecordFileTest, FolderInPlaceOfFileFails) {
    std::filesystem::create_directory(folder_ / "kav.csv");
    const RecordWriteResult result = appendRecord(pathOf("kav.csv"), "time=A,data=1");
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(result.reason.empty());
}

struct LimitCase {
    const char* name;
    std::string existing;
    std::string text;
    bool written;
};

// Appends under a file size limit in a child process, so the limit and any
// SIGXFSZ stay there. Returns the child's result; the child must exit normally.
RecordWriteResult appendUnderSizeLimit(const std::string& path, const std::string& text,
                                       rlim_t limit) {
    int channel[2];
    if (pipe(channel) != 0) {
        ADD_FAILURE() << "pipe";
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        rlimit size{};
        getrlimit(RLIMIT_FSIZE, &size);
        size.rlim_cur = limit;
        if (setrlimit(RLIMIT_FSIZE, &size) != 0) {
            _exit(2);
        }
        const RecordWriteResult result = appendRecord(path, text);
        const std::string message = (result.written ? "1" : "0") + result.reason;
        const ssize_t sent = write(channel[1], message.data(), message.size());
        _exit(sent == static_cast<ssize_t>(message.size()) ? 0 : 3);
    }
    close(channel[1]);
    std::string message;
    char buffer[256];
    ssize_t n;
    while ((n = read(channel[0], buffer, sizeof buffer)) > 0) {
        message.append(buffer, static_cast<std::size_t>(n));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status))
        << "child ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
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

}  // namespace
