// The open-files limit as the panel meets it at start, and the wake event
// when no descriptor is left. Each case runs in a child process: a limit is
// the whole process's.
#include "os/OpenFilesLimit.h"
#include "os/WakeEvent.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

namespace {

// The exit status of `body` run in a child process.
int inChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

bool limitTo(rlim_t soft, rlim_t hard) {
    const rlimit limit{soft, hard};
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

rlim_t softLimit() {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    return limit.rlim_cur;
}

TEST(OpenFilesLimit, TheSoftLimitIsRaisedToTheHardOne) {
    EXPECT_EQ(inChild([] {
                  if (!limitTo(20, 512)) {
                      return 10;
                  }
                  const OpenFilesOutcome outcome = raiseOpenFilesLimit();
                  if (!outcome.enough || outcome.soft != 512 || softLimit() != 512) {
                      return 11;
                  }
                  return 0;
              }),
              0);
}

TEST(OpenFilesLimit, ALimitStillTooSmallIsAMessage) {
    EXPECT_EQ(inChild([] {
                  if (!limitTo(20, 20)) {
                      return 10;
                  }
                  const OpenFilesOutcome outcome = raiseOpenFilesLimit(64);
                  if (outcome.enough || outcome.soft != 20) {
                      return 11;
                  }
                  const bool named =
                      outcome.message.find("the limit is 20 (hard limit 20") != std::string::npos &&
                      outcome.message.find("ulimit -n") != std::string::npos;
                  return named ? 0 : 12;
              }),
              0);
}

// No descriptor left: the wake event says so and never throws.
TEST(WakeEvent, WithoutADescriptorLeftItIsInvalidAndHarmless) {
    EXPECT_EQ(inChild([] {
                  // Use up every descriptor under a small limit.
                  if (!limitTo(64, 64)) {
                      return 10;
                  }
                  while (::dup(0) >= 0) {
                  }
                  WakeEvent wake;
                  if (wake.valid() || wake.fd() != -1 || wake.error() != EMFILE) {
                      return 11;
                  }
                  wake.signal();
                  wake.drain();
                  return 0;
              }),
              0);
}

}  // namespace
