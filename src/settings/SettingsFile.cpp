#include "settings/SettingsFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <algorithm>
#include <cctype>
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

std::string stampNow() {
    const std::time_t now = std::time(nullptr);
    struct tm local {};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return stamp;
}

std::string asideName(const fs::path& file, const char* kind, const std::string& stamp,
                      int counter) {
    std::string name = file.string() + "." + kind + "-" + stamp;
    return counter == 0 ? name : name + "-" + std::to_string(counter);
}

const char* kindName(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "folder";
    }
    if (S_ISFIFO(mode)) {
        return "FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "socket";
    }
    if (S_ISCHR(mode)) {
        return "character device";
    }
    if (S_ISBLK(mode)) {
        return "block device";
    }
    return "special file";
}

bool isJsonDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether bytes[begin, end) is a number as JSON writes it.
bool isJsonNumber(const QByteArray& bytes, qsizetype begin, qsizetype end) {
    qsizetype at = begin;
    const auto digits = [&] {
        const qsizetype start = at;
        while (at < end && isJsonDigit(bytes[at])) {
            ++at;
        }
        return at > start;
    };
    if (at < end && bytes[at] == '-') {
        ++at;
    }
    if (at < end && bytes[at] == '0') {
        ++at;
    } else if (!digits()) {
        return false;
    }
    if (at < end && bytes[at] == '.') {
        ++at;
        if (!digits()) {
            return false;
        }
    }
    if (at < end && (bytes[at] == 'e' || bytes[at] == 'E')) {
        ++at;
        if (at < end && (bytes[at] == '+' || bytes[at] == '-')) {
            ++at;
        }
        if (!digits()) {
            return false;
        }
    }
    return at == end;
}

// Qt refuses a number that a double cannot hold and reports the offset just
// behind it. Such a number, when it is valid JSON, is put out of the way as
// null; false when the error is of another kind.
bool nullOutNumberBefore(QByteArray& bytes, qsizetype end) {
    if (end <= 0 || end > bytes.size()) {
        return false;
    }
    qsizetype begin = end;
    while (begin > 0 && std::strchr("+-.eE0123456789", bytes[begin - 1]) != nullptr &&
           bytes[begin - 1] != '\0') {
        --begin;
    }
    if (!isJsonNumber(bytes, begin, end)) {
        return false;
    }
    bytes.replace(begin, end - begin, QByteArrayLiteral("null"));
    return true;
}

}  // namespace

FileKind kindOf(const fs::path& file, std::string& what) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return FileKind::kMissing;
        }
        // A link that leads nowhere readable: the open will tell why.
        return FileKind::kRegular;
    }
    if (S_ISREG(st.st_mode)) {
        return FileKind::kRegular;
    }
    what = kindName(st.st_mode);
    return FileKind::kOther;
}

fs::path folderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

ReadResult read(const fs::path& file, QByteArray& bytes, std::string& reason, bool tighten) {
    // Opening a device or a FIFO may do things of its own: it is never opened.
    if (kindOf(file, reason) == FileKind::kOther) {
        return ReadResult::kNotRegular;
    }
    // O_NONBLOCK: a FIFO put in the file's place meanwhile must not hang the start-up.
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
        reason = kindName(st.st_mode);  // put there since the check above
        ::close(fd);
        return ReadResult::kNotRegular;
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
    // Each pass puts one number out of the way; a file of nothing else is
    // not worth more passes.
    constexpr int kMostNumbersPutAside = 64;
    QByteArray text = bytes;
    QJsonParseError parseError{};
    QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    for (int pass = 0;
         pass < kMostNumbersPutAside && parseError.error == QJsonParseError::IllegalNumber &&
         nullOutNumberBefore(text, parseError.offset);
         ++pass) {
        document = QJsonDocument::fromJson(text, &parseError);
    }
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
    const std::string stamp = stampNow();
    for (int counter = 0; counter < 1000; ++counter) {
        aside = asideName(file, "corrupt", stamp, counter);
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

bool copyAside(const fs::path& file, const QByteArray& bytes, const char* kind,
               const SyncCall& sync, fs::path& aside, std::string& error) {
    const std::string stamp = stampNow();
    int fd = -1;
    for (int counter = 0; counter < 1000 && fd < 0; ++counter) {
        aside = asideName(file, kind, stamp, counter);
        fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) {
            error = errorText(errno);
            return false;
        }
    }
    if (fd < 0) {
        error = "all names taken";
        return false;
    }
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    int cause = ::fchmod(fd, 0600) != 0 ? errno : 0;
    if (cause == 0) {
        cause = writeAll(fd, text);
    }
    if (cause == 0) {
        cause = sync(fd, SyncKind::Full);
    }
    if (::close(fd) != 0 && cause == 0) {
        cause = errno;
    }
    if (cause == 0) {
        cause = syncFolder(folderOf(aside), sync);
    }
    if (cause != 0) {
        ::unlink(aside.c_str());
        error = errorText(cause);
        return false;
    }
    return true;
}

std::vector<fs::path> removeStaleTemporaries(const fs::path& file) {
    std::vector<fs::path> removed;
    const fs::path folder = folderOf(file);
    const FolderLock noneWriting(folder, FolderLock::Wait::kNo);
    if (!noneWriting.held()) {
        return removed;
    }
    const std::string prefix = "." + file.filename().string() + ".";
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // mkostemp's six letters and digits
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0 ||
            !std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                         [](char c) { return std::isalnum(static_cast<unsigned char>(c)); })) {
            continue;
        }
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid() && ::unlink(it->path().c_str()) == 0) {
            removed.push_back(it->path());
        }
    }
    return removed;
}

FolderLock::FolderLock(const fs::path& folder, Wait wait)
    : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) {
        return;
    }
    const int operation = wait == Wait::kYes ? LOCK_EX : LOCK_EX | LOCK_NB;
    int result = 0;
    while ((result = ::flock(fd_, operation)) != 0 && errno == EINTR) {
    }
    held_ = result == 0;
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock
    }
}

}  // namespace settingsfile
