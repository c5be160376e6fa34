#include "inbound/RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <system_error>

#include "os/WriteAll.h"
#include "storage/FileSizeSignal.h"

namespace {

std::string failure(const char* operation, int error) {
    return std::string(operation) + ": " + std::system_category().message(error);
}

int openRetrying(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

const char* kindOf(mode_t mode) {
    if (S_ISLNK(mode)) {
        return "a symbolic link";
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return "a special file";
}

std::string notRegular(mode_t mode) {
    return std::string("not a regular file: ") + kindOf(mode);
}

// Opens the file for appending; `created` tells whether this call made it.
// Never waits (a FIFO with no reader refuses at once) and never follows a
// symbolic link in the file's place.
int openForAppend(const std::string& path, bool& created) {
    constexpr int kAppend = O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = openRetrying(path, kAppend);
        if (fd >= 0 || errno != ENOENT) {
            created = false;
            return fd;
        }
        const int made = openRetrying(path, kAppend | O_CREAT | O_EXCL);
        if (made >= 0 || errno != EEXIST) {
            created = made >= 0;
            return made;
        }
        // Made by someone else in between: open it as it is.
    }
    created = false;
    return openRetrying(path, kAppend | O_CREAT);
}

// Records are appended by one thread, the disk writer; taking callers one at a
// time still keeps each record whole should anyone else append, and makes the
// size taken before a write the right place to cut back to.
std::mutex appendMutex;

}  // namespace

std::string composeRecordPath(std::string_view folder, std::string_view name,
                              const CalendarTime& time, std::string_view extension) {
    const std::string stamp = formatPathStamp(time);
    std::string path;
    path.reserve(folder.size() + 1 + name.size() + stamp.size() + 1 + extension.size());
    path += folder;
    if (!folder.empty() && folder.back() != '/') {
        path += '/';
    }
    path += name;
    path += stamp;
    path += '.';
    path += extension;
    return path;
}

RecordWriteResult appendRecord(const std::string& path, std::string_view text,
                               const SyncCall& sync) {
    return appendRecords(path, {text}, sync).front();
}

std::vector<RecordWriteResult> appendRecords(const std::string& path,
                                             const std::vector<std::string_view>& texts,
                                             const SyncCall& sync) {
    std::vector<RecordWriteResult> results(texts.size(), RecordWriteResult{true, {}});
    std::vector<std::size_t> toWrite;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i].empty()) {
            results[i] = {false, "no record format: nothing to write"};
        } else {
            toWrite.push_back(i);
        }
    }
    if (toWrite.empty()) {
        return results;
    }
    const auto failAll = [&](const std::string& reason) {
        for (const std::size_t i : toWrite) {
            if (results[i].written) {
                results[i] = {false, reason};
            }
        }
    };
    ignoreFileSizeSignal();
    const std::lock_guard<std::mutex> lock(appendMutex);

    bool created = false;
    const int fd = openForAppend(path, created);
    if (fd < 0) {
        const int error = errno;
        // A link, FIFO, folder or device under the record's name: say what it is.
        struct stat there {};
        if (::lstat(path.c_str(), &there) == 0 && !S_ISREG(there.st_mode)) {
            failAll(notRegular(there.st_mode));
        } else {
            failAll(failure("open", error));
        }
        return results;
    }
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        failAll(failure("fstat", errno));
        ::close(fd);
        return results;
    }
    if (!S_ISREG(before.st_mode)) {
        failAll(notRegular(before.st_mode));
        ::close(fd);
        return results;
    }
    off_t size = before.st_size;
    bool anyWritten = false;
    for (const std::size_t i : toWrite) {
        if (const int error = writeAll(fd, texts[i]); error != 0) {
            results[i] = {false, failure("write", error)};
            if (::ftruncate(fd, size) != 0) {
                results[i].reason += "; " + failure("ftruncate", errno);
            }
        } else {
            size += static_cast<off_t>(texts[i].size());
            anyWritten = true;
        }
    }
    if (anyWritten) {
        if (const int error = sync(fd, SyncKind::Data); error != 0) {
            std::string reason = failure("fdatasync", error);
            if (::ftruncate(fd, before.st_size) != 0) {
                reason += "; " + failure("ftruncate", errno);
            }
            failAll(reason);
        }
    }
    // Delayed write errors can surface at close; the records are then not known
    // to be on disk. EINTR leaves the descriptor closed on Linux.
    if (::close(fd) != 0 && errno != EINTR) {
        failAll(failure("close", errno));
    }
    struct stat after {};
    if (created && ::stat(path.c_str(), &after) == 0 && after.st_size == 0) {
        ::unlink(path.c_str());  // made for records of which none was written
    }
    return results;
}
