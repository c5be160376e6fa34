#include "settings/SettingsStore.h"

#include "os/UserFolders.h"
#include "os/WriteAll.h"
#include "text/DebugTrace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QByteArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

const QString kSection = QStringLiteral("TolvaneApp");

std::string errorText(int error) {
    return std::strerror(error);
}

fs::path folderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// Drops group and other access from a folder or file of ours. A shared sticky
// folder such as /tmp is never touched.
bool needsTightening(const struct stat& st) {
    return st.st_uid == ::geteuid() && (st.st_mode & S_ISVTX) == 0 && (st.st_mode & 077) != 0;
}

void keepPrivate(int fd, const struct stat& st) {
    if (needsTightening(st)) {
        ::fchmod(fd, st.st_mode & 07700);
    }
}

void keepPrivate(const char* name, const struct stat& st) {
    if (needsTightening(st)) {
        ::chmod(name, st.st_mode & 07700);
    }
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

bool ensurePrivateFolder(const fs::path& folder, std::string& error) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) {
            error = "cannot use folder " + folder.string() + ": " + errorText(ENOTDIR);
            return false;
        }
        keepPrivate(folder.c_str(), st);
        return true;
    }
    if (errno != ENOENT) {
        error = "cannot use folder " + folder.string() + ": " + errorText(errno);
        return false;
    }
    return makeFolders(folder, error);
}

// Replaces `file` by a file holding `bytes`, atomically: readers see either the
// old or the new file in full, and a damaged write never reaches `file`.
bool replaceFile(const fs::path& file, const QByteArray& bytes, std::string& error) {
    const fs::path folder = folderOf(file);
    if (!ensurePrivateFolder(folder, error)) {
        return false;
    }
    std::string name = ".";
    name.append(file.filename().string()).append(".XXXXXX");
    std::string temp = (folder / name).string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot create a temporary file in " + folder.string() + ": " + errorText(errno);
        return false;
    }
    const char* step = nullptr;
    if (::fchmod(fd, 0600) != 0) {
        step = "fchmod";
    } else if (const int failed =
                   writeAll(fd, bytes.constData(), static_cast<std::size_t>(bytes.size()));
               failed != 0) {
        errno = failed;  // the cause read below
        step = "write";
    } else if (::fsync(fd) != 0) {
        step = "fsync";
    }
    int cause = errno;
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
    return true;
}

// Renames `from` to `to` unless `to` exists; false with errno EEXIST when it does.
bool renameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // The file system cannot refuse to replace: check first (one thread, one window).
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// Moves a damaged settings file (or whatever stands in its place) to
// "<file>.corrupt-YYYYMMDD-HHMMSS", with "-1", "-2", ... when that name is taken.
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

enum class ReadResult { kMissing, kRead, kFailed };

ReadResult readSettingsFile(const fs::path& file, QByteArray& bytes, std::string& reason) {
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
    keepPrivate(fd, st);
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

}  // namespace

fs::path SettingsStore::defaultPath() {
    return panelConfigFolder() / "TolvaneApp.json";
}

SettingsStore::SettingsStore(fs::path file) : file_(std::move(file)) {
    load();
}

const fs::path& SettingsStore::path() const {
    return file_;
}

void SettingsStore::load() {
    const fs::path folder = folderOf(file_);
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        keepPrivate(folder.c_str(), st);
    }
    QByteArray bytes;
    std::string reason;
    switch (readSettingsFile(file_, bytes, reason)) {
        case ReadResult::kMissing:
            return;
        case ReadResult::kFailed:
            setAside(reason);
            return;
        case ReadResult::kRead:
            break;
    }
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        setAside(parseError.errorString().toStdString() + " at offset " +
                 std::to_string(parseError.offset));
        return;
    }
    if (!document.isObject()) {
        setAside("top level is not an object");
        return;
    }
    const QJsonObject top = document.object();
    const QJsonValue section = top.value(kSection);
    if (!section.isUndefined() && !section.isObject()) {
        setAside("\"TolvaneApp\" is not an object");
        return;
    }
    document_ = top;
    section_ = section.toObject();
}

void SettingsStore::setAside(const std::string& reason) {
    fs::path aside;
    std::string error;
    if (moveAside(file_, aside, error)) {
        DebugTrace("SettingsStore::load", 1, "settings file %s unreadable (%s), kept as %s",
                   file_.c_str(), reason.c_str(), aside.c_str());
        return;
    }
    saveBlocked_ = true;
    DebugTrace("SettingsStore::load", 2,
               "settings file %s unreadable (%s), cannot keep it aside (%s): "
               "settings will not be saved",
               file_.c_str(), reason.c_str(), error.c_str());
}

int SettingsStore::ReadInt(const char* key, int defaultValue) const {
    const QJsonValue value = section_.value(QLatin1String(key));
    if (!value.isDouble()) {
        return defaultValue;
    }
    // Every 32-bit integer is exact in a double, so these checks are exact too.
    const double number = value.toDouble();
    if (number != std::trunc(number) || number < -2147483648.0 || number > 2147483647.0) {
        return defaultValue;
    }
    return static_cast<int>(number);
}

void SettingsStore::WriteInt(const char* key, int value) {
    put(key, QJsonValue(value));
}

QString SettingsStore::ReadString(const char* key, const QString& defaultValue) const {
    const QJsonValue value = section_.value(QLatin1String(key));
    return value.isString() ? value.toString() : defaultValue;
}

void SettingsStore::WriteString(const char* key, const QString& value) {
    put(key, QJsonValue(value));
}

// A value equal to the one the file already holds is not written again: the
// file would come out byte for byte the same, and start-up, which writes back
// every value it shows, would pay a file replacement each.
void SettingsStore::put(const char* key, const QJsonValue& value) {
    const auto found = section_.constFind(QLatin1String(key));
    if (found != section_.constEnd() && *found == value && value.type() == found->type() &&
        fileCurrent_) {
        return;
    }
    section_.insert(QLatin1String(key), value);
    save();
}

void SettingsStore::save() {
    if (saveBlocked_) {
        fileCurrent_ = false;
        DebugTrace("SettingsStore::save", 2,
                   "settings file %s not saved: the unreadable file there was not kept aside",
                   file_.c_str());
        return;
    }
    document_.insert(kSection, section_);
    std::string error;
    fileCurrent_ =
        replaceFile(file_, QJsonDocument(document_).toJson(QJsonDocument::Indented), error);
    if (!fileCurrent_) {
        DebugTrace("SettingsStore::save", 1, "settings file %s not saved (%s)", file_.c_str(),
                   error.c_str());
    }
}
