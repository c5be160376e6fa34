#include "settings/SettingsFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <string>

#include "os/WriteAll.h"
#include "storage/FileSizeSignal.h"

namespace fs = std::filesystem;

namespace settingsfile {

namespace {

std::string errorText(int error) {
    return std::strerror(error);
}

// Drops group and other access from a folder or file of ours. A shared sticky
// folder such as /tmp is never touched.
bool needsTightening(const struct stat& st) {
    return st.st_uid == ::geteuid() && (st.st_mode & S_ISVTX) == 0 && (st.st_mode & 077) != 0;
}

bool makeFolders(const fs::path& folder, std::string& error) {
    if (::mkdir(folder.c_str(), 0700) == 0) {
        ::chmod(folder.c_str(), 0700);  // exactly 0700 whatever the umask
        return true;
    }
    if (errno == ENOENT && folder.has_parent_path() && folder.parent_path() != folder) {
        if (!makeFolders(folder.parent_path(), error)) {
            return false;
        }
        if (::mkdir(folder.c_str(), 0700) == 0) {
            ::chmod(folder.c_str(), 0700);
            return true;
        }
    }
    const int cause = errno;
    struct stat st {};
    if (cause == EEXIST && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return true;  // made meanwhile by someone else
    }
    error = "cannot create folder " + folder.string() + ": " + errorText(cause);
    return false;
}

// The rename reaches the disk only with its folder.
int syncFolder(const fs::path& folder, const SyncCall& sync) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int error = sync(fd, SyncKind::Full);
    ::close(fd);
    return error;
}

// Renames `from` to `to` unless `to` exists; false with errno EEXIST when it does.
bool renameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // The file system cannot refuse to replace: check first.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

fs::path folderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

ReadResult read(const fs::path& file, QByteArray& bytes, std::string& reason, bool tighten) {
    // O_NONBLOCK: a FIFO in the file's place must not hang the start-up.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return ReadResult::kMissing;
        }
        reason = errorText(errno);
        return ReadResult::kFailed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = errorText(errno);
        ::close(fd);
        return ReadResult::kFailed;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = "not a regular file";
        ::close(fd);
        return ReadResult::kFailed;
    }
    struct stat link {};
    if (tighten && ::lstat(file.c_str(), &link) == 0 && S_ISREG(link.st_mode) &&
        needsTightening(st)) {
        ::fchmod(fd, st.st_mode & 07700);
    }
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            reason = errorText(errno);
            ::close(fd);
            return ReadResult::kFailed;
        }
        if (got == 0) {
            break;
        }
        bytes.append(chunk, got);
    }
    ::close(fd);
    return ReadResult::kRead;
}

bool parse(const QByteArray& bytes, QJsonObject& top, std::string& reason) {
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        reason = parseError.errorString().toStdString() + " at offset " +
                 std::to_string(parseError.offset);
        return false;
    }
    if (!document.isObject()) {
        reason = "top level is not an object";
        return false;
    }
    const QJsonValue section = document.object().value(QStringLiteral("TolvaneApp"));
    if (!section.isUndefined() && !section.isObject()) {
        reason = "\"TolvaneApp\" is not an object";
        return false;
    }
    top = document.object();
    return true;
}

fs::path writeTarget(const fs::path& file, std::string& error) {
    fs::path at = file;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return at;  // the end of the chain, or a missing file to be made
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(at.c_str(), target.data(), target.size());
        if (length < 0) {
            error = "readlink " + at.string() + ": " + errorText(errno);
            return {};
        }
        target.resize(static_cast<std::size_t>(length));
        at = target.front() == '/' ? fs::path(target) : folderOf(at) / target;
    }
    error = "cannot follow " + file.string() + ": " + errorText(ELOOP);
    return {};
}

void tightenFolder(const fs::path& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && needsTightening(st)) {
        ::chmod(folder.c_str(), st.st_mode & 07700);
    }
}

bool ensurePrivateFolder(const fs::path& folder, std::string& error) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) {
            error = "cannot use folder " + folder.string() + ": " + errorText(ENOTDIR);
            return false;
        }
        tightenFolder(folder);
        return true;
    }
    if (errno != ENOENT) {
        error = "cannot use folder " + folder.string() + ": " + errorText(errno);
        return false;
    }
    return makeFolders(folder, error);
}

bool replace(const fs::path& file, const QByteArray& bytes, const SyncCall& sync,
             std::string& error) {
    ignoreFileSizeSignal();
    const fs::path folder = folderOf(file);
    std::string name = ".";
    name.append(file.filename().string()).append(".XXXXXX");
    std::string temp = (folder / name).string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot create a temporary file in " + folder.string() + ": " + errorText(errno);
        return false;
    }
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const char* step = nullptr;
    int cause = 0;
    if (::fchmod(fd, 0600) != 0) {
        step = "fchmod";
        cause = errno;
    } else if ((cause = writeAll(fd, text)) != 0) {
        step = "write";
    } else if ((cause = sync(fd, SyncKind::Full)) != 0) {
        step = "fsync";
    }
    if (::close(fd) != 0 && step == nullptr) {
        step = "close";
        cause = errno;
    }
    if (step == nullptr && ::rename(temp.c_str(), file.c_str()) != 0) {
        step = "rename";
        cause = errno;
    }
    if (step != nullptr) {
        ::unlink(temp.c_str());
        error = std::string(step) + " " + temp + ": " + errorText(cause);
        return false;
    }
    if (const int synced = syncFolder(folder, sync); synced != 0) {
        error = "fsync folder " + folder.string() + ": " + errorText(synced);
        return false;
    }
    return true;
}

bool moveAside(const fs::path& file, fs::path& aside, std::string& error) {
    const std::time_t now = std::time(nullptr);
    struct tm local {};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = file.string() + ".corrupt-" + stamp;
    for (int counter = 0; counter < 1000; ++counter) {
        aside = counter == 0 ? base : base + "-" + std::to_string(counter);
        if (renameNoReplace(file, aside)) {
            return true;
        }
        if (errno != EEXIST) {
            error = errorText(errno);
            return false;
        }
    }
    error = "all names taken";
    return false;
}

FolderLock::FolderLock(const fs::path& folder)
    : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) {
        return;
    }
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock
    }
}

}  // namespace settingsfile
