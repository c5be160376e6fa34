#pragma once

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

// Runs `work` in a child process whose files may not grow beyond `limit`
// bytes (RLIMIT_FSIZE), so the limit, and a SIGXFSZ should one come, stay
// there. Returns what `work` returned; the child must end normally, not by a
// signal.
inline std::string underFileSizeLimit(rlim_t limit, const std::function<std::string()>& work) {
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
        const std::string message = work();
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
    return message;
}
