#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "commands/CommandSet.h"
#include "inbound/DeviceReport.h"
#include "link/Link.h"
#include "link/LinkStatusText.h"
#include "link/SerialPortNames.h"

class QTimer;
class QKeyEvent;
class QShowEvent;
class QMoveEvent;
class QContextMenuEvent;
class QCloseEvent;
class SettingsStore;
struct BoundControl;
class QSocketNotifier;
class QResizeEvent;
class LinkStatusBar;
class DiskWriter;
class RecordSaver;
class WakeEvent;

// The window's outer rectangle in screen pixels, frame included.
struct WindowRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// What the window takes from its surroundings. The defaults are the real
// computer; tests put stand-ins in their place.
struct DlgEnvironment {
    std::function<std::time_t()> now;     // wall clock; empty: time()
    std::function<std::uint32_t()> tick;  // ms since boot mod 2^32; empty: CLOCK_MONOTONIC
    std::function<void(const QString&)> messageBox;      // empty: a modal message box
    std::function<std::string()> selectFolder;           // empty: Qt's folder chooser
    std::function<std::string()> localIp;                // empty: localNetworkAddress
    PortsEnvironment ports = defaultPortsEnvironment();  // where COM names live
    std::uint16_t udpPort = commands::kUdpPort;          // tests may use another port
    bool startThreads = true;                            // receive threads and clock
    // Called with every frame dispatched; empty: nothing. Benchmarks count with it.
    std::function<void(const DeviceReport&)> frameHandled;
};

// The one window of the panel: it binds its controls to their handlers and
// to the link. The controls bound to one setting each are rows of
// app/BoundControls.cpp; the other handlers are defined by concern in
// app/link/, app/commands/ and app/inbound/.
class CTolvaneAppDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CTolvaneAppDlg(SettingsStore& store, DlgEnvironment environment = {},
                            QWidget* parent = nullptr);
    ~CTolvaneAppDlg() override;

    // Start-up: fills the lists, shows the stored settings, narrows the window
    // and starts the background work. Called once by the constructor.
    bool startUp();

    // Window operations used by the handlers. Texts are UTF-16 here, but
    // for the two 8-bit readers.
    QWidget* control(int id) const;
    QString ctrlText(int id) const;
    // A control's whole text (edit text, button caption, editable combo text).
    std::string ctrlUtf8(int id) const;
    // The text of the list's selected entry; empty with no selection.
    std::string selectedEntryUtf8(int id) const;
    // Replaces an edit's text or a button's caption. For a single-line edit this
    // runs its change handler, also when the text does not change, exactly as
    // the operator's typing would.
    void setCtrlText(int id, const QString& text);
    void addComboEntry(int id, const QString& text);
    int comboSelection(int id) const;
    void setComboSelection(int id, int index);  // no handler runs; outside the list: none
    QString comboEntryText(int id, int index) const;
    int comboEntryCount(int id) const;
    int checkState(int id) const;
    void setCheckState(int id, int state);  // no handler runs
    void messageBox(const QString& text);

    // The link (app/link/).
    void onLinkChosen();
    void sendCommand(std::string text);
    // Reads the ports again; the selected entry stays selected, and listed
    // while its device is away.
    void refreshPortList();
    // The status line from the link's state and the age of its last frame.
    void showLinkStatus();
    const LinkStatusLine& linkStatusLine() const;

    // Commands and their settings (app/commands/; the controls bound to one
    // setting each are rows of app/BoundControls.cpp).
    void onSetClockClicked();
    void onWifiSetClicked();
    void onPresetCountChanged();
    void onPresetSignClicked();
    void onPresetEnableClicked();
    // The preset's sign lives only in the caption of button 1029.
    bool presetSignIsMinus() const;
    void fillPreset();
    void mirrorPreset(const DeviceState& state);
    void onSendTemplateClicked();
    void onChooseRecordFolderClicked();
    std::string chooseFolder();

    // Parameter panel (app/PanelLockHandlers.cpp).
    void onPanelToggleClicked();
    void onPanelPasswordChangeClicked();

    // What the machine sends (app/inbound/).
    bool receiveChunk(const char* chunk, std::size_t length);
    void mirrorMachineState(const DeviceReport& report);
    void saveCountingRecord(const DeviceReport& report);
    std::string recordPathNow();
    void showClock();

    // Stops and joins every background thread; idempotent.
    void stopBackgroundWork();

    SettingsStore& settings() { return store_; }
    Link& link() { return link_; }
    const DlgEnvironment& environment() const { return env_; }
    std::time_t now() const;
    std::uint32_t tick() const;

    WindowRect fullRect{};
    bool panelOpen = false;
    std::string recordFolder;
    std::uint32_t quickFailCount = 0;
    std::uint32_t lastFailTick = 0;
    DeviceState lastReport{};

  protected:
    void accept() override;  // Enter never closes the window
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void placeStatusLine();
    void moveEvent(QMoveEvent* event) override;

  private:
    void createControls();
    void bindHandlers();
    void startClock();
    void armClockForNextSecond();
    void startReceivers();
    void fillBoundControls();
    void boundControlChanged(const BoundControl& bound);
    void mirrorBoundControls(const DeviceState& state);
    void showCount(int count);
    void showRecordOutcome();
    RecordSaver& recordSaver();
    void refreshRecordPath();
    void resizeOuter(int outerWidth, int outerHeight);
    QSize frameExtra() const;
    void takeFullRect();
    void followFrame();
    void showAbout();

    SettingsStore& store_;
    DlgEnvironment env_;
    QIcon appIcon;
    QSize fullClient_;
    QSize knownFrameExtra_;
    std::map<int, QWidget*> controls_;
    std::map<int, std::function<void()>> changeHandlers_;
    std::vector<unsigned> portNumbers_;
    QTimer* clockTimer_ = nullptr;
    LinkStatusBar* statusBar_ = nullptr;
    Link link_;
    // Declared after the link, whose event descriptor it watches: goes first.
    std::unique_ptr<QSocketNotifier> linkNotifier_;
    // Records go to the store's disk writer, or to one of the window's own
    // when the store has none; the writer tells of outcomes through an
    // eventfd. Declared in this order, the saver goes first.
    std::unique_ptr<DiskWriter> ownWriter_;
    std::unique_ptr<WakeEvent> recordWake_;
    std::unique_ptr<QSocketNotifier> recordNotifier_;
    std::unique_ptr<RecordSaver> records_;
    int countToShow_ = 0;
    bool countPosted_ = false;  // edit 1019 is updated once per turn of the event loop

    friend class CAboutDlg;
};
