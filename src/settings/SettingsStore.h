#pragma once

#include <QJsonObject>
#include <QString>
#include <filesystem>

// The per-user settings of the program: the section "TolvaneApp" of a JSON file
// holding {"TolvaneApp": {"<key>": <integer or string>, ...}}. The parsed file is
// kept in memory and every write replaces the whole file at once (temporary file,
// fsync, rename), so a crash leaves either the old or the new file, never a mix.
// The file's folder is the store's own and is kept private (0700, file 0600):
// it holds the Wi-Fi and panel passwords.
//
// Nothing here throws or stops the program: a file that cannot be parsed is moved
// aside and the store starts empty; a write that cannot reach the disk is traced
// and still changes the value in memory. One thread (the window's) uses a store.
class SettingsStore {
  public:
    // Loads the file at once; a missing file is an empty store.
    explicit SettingsStore(std::filesystem::path file);
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // TolvaneApp.json in panelConfigFolder(): $XDG_CONFIG_HOME/Tolvane/TolvaneApp.json,
    // or <home>/.config/Tolvane/TolvaneApp.json when XDG_CONFIG_HOME is unset,
    // empty or not an absolute path.
    static std::filesystem::path defaultPath();

    // A key that is absent, or holds a string, bool, fraction, array, object or a
    // number outside the 32-bit range, reads as the default.
    int ReadInt(const char* key, int defaultValue) const;
    void WriteInt(const char* key, int value);
    // A key that is absent or holds anything but a string reads as the default; a
    // key holding an empty string reads as empty.
    QString ReadString(const char* key, const QString& defaultValue = QString()) const;
    void WriteString(const char* key, const QString& value);

    const std::filesystem::path& path() const;

  private:
    void load();
    void setAside(const std::string& reason);
    void put(const char* key, const QJsonValue& value);
    void save();

    std::filesystem::path file_;
    QJsonObject document_;  // the whole top-level object; members other than the section are kept
    QJsonObject section_;
    // Set when a damaged file could not be moved aside: it must not be replaced.
    bool saveBlocked_ = false;
    bool fileCurrent_ = true;  // the file holds what section_ holds
};
