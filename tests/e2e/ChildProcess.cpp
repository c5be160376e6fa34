#include "e2e/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace {

std::runtime_error failure(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

std::string nameOf(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

// The test's own environment with `overrides` put in place of their names.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& overrides) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const auto& override : overrides) {
            replaced = replaced || nameOf(override) == nameOf(text);
        }
        if (!replaced) {
            merged.push_back(text);
        }
    }
    merged.insert(merged.end(), overrides.begin(), overrides.end());
    return merged;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (auto& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

void closeAll(std::initializer_list<int> fds) {
    for (const int fd : fds) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

// Tells the parent why the child could not become the program.
[[noreturn]] void failInChild(int report) {
    const int error = errno;
    [[maybe_unused]] const ssize_t n = write(report, &error, sizeof error);
    _exit(127);
}

// Runs in the child between fork and exec: async-signal-safe calls only.
[[noreturn]] void becomeChild(pid_t parent, const char* path, char* const* argv, char* const* envp,
                              const char* outFile, int outPipe, const char* errFile, int report) {
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) {
        _exit(127);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) {
        sigaction(signal, &standard, nullptr);
    }
    // Close-on-exec everywhere: the program gets 0, 1 and 2 and nothing else of ours.
    constexpr int kFileFlags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = outFile != nullptr ? open(outFile, kFileFlags, 0644) : outPipe;
    const int err = errFile != nullptr ? open(errFile, kFileFlags, 0644) : 2;
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
        failInChild(report);
    }
    execve(path, argv, envp);
    failInChild(report);
}

}  // namespace

ChildProcess::ChildProcess(const SpawnOptions& options) {
    std::vector<std::string> args = options.args;
    std::vector<std::string> environment = mergedEnvironment(options.environment);
    const std::vector<char*> argv = pointers(args);
    const std::vector<char*> envp = pointers(environment);
    const std::string outFile = options.stdoutFile.string();
    const std::string errFile = options.stderrFile.string();

    int outPipe[2] = {-1, -1};
    int report[2] = {-1, -1};
    if ((options.stdoutFile.empty() && pipe2(outPipe, O_CLOEXEC) != 0) ||
        pipe2(report, O_CLOEXEC) != 0) {
        const auto error = failure("pipe");
        closeAll({outPipe[0], outPipe[1]});
        throw error;
    }
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        becomeChild(parent, argv[0], argv.data(), envp.data(),
                    outFile.empty() ? nullptr : outFile.c_str(), outPipe[1],
                    errFile.empty() ? nullptr : errFile.c_str(), report[1]);
    }
    const auto forkFailure = failure("fork");
    closeAll({outPipe[1], report[1]});
    if (pid_ < 0) {
        closeAll({outPipe[0], report[0]});
        throw forkFailure;
    }
    output_ = outPipe[0];
    if (output_ >= 0) {
        fcntl(output_, F_SETFL, O_NONBLOCK);
    }
    exitFd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    const auto pidfdFailure = failure("pidfd_open");
    // The report pipe closes at exec, or brings the errno of the failed step.
    int execError = 0;
    const ssize_t n = read(report[0], &execError, sizeof execError);
    closeAll({report[0]});
    if (n > 0 || exitFd_ < 0) {
        errno = execError;
        const auto error = n > 0 ? failure("cannot start " + args[0]) : pidfdFailure;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        closeAll({output_, exitFd_});
        throw error;
    }
}

ChildProcess::~ChildProcess() {
    if (!status_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    closeAll({exitFd_, output_});
}

std::string ChildProcess::takeOutput() {
    std::string bytes;
    if (output_ < 0) {
        return bytes;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(output_, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return bytes;  // nothing more for now, or the child closed its end
        }
    }
}

std::optional<int> ChildProcess::waitExit(std::chrono::milliseconds limit) {
    if (status_) {
        return status_;
    }
    pollfd ended{exitFd_, POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int ready = poll(&ended, 1, static_cast<int>(std::max<long>(left.count(), 0)));
        if (ready > 0) {
            break;
        }
        if (ready == 0 || errno != EINTR) {
            return std::nullopt;
        }
    }
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_) {
        status_ = status;
    }
    return status_;
}

std::optional<int> ChildProcess::terminate(std::chrono::milliseconds limit) {
    if (!status_) {
        kill(pid_, SIGTERM);
    }
    return waitExit(limit);
}

std::string describeStatus(std::optional<int> status) {
    if (!status) {
        return "still running";
    }
    if (WIFEXITED(*status)) {
        return "exit " + std::to_string(WEXITSTATUS(*status));
    }
    if (WIFSIGNALED(*status)) {
        return "signal " + std::to_string(WTERMSIG(*status));
    }
    return "status " + std::to_string(*status);
}
