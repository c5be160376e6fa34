#include "inbound/RecordFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <system_error>

#include "os/WriteAll.h"

namespace {

std::string failure(const char* operation, int error) {
    return std::string(operation) + ": " + std::system_category().message(error);
}

// A write past the file size limit raises SIGXFSZ, which would end the whole
// program; with the signal ignored the write fails with EFBIG instead and the
// record is reported as not written. A handler someone else installed stays.
void ignoreFileSizeSignal() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            sigemptyset(&ignore.sa_mask);
            sigaction(SIGXFSZ, &ignore, nullptr);
        }
    });
}

// Both receive threads may append to the same file within one second; taking
// them one at a time keeps each record whole and makes the size taken before a
// write the right place to cut back to.
std::mutex appendMutex;

}  // namespace

std::string composeRecordPath(std::string_view folder, std::string_view name,
                              const CalendarTime& time, std::string_view extension) {
    const std::string stamp = formatPathStamp(time);
    std::string path;
    path.reserve(folder.size() + name.size() + stamp.size() + 1 + extension.size());
    path += folder;
    path += name;
    path += stamp;
    path += '.';
    path += extension;
    return path;
}

RecordWriteResult appendRecord(const std::string& path, std::string_view text) {
    ignoreFileSizeSignal();
    const std::lock_guard<std::mutex> lock(appendMutex);

    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return {false, failure("open", errno)};
    }

    RecordWriteResult result{true, {}};
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        result = {false, failure("fstat", errno)};
    } else if (const int error = writeAll(fd, text.data(), text.size()); error != 0) {
        result = {false, failure("write", error)};
        if (::ftruncate(fd, before.st_size) != 0) {
            result.reason += "; " + failure("ftruncate", errno);
        }
    }
    // Delayed write errors can surface at close; the record is then not known
    // to be on disk. EINTR leaves the descriptor closed on Linux.
    if (::close(fd) != 0 && errno != EINTR && result.written) {
        result = {false, failure("close", errno)};
    }
    return result;
}
