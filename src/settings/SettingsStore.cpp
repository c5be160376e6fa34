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
#include "text/DebugTrace.h"

namespace fs = std::filesystem;
namespace sf = settingsfile;

namespace {

const QString kSection = QStringLiteral("TolvaneApp");

}  // namespace

// What the writes need, shared by the store and the writes it handed over, so
// that a write still queued when the store goes is written all the same.
struct SettingsStore::Disk {
    explicit Disk(fs::path path) : file(std::move(path)) {}

    void load(QJsonObject& section);
    // Moves a damaged file aside; false when it could not be.
    bool setAside(const fs::path& damaged, const std::string& reason);
    void writePending(const SyncCall& sync);
    bool write(const QJsonObject& changes, const QJsonObject& whole, const SyncCall& sync,
               std::string& error);

    const fs::path file;
    // Fixed once loaded.
    QJsonObject loadedTop;     // the file's top-level object; members besides the section are kept
    bool saveBlocked = false;  // a damaged file could not be moved aside: it must not be replaced

    std::mutex mutex;
    QJsonObject changed;  // keys changed since the last write began, with their latest values
    QJsonObject whole;    // the whole section as the program sees it
    bool queued = false;  // a write is handed over and has not begun
    bool lastFailed = false;
};

void SettingsStore::Disk::load(QJsonObject& section) {
    sf::tightenFolder(sf::folderOf(file));
    QByteArray bytes;
    std::string reason;
    std::string error;
    // Through a link, the damaged file is the one the link leads to.
    fs::path target = sf::writeTarget(file, error);
    if (target.empty()) {
        target = file;
    }
    switch (sf::read(file, bytes, reason, true)) {
        case sf::ReadResult::kMissing:
            return;
        case sf::ReadResult::kFailed:
            saveBlocked = !setAside(target, reason);
            return;
        case sf::ReadResult::kRead:
            break;
    }
    QJsonObject top;
    if (!sf::parse(bytes, top, reason)) {
        saveBlocked = !setAside(target, reason);
        return;
    }
    loadedTop = top;
    section = top.value(kSection).toObject();
}

bool SettingsStore::Disk::setAside(const fs::path& damaged, const std::string& reason) {
    fs::path aside;
    std::string error;
    if (sf::moveAside(damaged, aside, error)) {
        DebugTrace("SettingsStore::load", 1, "settings file %s unreadable (%s), kept as %s",
                   damaged.c_str(), reason.c_str(), aside.c_str());
        return true;
    }
    DebugTrace("SettingsStore::load", 2,
               "settings file %s unreadable (%s), cannot keep it aside (%s): "
               "settings will not be saved",
               damaged.c_str(), reason.c_str(), error.c_str());
    return false;
}

// Runs on the disk writer (or on the store's thread without one).
void SettingsStore::Disk::writePending(const SyncCall& sync) {
    QJsonObject changes;
    QJsonObject section;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        changes = std::exchange(changed, QJsonObject());
        section = whole;
        queued = false;
    }
    bool written = false;
    if (saveBlocked) {
        DebugTrace("SettingsStore::save", 2,
                   "settings file %s not saved: the unreadable file there was not kept aside",
                   file.c_str());
    } else {
        std::string error;
        written = write(changes, section, sync, error);
        if (!written) {
            DebugTrace("SettingsStore::save", 1, "settings file %s not saved (%s)", file.c_str(),
                       error.c_str());
        }
    }
    const std::lock_guard<std::mutex> lock(mutex);
    lastFailed = !written;
    if (!written) {
        // Tried again with the next write, unless changed again meanwhile.
        for (auto it = changes.constBegin(); it != changes.constEnd(); ++it) {
            if (!changed.contains(it.key())) {
                changed.insert(it.key(), it.value());
            }
        }
    }
}

bool SettingsStore::Disk::write(const QJsonObject& changes, const QJsonObject& section,
                                const SyncCall& sync, std::string& error) {
    const fs::path target = sf::writeTarget(file, error);
    if (target.empty() || !sf::ensurePrivateFolder(sf::folderOf(file), error)) {
        return false;
    }
    const sf::FolderLock othersWait(sf::folderOf(target));
    // What this program holds, for a file that is gone or had to be set aside.
    QJsonObject top = loadedTop;
    top.insert(kSection, section);

    // A file that is gone, or that cannot be read or parsed now, is replaced by
    // what this program holds, as every write did before it read the file.
    QByteArray bytes;
    std::string reason;
    QJsonObject current;
    if (sf::read(target, bytes, reason, false) == sf::ReadResult::kRead &&
        sf::parse(bytes, current, reason)) {
        // Another panel's changes stay; ours go on top.
        QJsonObject merged = current.value(kSection).toObject();
        for (auto it = changes.constBegin(); it != changes.constEnd(); ++it) {
            merged.insert(it.key(), it.value());
        }
        current.insert(kSection, merged);
        top = current;
    }
    return sf::replace(target, QJsonDocument(top).toJson(QJsonDocument::Indented), sync, error);
}

fs::path SettingsStore::defaultPath() {
    return panelConfigFolder() / "TolvaneApp.json";
}

SettingsStore::SettingsStore(fs::path file, DiskWriter* writer)
    : file_(std::move(file)), writer_(writer), disk_(std::make_shared<Disk>(file_)) {
    disk_->load(section_);
    disk_->whole = section_;
}

SettingsStore::~SettingsStore() = default;

const fs::path& SettingsStore::path() const {
    return file_;
}

int SettingsStore::intValue(const IntSetting& key) const {
    const int defaultValue = key.readDefault;
    const QJsonValue value = section_.value(QLatin1String(key.name));
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
    bool handOver = false;
    {
        const std::lock_guard<std::mutex> lock(disk_->mutex);
        if (same && !disk_->lastFailed) {
            return;
        }
        disk_->changed.insert(name, value);
        disk_->whole = section_;
        handOver = !disk_->queued;
        disk_->queued = true;
    }
    if (!handOver) {
        return;  // the write already handed over takes this change too
    }
    if (writer_ == nullptr) {
        disk_->writePending(syncToDisk);
        return;
    }
    writer_->post("settings file " + file_.string(),
                  [disk = disk_](const SyncCall& sync) { disk->writePending(sync); });
}
