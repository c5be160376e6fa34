#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct SpawnOptions {
    std::vector<std::string> args;         // args[0] is the program's path
    std::vector<std::string> environment;  // NAME=VALUE, replacing or adding to the test's own
    std::filesystem::path stdoutFile;      // empty: stdout is a pipe, read with takeOutput()
    std::filesystem::path stderrFile;      // empty: the test's own stderr
};

// A program run as a child of the test. It never outlives the test: it is
// killed when the test process dies, and the destructor kills and reaps it
// whatever state the test left it in.
class ChildProcess {
  public:
    explicit ChildProcess(const SpawnOptions& options);  // throws when it cannot start
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Readable once the child has ended: lets a wait stop early.
    int exitFd() const { return exitFd_; }

    // The bytes the child has written to its stdout pipe since the last call;
    // never waits.
    std::string takeOutput();

    // The wait status once the child has ended within `limit`; nothing while it runs.
    std::optional<int> waitExit(std::chrono::milliseconds limit);
    // Sends SIGTERM, then waits as waitExit does.
    std::optional<int> terminate(std::chrono::milliseconds limit = std::chrono::seconds(5));

  private:
    pid_t pid_ = -1;
    int exitFd_ = -1;
    int output_ = -1;
    std::optional<int> status_;
};

// "exit 0", "signal 15", ...: a wait status as text, for failure messages.
std::string describeStatus(std::optional<int> status);
