#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include "os/WriteAll.h"

namespace {

// More than a pipe holds: the writer waits for the reader and goes on where
// the last write stopped.
TEST(WriteAll, PassesEveryByteThroughPartialWrites) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::string bytes(1 << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7);
    }
    std::string received;
    std::thread reader([&] {
        char chunk[4096];
        ssize_t n = 0;
        while ((n = ::read(ends[0], chunk, sizeof chunk)) > 0) {
            received.append(chunk, static_cast<std::size_t>(n));
        }
    });
    EXPECT_EQ(writeAll(ends[1], bytes.data(), bytes.size()), 0);
    ::close(ends[1]);
    reader.join();
    ::close(ends[0]);
    EXPECT_EQ(received, bytes);
}

TEST(WriteAll, ReportsTheErrorOfTheFailedWrite) {
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    EXPECT_EQ(writeAll(full, "x", 1), ENOSPC);
    ::close(full);
    EXPECT_EQ(writeAll(-1, "x", 1), EBADF);
    EXPECT_EQ(writeAll(-1, "", 0), 0);  // nothing to write: nothing asked of the descriptor
}

}  // namespace
