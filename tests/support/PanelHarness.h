#pragma once

#include <QString>

#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "storage/DiskWriter.h"
#include "support/TempDir.h"

// One panel in a temporary home: its settings file, its ports folder, a fixed
// clock and tick, a recorded message box, a stand-in folder chooser and a disk
// writer whose sync a test may replace. The window runs without receive
// threads and clock unless `threads` is set.
class PanelHarness {
  public:
    explicit PanelHarness(bool threads = false);
    ~PanelHarness();

    // Builds the window (start-up runs); `restart` closes it and builds the
    // next one on the same settings file, as a second run of the program.
    CTolvaneAppDlg& open();
    CTolvaneAppDlg& restart();
    void close();

    CTolvaneAppDlg& dlg() { return *dialog_; }
    SettingsStore& store() { return *store_; }
    std::filesystem::path settingsFile() const { return home / "Tolvane" / "TolvaneApp.json"; }
    std::filesystem::path portsDir() const { return home / "Tolvane" / "ports"; }

    // Waits until every write handed to the disk writer is done and what it
    // reports back (and the count display) reached the window.
    void settleWrites();
    // The sync the disk writer calls from now on (empty: the real one); a test
    // makes it fail, slow down or block.
    void setSync(SyncCall sync);
    DiskWriter& writer() { return writer_; }

    // Reads a key from a fresh store on the same file, as the next run would,
    // once the writes on their way are done.
    int storedInt(const char* key, int fallback = -999999) const;
    QString storedString(const char* key,
                         const QString& fallback = QStringLiteral("<absent>")) const;
    int storedInt(const IntSetting& key, int fallback = -999999) const {
        return storedInt(key.name, fallback);
    }
    QString storedString(const TextSetting& key,
                         const QString& fallback = QStringLiteral("<absent>")) const {
        return storedString(key.name, fallback);
    }

    QString text(int id) const { return dialog_->ctrlText(id); }
    LinkStatus link() const { return dialog_->link().status(); }
    void type(int id, const QString& text);  // the operator replaces an edit's text
    void click(int id);
    void pick(int id, int index);  // the operator chooses a list entry

    TempDir home;  // also $HOME and $XDG_CONFIG_HOME while the harness lives
    std::time_t now = 0;
    std::uint32_t tick = 100000;
    std::vector<QString> messages;
    std::string folderChoice;
    bool realFolderChooser = false;  // Qt's own folder chooser instead of folderChoice
    std::string localIp = "192.168.1.20";
    std::uint16_t udpPort = 0;                              // 0: a free port is chosen
    std::function<void(const DeviceReport&)> frameHandled;  // every frame dispatched

  private:
    DlgEnvironment environment();
    int sync(int fd, SyncKind kind);

    std::mutex syncMutex_;
    SyncCall sync_;
    mutable DiskWriter writer_{[this](int fd, SyncKind kind) { return sync(fd, kind); }};
    bool threads_;
    std::string savedHome_;
    std::string savedConfig_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<CTolvaneAppDlg> dialog_;
};

// Sets TZ for the test's process so local time is UTC, restoring on exit.
class UtcTimeZone {
  public:
    UtcTimeZone();
    ~UtcTimeZone();

  private:
    std::string saved_;
    bool had_;
};

// 09:03:07 on 5 March 2025, UTC.
inline constexpr std::time_t kFixedInstant = 1741165387;
