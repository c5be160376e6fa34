#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class DiskWriter;
struct IntSetting;
struct TextSetting;

// Whether the settings reach the file. While they do not, the program runs on
// what it holds in memory and the operator should be told why.
struct SettingsKeeping {
    bool kept = true;
    std::string reason;  // with !kept: why, in words for the trace and the window
    bool operator==(const SettingsKeeping&) const = default;
};

// The per-user settings of the program: the section "TolvaneApp" of a JSON file
// holding {"TolvaneApp": {"<key>": <integer or string>, ...}}. The values are
// read once, at construction, and kept in memory: reads never touch the disk.
//
// A change is written by the disk writer when one is given (else at once, on
// the calling thread): changes made before the writer gets to them are written
// together, once, with their latest values. Each write puts the changed keys on
// top of what the file holds at that moment, so two panels running at once keep
// each other's changes, and replaces the whole file at once (temporary file,
// fsync, rename, fsync of the folder): a crash leaves either the old or the new
// file, never a mix. A symbolic link in the file's place is written through:
// the file it leads to is replaced and the link stays. The file's folder is the
// store's own and is kept private (0700, file 0600): it holds the Wi-Fi and
// panel passwords.
//
// Nothing here throws or stops the program: a file that cannot be parsed is moved
// aside and the store starts empty; a file in which some values cannot be read
// is kept aside as a copy and those values read as their defaults, the others
// as they are; a write that cannot reach the disk is traced, still changes the
// value in memory, and is tried again with the next change. A settings path
// that leads to anything but a regular file (a device, FIFO, socket, folder)
// is never read, renamed or replaced: the store runs on defaults and keeps
// nothing. keeping() says whether the values reach the file.
// One thread (the window's) uses a store; the disk writer is its only helper.
class SettingsStore {
  public:
    // Loads the file at once; a missing file is an empty store. Temporary files
    // that an earlier run left (killed while writing) are removed. `writer`, when
    // given, must outlive every write handed to it (its own end runs them).
    explicit SettingsStore(std::filesystem::path file, DiskWriter* writer = nullptr);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // TolvaneApp.json in panelConfigFolder(): $XDG_CONFIG_HOME/Tolvane/TolvaneApp.json,
    // or <home>/.config/Tolvane/TolvaneApp.json when XDG_CONFIG_HOME is unset,
    // empty or not an absolute path.
    static std::filesystem::path defaultPath();

    // The value of a row of the settings table (settings/SettingsTable.h). A
    // key that is absent, or holds a string, bool, fraction, array, object or a
    // number outside the 32-bit range, reads as the row's default.
    int intValue(const IntSetting& key) const;
    void setInt(const IntSetting& key, int value);
    // A key that is absent or holds anything but a string reads as the row's
    // default; a key holding an empty string reads as empty.
    QString text(const TextSetting& key) const;
    void setText(const TextSetting& key, const QString& value);

    // Whether the values reach the file, and why not. Callable from any thread.
    SettingsKeeping keeping() const;
    // Called whenever keeping() changes, on the thread that changed it (the
    // disk writer's, or the caller's without one), with the store's lock held:
    // it must only signal, for example wake the window's thread, which then
    // reads keeping(). Set it before reading keeping() the first time; once
    // this returns, the callback it replaced is never called again.
    void setKeepingChanged(std::function<void()> changed);

    // For the first-run rule: the value `name` held in the file when the store
    // was loaded (undefined when none), and a copy of the file as loaded,
    // "<file>.before-first-run-<time>" (mode 0600), made before any later
    // write and traced with the keys that the first run replaces. When that
    // copy cannot be made, nothing more is written: the file stays as it was.
    QJsonValue loadedValue(const char* name) const;
    void keepLoadedFileBeforeFirstRun(const std::vector<std::string>& replaced);

    const std::filesystem::path& path() const;
    // The writer this store hands its writes to; null when it writes itself.
    DiskWriter* writer() const { return writer_; }

  private:
    struct Disk;  // the file's side, shared with the writes handed over
    void put(const char* key, const QJsonValue& value);
    void handOver();

    std::filesystem::path file_;
    DiskWriter* writer_;
    std::shared_ptr<Disk> disk_;
    QJsonObject section_;        // the values as the program sees them
    QJsonObject loadedSection_;  // the section as the file held it
};
