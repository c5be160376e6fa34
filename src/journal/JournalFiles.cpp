#include "journal/JournalFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <system_error>

namespace journalfiles {

namespace {

std::string errorText(int error) {
    return std::system_category().message(error);
}

// Group or others may reach it, and it is ours to change.
bool needsTightening(const struct stat& st) {
    return (st.st_mode & 077) != 0 && st.st_uid == ::geteuid() && (st.st_mode & S_ISVTX) == 0;
}

bool makeFolder(const std::string& folder, std::string& error) {
    if (folder.empty()) {
        return true;
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return true;
        }
        error = "cannot use folder " + folder + ": " + errorText(ENOTDIR);
        return false;
    }
    const std::size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolder(folder.substr(0, slash), error)) {
        return false;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot make folder " + folder + ": " + errorText(errno);
        return false;
    }
    return true;
}

void tighten(const std::string& path, mode_t keep) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && needsTightening(st)) {
        ::chmod(path.c_str(), st.st_mode & keep);
    }
}

}  // namespace

bool ensurePrivateFolder(const std::string& folder, std::string& error) {
    if (!makeFolder(folder, error)) {
        return false;
    }
    tighten(folder, 07700);
    return true;
}

bool ensurePrivateFiles(const std::string& database, std::string& error) {
    const int fd = ::open(database.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 && errno != EACCES && errno != EROFS) {
        error = "cannot open " + database + ": " + errorText(errno);
        return false;
    }
    if (fd >= 0) {
        ::close(fd);
    }
    for (const char* companion : {"", "-wal", "-shm"}) {
        tighten(database + companion, 07600);
    }
    return true;
}

bool moveAside(const std::string& database, std::string& aside, std::string& error) {
    const std::time_t now = std::time(nullptr);
    struct tm local {};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = database + ".corrupt-" + stamp;
    for (int counter = 0; counter < 1000; ++counter) {
        aside = counter == 0 ? base : base + "-" + std::to_string(counter);
        struct stat taken {};
        if (::lstat(aside.c_str(), &taken) == 0) {
            continue;
        }
        if (::rename(database.c_str(), aside.c_str()) != 0) {
            error = "cannot move " + database + " aside: " + errorText(errno);
            return false;
        }
        // A log left beside a new database would be read as its own.
        const std::string log = database + "-wal";
        if (::rename(log.c_str(), (aside + "-wal").c_str()) != 0 && errno != ENOENT) {
            ::unlink(log.c_str());
        }
        ::unlink((database + "-shm").c_str());
        return true;
    }
    error = "cannot move " + database + " aside: all names taken";
    return false;
}

FolderLock::FolderLock(const std::string& folder)
    : fd_(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) {
        return;
    }
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

}  // namespace journalfiles
