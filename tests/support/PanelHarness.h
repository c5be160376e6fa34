#pragma once

#include <QString>

#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "panel/Panel.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "storage/DiskWriter.h"
#include "support/PanelRig.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "ui/ControlTable.h"
#include "ui/MainWindow.h"

class QWidget;

// One panel with its window in a temporary home: its settings file, its ports
// folder, a fixed clock and tick, a recorded message box, a stand-in folder
// chooser and a disk writer whose sync a test may replace. The panel runs
// without receive threads and clock unless `threads` is set. Controls are
// found by their identifiers, the object names of their widgets.
class PanelHarness {
  public:
    explicit PanelHarness(bool threads = false);
    ~PanelHarness();

    // Builds the panel and its window and starts it; `restart` closes them
    // and builds the next on the same settings file, as a second run would.
    MainWindow& open();
    MainWindow& restart();
    void close();

    MainWindow& window() { return rig_->window(); }
    Panel& panel() { return rig_->panel(); }
    PanelModel& model() { return panel().model(); }
    PanelController& controller() { return panel().controller(); }
    SettingsStore& store() { return rig_->store(); }
    std::filesystem::path settingsFile() const { return folders_.settingsFile(); }
    std::filesystem::path portsDir() const { return folders_.portsDir(); }
    std::filesystem::path journalFile() const { return folders_.journalFile(); }

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

    QWidget* control(int id) const;
    // A control's whole text: an edit's (CR LF line ends), a caption, a list's entry.
    QString text(int id) const;
    int selection(int id) const;  // a list's chosen entry; -1: none
    QString entryText(int id, int index) const;
    bool checked(int id) const;
    LinkStatus link() const { return rig_->panel().link().status(); }
    const LinkStatusLine& statusLine() const { return rig_->panel().model().linkStatus(); }

    // The operator's actions.
    void type(int id, const QString& text);  // replaces an edit's text, as a paste does
    void click(int id);
    void pick(int id, int index);  // chooses a list entry
    // Opens (or closes) the parameter panel as the right password would.
    void showParameterPanel(bool open = true);

    // The panel's state changed without the operator: nothing reacts.
    void setRecordFolder(const std::string& folder);
    void setSelection(int id, int index);
    void setPresetNegative(bool negative);
    // A widget's text changed behind the panel's back, to see what shows next.
    void setWidgetText(int id, const QString& text);
    // One chunk from the machine, handed over as the link's threads do.
    bool receive(std::string_view chunk);

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
    PanelSetup setup();
    int sync(int fd, SyncKind kind);

    ScratchFolders folders_{home.path(), home.path(), home.path()};

    std::mutex syncMutex_;
    SyncCall sync_;
    mutable DiskWriter writer_{[this](int fd, SyncKind kind) { return sync(fd, kind); }};
    bool threads_;
    std::unique_ptr<PanelRig> rig_;
};

// The panel value a control shows, from the control table.
ValueId controlValue(int id);

// Local time is UTC for the test's process while it lives.
class UtcTimeZone : public ScopedTimeZone {
  public:
    UtcTimeZone() : ScopedTimeZone("UTC") {}
};

// 09:03:07 on 5 March 2025, UTC.
inline constexpr std::time_t kFixedInstant = 1741165387;
