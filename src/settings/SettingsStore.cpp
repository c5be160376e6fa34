#include "settings/SettingsStore.h"

#include <unistd.h>
#include <QByteArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "os/UserFolders.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsTable.h"
#include "storage/DiskWriter.h"
#include "text/TraceSites.h"

namespace fs = std::filesystem;
namespace sf = settingsfile;

namespace {

const QString kSection = QStringLiteral("TolvaneApp");

// A 32-bit integer, as intValue() reads one.
bool holdsInt(const QJsonValue& value, int& number) {
    if (!value.isDouble()) {
        return false;
    }
    // Every 32-bit integer is exact in a double, so these checks are exact too.
    const double read = value.toDouble();
    if (read != std::trunc(read) || read < -2147483648.0 || read > 2147483647.0) {
        return false;
    }
    number = static_cast<int>(read);
    return true;
}

// Whether a value in the file can be read as its row's type. The stamp is
// not asked: a stamp of another type is simply not the first-run stamp.
bool readable(const SettingRow& row, const QJsonValue& value) {
    if (row.integer == &setting::firstRunStamp || value.isUndefined()) {
        return true;
    }
    int ignored = 0;
    return row.integer != nullptr ? holdsInt(value, ignored) : value.isString();
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

}  // namespace

// What the writes need, shared by the store and the writes it handed over, so
// that a write still queued when the store goes is written all the same.
struct SettingsStore::Disk {
    // Why no write may go ahead, for good.
    enum class Block {
        None,
        DamagedNotKept,   // a damaged file could not be kept aside: it must not be replaced
        NotRegular,       // the path leads to a device, FIFO, socket or folder
        FirstRunNotKept,  // the file could not be kept before the first run replaced values
    };

    explicit Disk(fs::path path) : file(std::move(path)) {}

    // The values as the file holds them, less the unreadable ones (named in
    // `unreadable`).
    void load(QJsonObject& section, std::vector<std::string>& unreadable);
    // Moves a damaged file aside; false when it could not be.
    bool setAside(const fs::path& damaged, const std::string& reason);
    void keepAside(const char* kind, const std::vector<std::string>& keys, const SyncCall& sync);
    void writePending(const SyncCall& sync);
    bool write(const QJsonObject& changes, const QStringList& removed, const QJsonObject& whole,
               const SyncCall& sync, std::string& error);

    SettingsKeeping keepingLocked() const;
    // Changes the state under the lock; tells the watcher when keeping() changed.
    template <class Change>
    void changeKeeping(Change change);

    const fs::path file;
    // Fixed once loaded.
    fs::path target;         // the file writes reach: `file`, or where its links lead
    QJsonObject loadedTop;   // the file's top-level object; members besides the section are kept
    QByteArray loadedBytes;  // the file as read, for the copies kept aside

    mutable std::mutex mutex;
    QJsonObject changed;  // keys changed since the last write began, with their latest values
    QStringList dropped;  // unreadable keys the next write removes from the file
    QJsonObject whole;    // the whole section as the program sees it
    bool queued = false;  // a write is handed over and has not begun
    bool lastFailed = false;
    Block block = Block::None;
    std::string blockReason;  // with a block
    std::string failure;      // why the last write failed; empty once one succeeds
    std::function<void()> keepingChanged;
};

SettingsKeeping SettingsStore::Disk::keepingLocked() const {
    if (block != Block::None) {
        return {false, blockReason};
    }
    if (!failure.empty()) {
        return {false, failure};
    }
    return {};
}

// The callback runs under the lock, so that once setKeepingChanged() has
// replaced it, the old one is never called again and its owner may go.
template <class Change>
void SettingsStore::Disk::changeKeeping(Change change) {
    const std::lock_guard<std::mutex> lock(mutex);
    const SettingsKeeping before = keepingLocked();
    change();
    if (keepingLocked() != before && keepingChanged) {
        keepingChanged();
    }
}

void SettingsStore::Disk::load(QJsonObject& section, std::vector<std::string>& unreadable) {
    sf::tightenFolder(sf::folderOf(file));
    QByteArray bytes;
    std::string reason;
    std::string error;
    // Through a link, the damaged file is the one the link leads to.
    target = sf::writeTarget(file, error);
    if (target.empty()) {
        target = file;
    }
    std::string what;
    if (sf::kindOf(target, what) != sf::FileKind::kOther) {
        for (const fs::path& stale : sf::removeStaleTemporaries(target)) {
            trace<sites::staleSettingsTemporaryRemoved>(stale.c_str());
        }
    }
    switch (sf::read(file, bytes, reason, true)) {
        case sf::ReadResult::kMissing:
            return;
        case sf::ReadResult::kNotRegular:
            // Never renamed, replaced or read: a device node stays what it is.
            block = Block::NotRegular;
            blockReason = target.string() + " is a " + reason + ", not a regular file";
            trace<sites::settingsNotAFile>(blockReason.c_str());
            return;
        case sf::ReadResult::kFailed:
            if (!setAside(target, reason)) {
                block = Block::DamagedNotKept;
            }
            return;
        case sf::ReadResult::kRead:
            break;
    }
    QJsonObject top;
    if (!sf::parse(bytes, top, reason)) {
        if (!setAside(target, reason)) {
            block = Block::DamagedNotKept;
        }
        return;
    }
    loadedTop = top;
    loadedBytes = bytes;
    section = top.value(kSection).toObject();
    for (const SettingRow& row : kSettingsTable) {
        if (!readable(row, section.value(QLatin1String(row.name())))) {
            unreadable.emplace_back(row.name());
            section.remove(QLatin1String(row.name()));
        }
    }
}

bool SettingsStore::Disk::setAside(const fs::path& damaged, const std::string& reason) {
    fs::path aside;
    std::string error;
    if (sf::moveAside(damaged, aside, error)) {
        trace<sites::settingsKeptAside>(damaged.c_str(), reason.c_str(), aside.c_str());
        return true;
    }
    trace<sites::settingsNotKeptAside>(damaged.c_str(), reason.c_str(), error.c_str());
    blockReason = damaged.string() + " is unreadable and could not be kept aside (" + error + ")";
    return false;
}

// Runs on the disk writer (or on the store's thread without one), before any
// write that would replace the file: a copy that cannot be made stops them all.
void SettingsStore::Disk::keepAside(const char* kind, const std::vector<std::string>& keys,
                                    const SyncCall& sync) {
    fs::path aside;
    std::string error;
    const bool firstRun = std::string_view(kind) == "before-first-run";
    if (sf::copyAside(target, loadedBytes, kind, sync, aside, error)) {
        if (firstRun) {
            trace<sites::firstRunKeptAside>(target.c_str(), aside.c_str(), joined(keys).c_str());
        } else {
            trace<sites::settingsKeysUnreadable>(target.c_str(), joined(keys).c_str(),
                                                 aside.c_str());
        }
        return;
    }
    if (firstRun) {
        trace<sites::firstRunNotKeptAside>(target.c_str(), joined(keys).c_str(), error.c_str());
    } else {
        trace<sites::settingsKeysUnreadableNotKeptAside>(target.c_str(), joined(keys).c_str(),
                                                         error.c_str());
    }
    changeKeeping([&] {
        if (block == Block::None) {
            block = firstRun ? Block::FirstRunNotKept : Block::DamagedNotKept;
            blockReason = target.string() + " could not be kept aside (" + error + ")";
        }
    });
}

// Runs on the disk writer (or on the store's thread without one).
void SettingsStore::Disk::writePending(const SyncCall& sync) {
    QJsonObject changes;
    QStringList removed;
    QJsonObject section;
    Block blocked = Block::None;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        changes = std::exchange(changed, QJsonObject());
        removed = std::exchange(dropped, QStringList());
        section = whole;
        queued = false;
        blocked = block;
    }
    bool written = false;
    std::string error;
    switch (blocked) {
        case Block::NotRegular:
            break;  // said once, at start
        case Block::DamagedNotKept:
            trace<sites::settingsNotSavedDamagedNotKept>(file.c_str());
            break;
        case Block::FirstRunNotKept:
            trace<sites::settingsNotSavedFirstRunNotKept>(file.c_str());
            break;
        case Block::None:
            written = write(changes, removed, section, sync, error);
            if (!written) {
                trace<sites::settingsNotSaved>(file.c_str(), error.c_str());
            }
            break;
    }
    changeKeeping([&] {
        lastFailed = !written;
        if (blocked == Block::None) {
            failure =
                written ? std::string() : file.string() + " cannot be written (" + error + ")";
        }
        if (!written) {
            // Tried again with the next write, unless changed again meanwhile.
            for (auto it = changes.constBegin(); it != changes.constEnd(); ++it) {
                if (!changed.contains(it.key())) {
                    changed.insert(it.key(), it.value());
                }
            }
            for (const QString& key : removed) {
                if (!changed.contains(key) && !dropped.contains(key)) {
                    dropped.append(key);
                }
            }
        }
    });
}

bool SettingsStore::Disk::write(const QJsonObject& changes, const QStringList& removed,
                                const QJsonObject& section, const SyncCall& sync,
                                std::string& error) {
    const fs::path to = sf::writeTarget(file, error);
    if (to.empty() || !sf::ensurePrivateFolder(sf::folderOf(file), error)) {
        return false;
    }
    std::string what;
    if (sf::kindOf(to, what) == sf::FileKind::kOther) {
        error = to.string() + " is a " + what + ", not a regular file";
        return false;
    }
    const sf::FolderLock othersWait(sf::folderOf(to));
    // What this program holds, for a file that is gone or had to be set aside.
    QJsonObject top = loadedTop;
    top.insert(kSection, section);

    // A file that is gone, or that cannot be read or parsed now, is replaced by
    // what this program holds, as every write did before it read the file.
    QByteArray bytes;
    std::string reason;
    QJsonObject current;
    if (sf::read(to, bytes, reason, false) == sf::ReadResult::kRead &&
        sf::parse(bytes, current, reason)) {
        // Another panel's changes stay; ours go on top.
        QJsonObject merged = current.value(kSection).toObject();
        for (const QString& key : removed) {
            merged.remove(key);
        }
        for (auto it = changes.constBegin(); it != changes.constEnd(); ++it) {
            merged.insert(it.key(), it.value());
        }
        current.insert(kSection, merged);
        top = current;
    }
    return sf::replace(to, QJsonDocument(top).toJson(QJsonDocument::Indented), sync, error);
}

fs::path SettingsStore::defaultPath() {
    return panelConfigFolder() / "TolvaneApp.json";
}

SettingsStore::SettingsStore(fs::path file, DiskWriter* writer)
    : file_(std::move(file)), writer_(writer), disk_(std::make_shared<Disk>(file_)) {
    std::vector<std::string> unreadable;
    disk_->load(section_, unreadable);
    loadedSection_ = disk_->loadedTop.value(kSection).toObject();
    disk_->whole = section_;
    if (unreadable.empty()) {
        return;
    }
    // The file as it was is kept, then written again without what cannot be
    // read, so that the next start finds every value readable.
    const auto copy = [disk = disk_, unreadable](const SyncCall& sync) {
        disk->keepAside("corrupt", unreadable, sync);
    };
    if (writer_ == nullptr) {
        copy(syncToDisk);
    } else {
        writer_->post("copy of settings file " + file_.string(), copy);
    }
    {
        const std::lock_guard<std::mutex> lock(disk_->mutex);
        for (const std::string& key : unreadable) {
            disk_->dropped.append(QString::fromStdString(key));
        }
        disk_->queued = true;
    }
    handOver();
}

SettingsStore::~SettingsStore() = default;

const fs::path& SettingsStore::path() const {
    return file_;
}

SettingsKeeping SettingsStore::keeping() const {
    const std::lock_guard<std::mutex> lock(disk_->mutex);
    return disk_->keepingLocked();
}

void SettingsStore::setKeepingChanged(std::function<void()> changed) {
    const std::lock_guard<std::mutex> lock(disk_->mutex);
    disk_->keepingChanged = std::move(changed);
}

QJsonValue SettingsStore::loadedValue(const char* name) const {
    return loadedSection_.value(QLatin1String(name));
}

void SettingsStore::keepLoadedFileBeforeFirstRun(const std::vector<std::string>& replaced) {
    const auto copy = [disk = disk_, replaced](const SyncCall& sync) {
        disk->keepAside("before-first-run", replaced, sync);
    };
    if (writer_ == nullptr) {
        copy(syncToDisk);
        return;
    }
    writer_->post("copy of settings file " + file_.string(), copy);
}

int SettingsStore::intValue(const IntSetting& key) const {
    int number = 0;
    return holdsInt(section_.value(QLatin1String(key.name)), number) ? number : key.readDefault;
}

void SettingsStore::setInt(const IntSetting& key, int value) {
    put(key.name, QJsonValue(value));
}

QString SettingsStore::text(const TextSetting& key) const {
    const QJsonValue value = section_.value(QLatin1String(key.name));
    return value.isString() ? value.toString() : textDefault(key);
}

void SettingsStore::setText(const TextSetting& key, const QString& value) {
    put(key.name, QJsonValue(value));
}

// A value equal to the one held is not written again unless the last write
// failed: the file would come out byte for byte the same, and start-up, which
// writes back every value it shows, would pay a file replacement each.
void SettingsStore::put(const char* key, const QJsonValue& value) {
    const QLatin1String name(key);
    const auto found = section_.constFind(name);
    const bool same =
        found != section_.constEnd() && *found == value && value.type() == found->type();
    if (!same) {
        section_.insert(name, value);
    }
    {
        const std::lock_guard<std::mutex> lock(disk_->mutex);
        if (same && !disk_->lastFailed) {
            return;
        }
        disk_->changed.insert(name, value);
        disk_->whole = section_;
        if (std::exchange(disk_->queued, true)) {
            return;  // the write already handed over takes this change too
        }
    }
    handOver();
}

void SettingsStore::handOver() {
    if (writer_ == nullptr) {
        disk_->writePending(syncToDisk);
        return;
    }
    writer_->post("settings file " + file_.string(),
                  [disk = disk_](const SyncCall& sync) { disk->writePending(sync); });
}
