#pragma once

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "journal/Journal.h"
#include "support/TempDir.h"

// A record as the panel hands one over: arrival `utcMs` (offset one hour),
// count, slots and link; file and outcome as given.
inline JournalRecord sampleRecord(std::int64_t utcMs, std::int32_t count, std::string s0 = "R1",
                                  std::string s1 = "", std::string s2 = "") {
    JournalRecord r;
    r.arrivedUtcMs = utcMs;
    r.utcOffsetSeconds = 3600;
    r.machineTime = "2026-12-10 08:03:04";
    r.count = count;
    r.slots = {std::move(s0), std::move(s1), std::move(s2)};
    r.link = "NET 192.168.1.20:5000";
    r.file = "/records/kav20261210080304.csv";
    r.written = true;
    return r;
}

// 2026-12-10 00:00:00 UTC, ms.
inline constexpr std::int64_t kDayStartMs = 1'796'860'800'000;
inline constexpr std::int64_t kDayMs = 86'400'000;

inline std::unique_ptr<Journal> openJournal(const std::filesystem::path& path,
                                            JournalAccess access = JournalAccess::Write) {
    std::string error;
    std::unique_ptr<Journal> journal = Journal::open(path.string(), access, &error);
    EXPECT_NE(journal, nullptr) << error;
    return journal;
}

// Runs `work` as a user whom file permissions hold, and returns what it
// returned: in a child process as "nobody" (65534) when the test runs as
// root, who may write any file; `folder` is handed to that user first.
inline std::string asUnprivilegedUser(const std::filesystem::path& folder,
                                      const std::function<std::string()>& work) {
    if (::geteuid() != 0) {
        return work();
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        EXPECT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0);
    }
    EXPECT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    int channel[2];
    if (::pipe(channel) != 0) {
        ADD_FAILURE() << "pipe";
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(2);
        }
        const std::string message = work();
        const ssize_t sent = ::write(channel[1], message.data(), message.size());
        ::_exit(sent == static_cast<ssize_t>(message.size()) ? 0 : 3);
    }
    ::close(channel[1]);
    std::string message;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(channel[0], buffer, sizeof buffer)) > 0) {
        message.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    return message;
}
